#include "core/base/nuvresult.h"
#include "core/base/textutil.h"
#include "core/base/filewriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

TEST(TextUtil, BlanksAreOnlySpaces)
{
    EXPECT_EQ("a  b", TrimSpaces("  a  b  "));
    EXPECT_EQ("\ta\t", TrimSpaces(" \ta\t "));
    EXPECT_EQ("", TrimSpaces("    "));
    EXPECT_EQ(" a b", CollapseSpaces("   a    b   "));
    EXPECT_EQ("a\t\tb", CollapseSpaces("a\t\tb"));
    EXPECT_EQ("", CollapseSpaces("   "));
}

TEST(TextUtil, CaseChangesTouchOnlyAsciiLetters)
{
    EXPECT_EQ("abc-\xc4z", ToLower("ABC-\xc4Z"));
    EXPECT_EQ("ABC-\xe4Z", ToUpper("abc-\xe4z"));
}

TEST(TextUtil, SplitLinesKeepsTheLastPieceAndDropsCarriageReturns)
{
    EXPECT_EQ((Lines{"a", "b", ""}), SplitLines("a\r\nb\n"));
    EXPECT_EQ((Lines{"a", "b"}), SplitLines("a\nb"));
    EXPECT_EQ((Lines{""}), SplitLines(""));
    EXPECT_EQ((Lines{"", "", "x"}), SplitLines("\n\r\nx"));
}

TEST(TextUtil, SplitLinesStopsWhenTheCallbackSaysSo)
{
    Lines seen;
    SplitLines("a\nstop\nb", [&](std::string_view line) {
        seen.emplace_back(line);
        return line != "stop";
    });
    EXPECT_EQ((Lines{"a", "stop"}), seen);
}

// Files of every size read whole: empty, one byte, larger than a read block, and files the
// system gives no size for; a missing file and a folder are refused.
TEST(TextUtil, ReadFileBytesReadsWholeFilesOfAnySize)
{
    QTemporaryDir folder;
    for (const size_t size : {size_t(0), size_t(1), size_t(65535), size_t(65536), size_t(300001)}) {
        std::string bytes(size, 'x');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = char('a' + i % 26);
        const std::string path = folder.filePath("f").toStdString();
        ASSERT_TRUE(SaveFile(path, bytes));
        std::string read = "stale";
        ASSERT_TRUE(ReadFileBytes(path, &read)) << size;
        EXPECT_EQ(bytes, read) << size;
    }
    std::string status;
    ASSERT_TRUE(ReadFileBytes("/proc/self/status", &status));
    EXPECT_NE(status.find("Name:"), std::string::npos);
    std::string untouched = "kept";
    EXPECT_FALSE(ReadFileBytes(folder.filePath("missing").toStdString(), &untouched));
    EXPECT_FALSE(ReadFileBytes(folder.path().toStdString(), &untouched));
    EXPECT_EQ("kept", untouched);
}

TEST(TextUtil, SplitFieldsHonoursQuotesAndDropsEmptyPieces)
{
    EXPECT_EQ((Lines{"a", "b"}), SplitFields("a==b", '='));
    EXPECT_EQ((Lines{"a", "b", "c"}), SplitFields("=a=b=c=", '='));
    EXPECT_EQ((Lines{"key", "\"x=y\""}), SplitFields("key=\"x=y\"", '='));
    EXPECT_EQ((Lines{"a", "\"b,c"}), SplitFields("a,\"b,c", ','));   // open quote runs to the end
    EXPECT_EQ((Lines{"1", "2"}), SplitFields("1.\r2.", '.'));
    EXPECT_TRUE(SplitFields("", ',').empty());
}

TEST(TextUtil, KeyValueSplitsAtTheFirstEquals)
{
    std::string key, value;
    ASSERT_TRUE(SplitKeyValue(" a = b=c", &key, &value));
    EXPECT_EQ(" a ", key);
    EXPECT_EQ(" b=c", value);
    EXPECT_FALSE(SplitKeyValue("no equals", &key, &value));
}

TEST(TextUtil, PathsAndNumbers)
{
    EXPECT_EQ("a/b/c", ToBackslashes("a\\b/c"));
    EXPECT_EQ("a/b", JoinPath("a", "b"));
    EXPECT_EQ("c.txt", BaseName("a/b/c.txt"));
    EXPECT_EQ("a/b", DirName("a/b/c.txt"));
    EXPECT_EQ("", DirName("c.txt"));
    EXPECT_EQ(-42, ParseDecimal("  -42abc"));
    EXPECT_EQ(0, ParseDecimal("abc"));
    EXPECT_EQ(0xFFFFFFFFLL, ParseDecimal("99999999999999999999999"));
}

TEST(TextUtil, SinglePathSegments)
{
    for (const char* name : {"a", "a.zip", "..a", "a..", " "})
        EXPECT_TRUE(IsSinglePathSegment(name)) << name;
    for (const char* name : {"", ".", "..", "a/b", "a\\b", "../x", "/x", "x/"})
        EXPECT_FALSE(IsSinglePathSegment(name)) << name;
}

TEST(TextUtil, FormatCutsToTheBuffer)
{
    EXPECT_EQ("abc", Format(4, "%s", "abcdef"));
    EXPECT_EQ(std::string(1023, 'x'), Format(1024, "%s", std::string(2000, 'x').c_str()));
}

// Every byte value at every place of a text long enough for the block-wise test and its tail.
TEST(TextUtil, PlainTextRefusesControlBytesAnywhere)
{
    const std::string text(150, 'a');
    EXPECT_TRUE(IsPlainText(text));
    for (int byte = 0; byte < 256; ++byte) {
        const bool allowed =
            byte == '\t' || byte == '\n' || byte == '\r' || (byte >= 0x20 && byte != 0x7f);
        for (size_t at = 0; at < text.size(); ++at) {
            std::string changed = text;
            changed[at] = char(byte);
            ASSERT_EQ(allowed, IsPlainText(changed)) << "byte " << byte << " at " << at;
        }
    }
}

TEST(ResultText, TableEntriesAndGaps)
{
    EXPECT_EQ("Success", CNUVResult::Text(0));
    EXPECT_EQ("Installation failed because Component cap is less than Installation version. "
              "Remove cap to continue",
              CNUVResult::Text(110));
    EXPECT_EQ("Uninstall failed", CNUVResult::Text(121));
    EXPECT_EQ("File is damaged", CNUVResult::Text(122));
    EXPECT_EQ("Archive does not match its checksum", CNUVResult::Text(124));
    EXPECT_EQ("Unknown R5Install Action", CNUVResult::Text(67));
    EXPECT_EQ("R5Setup Syntax error", CNUVResult::Text(69));
    EXPECT_EQ("Invalid \"NeedsSetup\"", CNUVResult::Text(13));
    EXPECT_EQ("Pacakge Not Found", CNUVResult::Text(87));
    EXPECT_EQ("Failed deleting temporary files after installation.\n\tInstallation may or may "
              "not be successful.",
              CNUVResult::Text(104));
    for (int code : {-1, 111, 115, 119, 120, 125, 100000})
        EXPECT_EQ("No text representation of error code", CNUVResult::Text(code)) << code;
    CNUVResult result(45);
    EXPECT_EQ("Process Timed out", result.Text());
    EXPECT_NE(result, CNUVResult());
    result.Reset();
    EXPECT_EQ(result, CNUVResult());
}
