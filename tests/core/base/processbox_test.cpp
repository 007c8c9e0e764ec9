#include "core/base/processbox.h"

#include "core/base/resultcodes.h"
#include "core/base/trace.h"
#include "support/coreapp.h"
#include "support/testsupport.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

using namespace testsupport;

namespace {

class ProcessBoxTest : public TracedTempDirTest {
protected:
    static void SetUpTestSuite() { testsupport::EnsureCoreApplication(); }

    bool Traced(const std::string& message) const
    {
        return TraceText().find("]:" + message + "\n") != std::string::npos;
    }

};

int RunShell(const std::string& workingDir, const std::string& script, bool echo = false,
             int timeout = CProcessBox::kDefaultTimeout)
{
    CProcessBox box(workingDir, "/bin/sh", {"-c", script}, echo);
    box.SetTimeout(timeout);
    return box.Start(true);
}

bool ProcessGone(pid_t pid) { return ::kill(pid, 0) == -1 && errno == ESRCH; }

TEST_F(ProcessBoxTest, TurnsTheChildsEndIntoAResult)
{
    const std::pair<const char*, int> cases[] = {
        {"echo fine; exit 0", rc::Success},
        {"exit 3", rc::ProcessFailed},
        {"kill -KILL $$", rc::ProcessFailed},
    };
    for (const auto& [script, code] : cases) {
        SCOPED_TRACE(script);
        EXPECT_EQ(code, RunShell(Path(), script));
    }
    EXPECT_TRUE(Traced("Executable: \"/bin/sh\""));
    EXPECT_TRUE(Traced("Args: exit 3"));
    EXPECT_TRUE(Traced("Process Exitcode 3"));
    EXPECT_TRUE(Traced("ENTER >>>CProcessBox::Start"));
}

TEST_F(ProcessBoxTest, RefusesMissingSettings)
{
    CProcessBox noFolder("", "/bin/true", false);
    EXPECT_EQ(rc::ProcessPathNotSet, noFolder.Start(true));
    CProcessBox noProgram(Path(), "", false);
    EXPECT_EQ(rc::ExecutablePathNotSet, noProgram.Start(true));
    EXPECT_EQ(std::string::npos, TraceText().find("Executable:"));
}

TEST_F(ProcessBoxTest, AMissingProgramFailsToStart)
{
    const char* programs[] = {"/no/such/program", "no-such-program-anywhere", "rel/no-such"};
    for (const char* program : programs) {
        SCOPED_TRACE(program);
        CProcessBox box(Path(), program, false);
        EXPECT_EQ(rc::ChildFailedToStart, box.Start(true));
    }
    EXPECT_TRUE(Traced("Process never started"));
}

TEST_F(ProcessBoxTest, ATimedOutChildIsStopped)
{
    // The second child ignores the polite request and has to be killed.
    const char* scripts[] = {"echo $$ > child.pid; exec sleep 60",
                             "trap '' TERM; echo $$ > child.pid; exec sleep 60"};
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        EXPECT_EQ(rc::ProcessTimedOut, RunShell(Path(), script, false, 1000));
        const pid_t pid = pid_t(std::atoi(ReadFile(Path("child.pid")).c_str()));
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(ProcessGone(pid));
    }
    EXPECT_TRUE(Traced("Start process timeout : 1000"));
    EXPECT_TRUE(Traced("5 min timeout"));
    EXPECT_TRUE(Traced("TimeoutTimer.isActive():0  m_ProcessTimeout:1000"));
}

TEST_F(ProcessBoxTest, NoLimitWaitsForTheChild)
{
    EXPECT_EQ(rc::Success, RunShell(Path(), "sleep 0.3; echo done > done.txt", false, -1));
    EXPECT_EQ("done\n", ReadFile(Path("done.txt")));
    EXPECT_FALSE(Traced("Start process timeout : -1"));
    EXPECT_TRUE(Traced("End m_pProcess : m_ProcessTimeout: -1"));
}

