#include "cmd/consoleinput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

/// Every answer ReadConsoleLine gives for input until it reports the end.
std::vector<std::string> ReadAll(const std::string& input, size_t bufferSize)
{
    FILE* stream = ::fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    std::vector<std::string> answers;
    std::string line;
    while (stream && answers.size() < 100 && ReadConsoleLine(stream, bufferSize, &line))
        answers.push_back(line);
    if (stream)
        std::fclose(stream);
    return answers;
}

}  // namespace

TEST(ConsoleInput, AnswersEndAtTheLineEndOrTheBufferAndInputEndIsReported)
{
    using Answers = std::vector<std::string>;
    EXPECT_EQ((Answers{"y", " n ", ""}), ReadAll("y\n n \n\n", 256));
    EXPECT_EQ((Answers{"yes", "last"}), ReadAll("yes\r\nlast", 256));
    EXPECT_EQ((Answers{"a"}), ReadAll("a\rjunk after the carriage return\n", 256));
    // A 10-byte buffer takes 8 bytes; the rest of the line is the next answer.
    EXPECT_EQ((Answers{"abcdefgh", "ijk"}), ReadAll("abcdefghijk\n", 10));
    EXPECT_EQ((Answers{"abcdefgh", ""}), ReadAll("abcdefgh\n", 10));
    EXPECT_EQ((Answers{}), ReadAll("", 256));
    EXPECT_EQ((Answers{std::string("a\0b", 3)}), ReadAll(std::string("a\0b\n", 4), 256));
}
