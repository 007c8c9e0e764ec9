#include "cmd/nuvprogram.h"

#include "cmd/consoleinput.h"

#include "core/base/resultcodes.h"
#include "support/testsupport.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class EULATest : public testsupport::TempDirTest {
protected:
    /// Runs the question loop on input; the prompts land in m_Output.
    int Ask(const std::string& input)
    {
        FILE* stream = ::fmemopen(const_cast<char*>(input.data()), input.size(), "r");
        if (input.empty())
            stream = ::fopen("/dev/null", "r");
        const int result = CNUVProgram::AskEULAAgreement(stream);
        std::fclose(stream);
        return result;
    }

    /// What ShowEULA writes when standard output is a file rather than a terminal.
    std::string ShownText()
    {
        std::fflush(stdout);
        const int saved = ::dup(STDOUT_FILENO);
        const int file = ::open(Path("shown.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(file, STDOUT_FILENO);
        ::close(file);
        CNUVProgram::ShowEULA();
        std::fflush(stdout);
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        return ReadFile(Path("shown.txt"));
    }

    testsupport::CaptureOutputModule m_Output;
};

}  // namespace

TEST_F(EULATest, OnlyYAgreesAndTheEndOfInputRefuses)
{
    const std::string prompt = "Do you agree? [y/n]";
    const struct {
        const char* input;
        int expected;
        int prompts;
    } cases[] = {
        {"y\n", rc::Success, 1},
        {"  Y  \r\n", rc::Success, 1},
        {"maybe\nyes\n\ny", rc::Success, 4},
        {"n\ny\n", rc::EULARefused, 1},
        {" N \n", rc::EULARefused, 1},
        {"x\n\tn\nn\n", rc::EULARefused, 3},
        {"", rc::EULARefused, 1},
        {"x\nx\n", rc::EULARefused, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        m_Output.m_Text.clear();
        EXPECT_EQ(c.expected, Ask(c.input));
        std::string expected;
        for (int i = 0; i < c.prompts; ++i)
            expected += prompt;
        EXPECT_EQ(expected, m_Output.m_Text);
    }
}

TEST(ConsoleInput, AnswersEndAtTheLineEndOrTheBuffer)
{
    const std::string input = "yes\r\nabcdefghijk\nlast";
    FILE* stream = ::fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    std::string line;
    std::vector<std::string> answers;
    while (answers.size() < 10 && ReadConsoleLine(stream, 10, &line))   // 8 bytes at a time
        answers.push_back(line);
    std::fclose(stream);
    EXPECT_EQ((std::vector<std::string>{"yes", "abcdefgh", "ijk", "last"}), answers);
}

TEST_F(EULATest, LicenceTextIsPrintedAsItIsWhenNoTerminalShowsIt)
{
    EXPECT_EQ("", ShownText());
    const std::string licence = "LICENCE\r\n\n\tterms \x01\xff\nlast line without end";
    WriteFile(Path("EULA/End_User_Licence_Agreement.txt"), licence);
    EXPECT_EQ(licence, ShownText());
}