TEST_F(ProcessBoxTest, EchoesStandardOutputOnlyWhenAsked)
{
    const std::string script = "printf 'line one\\nline two\\n\\000hidden'; echo error >&2";
    {
        CaptureOutputModule output;
        EXPECT_EQ(rc::Success, RunShell(Path(), script, true));
        EXPECT_EQ("line one\nline two\n", output.m_Text);
    }
    {
        CaptureOutputModule output;
        EXPECT_EQ(rc::Success, RunShell(Path(), script, false));
        EXPECT_EQ("", output.m_Text);
    }
}

TEST_F(ProcessBoxTest, LongOutputIsDrainedAndEchoedWhole)
{
    const std::string script = "head -c 300000 /dev/zero | tr '\\000' x";
    EXPECT_EQ(rc::Success, RunShell(Path(), script, false, 60000));
    CaptureOutputModule output;
    EXPECT_EQ(rc::Success, RunShell(Path(), script, true, 60000));
    EXPECT_EQ(std::string(300000, 'x'), output.m_Text);
}

TEST_F(ProcessBoxTest, TheChildGetsNoInput)
{
    CProcessBox box(Path(), "/bin/cat", false);
    box.SetTimeout(60000);
    EXPECT_EQ(rc::Success, box.Start(true));
}

TEST_F(ProcessBoxTest, RunsInTheGivenFolderWithPathsTakenFromTheCaller)
{
    ASSERT_EQ(0, ::mkdir(Path("work").c_str(), 0755));
    WriteFile(Path("tools/run me.sh"), "#!/bin/sh\npwd > where.txt\necho \"$1\" > arg.txt\n");
    ASSERT_EQ(0, ::chmod(Path("tools/run me.sh").c_str(), 0755));

    CProcessBox box(Path("work"), "tools/run me.sh", {"one argument"}, false);
    EXPECT_EQ(rc::Success, box.Start(true));
    EXPECT_EQ(Path("work") + "\n", ReadFile(Path("work/where.txt")));
    EXPECT_EQ("one argument\n", ReadFile(Path("work/arg.txt")));
}

TEST_F(ProcessBoxTest, RunsAScriptWithoutExecuteBitThroughTheShell)
{
    WriteFile(Path("setup.scr"), "echo $# \"$1\" > ran.txt\nexit 0\n");
    ASSERT_EQ(0, ::chmod(Path("setup.scr").c_str(), 0644));
    CProcessBox box(Path(), Path("setup.scr"), {"x y"}, false);
    EXPECT_EQ(rc::Success, box.Start(true));
    EXPECT_EQ("1 x y\n", ReadFile(Path("ran.txt")));
}

// The "zip" folder holds the tool's own copies of zip and unzip; any other program found
// there would be a stray file taking the place of the system's.
TEST_F(ProcessBoxTest, FindsOnlyZipAndUnzipInTheZipFolder)
{
    for (const char* name : {"zip", "unzip", "sh"}) {
        WriteFile(Path(std::string("zip/") + name), "#!/bin/sh\necho zip-folder > which.txt\n");
        ASSERT_EQ(0, ::chmod(Path(std::string("zip/") + name).c_str(), 0755));
    }
    EXPECT_EQ(Path("zip/zip"), CProcessBox::FindProgram("zip"));
    EXPECT_EQ(Path("zip/unzip"), CProcessBox::FindProgram("unzip"));
    CProcessBox box(Path(), "unzip", false);
    EXPECT_EQ(rc::Success, box.Start(true));
    EXPECT_EQ("zip-folder\n", ReadFile(Path("which.txt")));

    for (const char* name : {"sh", "cat"}) {
        SCOPED_TRACE(name);
        const std::string onPath = CProcessBox::FindProgram(name);
        ASSERT_GE(onPath.size(), 4u);
        EXPECT_NE(Path("zip"), onPath.substr(0, Path("zip").size()));
        EXPECT_EQ(std::string("/") + name, onPath.substr(onPath.rfind('/')));
    }
    EXPECT_EQ("", CProcessBox::FindProgram("no-such-program-anywhere"));
}

}  // namespace
