#include "core/base/trace.h"

#include "core/nuvfunctions.h"
#include "support/testsupport.h"

#include <regex>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

// The trace switches are process-wide; every test starts with both traces off and closed.
class TraceTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        Reset();
    }
    void TearDown() override
    {
        Reset();
        TempDirTest::TearDown();
    }
    static void Reset()
    {
        DebugTraceOff();
        NetTraceOn(false);
        NetTraceClose();
    }
    std::vector<std::string> DebugLines() const
    {
        std::vector<std::string> lines;
        std::string text = ReadFile(Path("NUVdebugtrace.txt"));
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        EXPECT_EQ(text.size(), start) << "the last line has no line feed";
        return lines;
    }
};

// "[hh:mm:ss.z]:" with the milliseconds written without leading zeros.
const std::regex kLine(R"(^\[\d\d:\d\d:\d\d\.(0|[1-9]\d{0,2})\]:(.*)$)");

std::string MessageOf(const std::string& line)
{
    std::smatch match;
    if (!std::regex_match(line, match, kLine))
        return "<malformed: " + line + ">";
    return match[2];
}

TEST_F(TraceTest, NothingIsWrittenWhileTheTraceIsOff)
{
    Trace("message %d", 1);
    EnterScope("Scope()");
    { CTraceScope scope("Other()"); }
    DebugTraceReset();
    EXPECT_FALSE(Exists(Path("NUVdebugtrace.txt")));
}

TEST_F(TraceTest, ResetEmptiesTheFileOnlyWhenTheTraceIsOn)
{
    WriteFile(Path("NUVdebugtrace.txt"), "old run\n");
    DebugTraceReset();
    EXPECT_EQ("old run\n", ReadFile(Path("NUVdebugtrace.txt")));
    DebugTraceOn();
    DebugTraceReset();
    EXPECT_TRUE(Exists(Path("NUVdebugtrace.txt")));
    EXPECT_EQ("", ReadFile(Path("NUVdebugtrace.txt")));
}

TEST_F(TraceTest, WritesTimeStampedLinesAndScopes)
{
    DebugTraceOn();
    DebugTraceReset();
    Trace("NUV( %s ) debug trace activated", "NUV_CMD 2.0.21");
    {
        CTraceScope scope("CNUVFunctions::TestPermissions()");
        Trace("inside %d%%", 50);
    }
    Trace("%s", std::string(2000, 'a').c_str());

    const std::vector<std::string> lines = DebugLines();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("NUV( NUV_CMD 2.0.21 ) debug trace activated", MessageOf(lines[0]));
    EXPECT_EQ("ENTER >>>CNUVFunctions::TestPermissions()", MessageOf(lines[1]));
    EXPECT_EQ("inside 50%", MessageOf(lines[2]));
    EXPECT_EQ("EXIT <<<CNUVFunctions::TestPermissions()", MessageOf(lines[3]));
    EXPECT_EQ(std::string(1023, 'a'), MessageOf(lines[4]));
}

TEST_F(TraceTest, NetworkTraceTruncatesItsFileOnceOnItsFirstLine)
{
    WriteFile(Path("FTPLog.txt"), "previous run\n");
    NetTrace("not yet on");
    NetTraceOn(true);
    EXPECT_EQ("previous run\n", ReadFile(Path("FTPLog.txt")));

    NetTrace("first %d", 1);
    NetTrace("%s", std::string(1500, 'n').c_str());
    NetTraceOn(false);
    NetTrace("after off");

    const std::string text = ReadFile(Path("FTPLog.txt"));
    const size_t feed = text.find('\n');
    ASSERT_NE(std::string::npos, feed);
    EXPECT_EQ("first 1", MessageOf(text.substr(0, feed)));
    EXPECT_EQ(std::string(1023, 'n') + "\n", text.substr(text.find("]:", feed) + 2));
    EXPECT_FALSE(Exists(Path("NUVdebugtrace.txt")));
}

// The traces hold log-in details: only the owner may read them, and a link planted under
// their name must not redirect the writing.
TEST_F(TraceTest, TraceFilesAreOwnerOnlyAndNeverWrittenThroughALink)
{
    struct Case {
        const char* file;
        void (*write)();
    };
    const Case cases[] = {
        {"NUVdebugtrace.txt", [] { DebugTraceOn(); DebugTraceReset(); Trace("line"); }},
        {"FTPLog.txt", [] { NetTraceOn(true); NetTrace("line"); }},
    };
    const auto modeOf = [](const std::string& path) {
        struct stat st;
        return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = Path(c.file);
        c.write();
        Reset();
        EXPECT_EQ(0600u, modeOf(path));
        ASSERT_EQ(0, ::chmod(path.c_str(), 0644));   // left by an earlier version
        c.write();
        Reset();
        EXPECT_EQ(0600u, modeOf(path));

        ASSERT_EQ(0, ::unlink(path.c_str()));
        WriteFile(Path("elsewhere.txt"), "keep");
        ASSERT_EQ(0, ::symlink(Path("elsewhere.txt").c_str(), path.c_str()));
        c.write();
        Reset();
        EXPECT_EQ("keep", ReadFile(Path("elsewhere.txt")));
        ASSERT_EQ(0, ::unlink(path.c_str()));
    }
}

TEST_F(TraceTest, DisplayCutsMessagesToTheModulesBuffer)
{
    CaptureOutputModule output;
    output.Display("%s", std::string(5000, 'd').c_str());
    EXPECT_EQ(std::string(4095, 'd'), output.m_Text);
    output.m_Text.clear();
    NUVDisplay("%s and %d\n", "text", 7);
    EXPECT_EQ("text and 7\n", output.m_Text);
}

}  // namespace
