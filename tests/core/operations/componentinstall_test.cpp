#include "core/catalogue/component.h"

#include "core/catalogue/componentholder.h"
#include "core/base/resultcodes.h"
#include "core/base/trace.h"
#include "support/componentarchive.h"
#include "support/testsupport.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

class ComponentInstallTest : public TracedTempDirTest {
protected:
    void SetUp() override
    {
        TracedTempDirTest::SetUp();
        m_Package = std::make_unique<CTestPackage>(Path("root"));
    }

    CaptureOutputModule m_Output;
    std::unique_ptr<CTestPackage> m_Package;
};

mode_t ModeOf(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

std::string LinkTargetOf(const std::string& path)
{
    char buffer[256];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, size_t(n));
}

}  // namespace

TEST_F(ComponentInstallTest, ZipAndTgzWithoutScriptsInstallAndUninstall)
{
    for (const std::string extension : {".zip", ".tgz"}) {
        SCOPED_TRACE(extension);
        const std::string name = extension == ".zip" ? "zcomp" : "tcomp";
        MakeArchive(Path(), name, "1.0.0",
                    {{"bin/tool", "#!/bin/sh\n"},
                     {"share/doc.txt", "doc"},
                     {"share/link", "->doc.txt"},
                     {"installer/" + name + "/filelist", "bin/tool\nshare/doc.txt\nshare/link\n"}},
                    extension);
        CComponent* record = m_Package->Add(name, "1.0.0", "", extension);

        ASSERT_EQ(rc::Success, record->Install());
        EXPECT_EQ(0755u, ModeOf(Path("root/bin/tool")));
        EXPECT_EQ("doc", ReadFile(Path("root/share/doc.txt")));
        EXPECT_EQ("doc.txt", LinkTargetOf(Path("root/share/link")));
        EXPECT_TRUE(Exists(Path("root/installer/" + name + "/filelist")));
        EXPECT_FALSE(Exists(Path("cache/Linux/" + name)));   // extraction cleaned up
        EXPECT_EQ(CVersion("1.0.0"), record->GetHolder()->GetInstalledVersion());

        ASSERT_EQ(rc::Success, record->Uninstall());
        EXPECT_FALSE(Exists(Path("root/bin/tool")));
        EXPECT_TRUE(LinkTargetOf(Path("root/share/link")).empty());
        EXPECT_FALSE(Exists(Path("root/installer/" + name)));
        EXPECT_TRUE(record->GetHolder()->GetInstalledVersion().IsZero());
    }
}

TEST_F(ComponentInstallTest, UpgradeRunsTheOldUninstallScriptAndRemovesOldFilesFirst)
{
    MakeArchive(Path(), "comp", "1.0.0",
                {{"a.txt", "one"},
                 {"old.txt", "old"},
                 {"installer/comp/filelist", "a.txt\nold.txt\n"},
                 {"installer/comp/comp_install.scr", "mkdir $TESSOM_ROOT/extra\n"},
                 {"installer/comp/comp_uninstall.scr", "delete $TESSOM_ROOT/extra\n"}});
    MakeArchive(Path(), "comp", "2.0.0",
                {{"a.txt", "two"},
                 {"new.txt", "new"},
                 {"installer/comp/filelist", "a.txt\nnew.txt\n"},
                 {"installer/comp/comp_uninstall.scr", "delete $TESSOM_ROOT/new.txt\n"}});
    CComponent* first = m_Package->Add("comp", "1.0.0");
    CComponent* second = m_Package->Add("comp", "2.0.0");
    ASSERT_EQ(rc::Success, first->Install());
    ASSERT_TRUE(Exists(Path("root/extra")));

    ASSERT_EQ(rc::Success, second->Install());
    EXPECT_FALSE(Exists(Path("root/extra")));     // the installed version's script ran
    EXPECT_FALSE(Exists(Path("root/old.txt")));   // and its list was removed
    EXPECT_EQ("two", ReadFile(Path("root/a.txt")));
    EXPECT_EQ("new", ReadFile(Path("root/new.txt")));
    EXPECT_EQ("delete $TESSOM_ROOT/new.txt\n",
              ReadFile(Path("root/installer/comp/comp_uninstall.scr")));
    EXPECT_EQ(CVersion("2.0.0"), second->GetHolder()->GetInstalledVersion());
}

TEST_F(ComponentInstallTest, FailuresAfterCopyingRollBackEverything)
{
    struct Case {
        const char* name;
        std::string list;
        std::string script;
        int expected;
        std::string lastError;
    };
    const Case cases[] = {
        {"missing", "a.txt\nmissing.txt\n", "", rc::CantOpenSource,
         "cache/Linux/missing/missing.txt: source file not found"},
        {"failing", "a.txt\n", "mkdir $TESSOM_ROOT/made\ncopy $INSTALL_DIR/nothere $TESSOM_ROOT/x\n",
         rc::ScriptFileError, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveFiles files = {{"a.txt", "a"}, {std::string("installer/") + c.name + "/filelist", c.list}};
        if (!c.script.empty())
            files[std::string("installer/") + c.name + "/" + c.name + "_install.scr"] = c.script;
        MakeArchive(Path(), c.name, "1.0.0", files);
        CComponent* record = m_Package->Add(c.name, "1.0.0");

        EXPECT_EQ(c.expected, record->Install());
        EXPECT_EQ(c.lastError, record->GetLastError());
        EXPECT_FALSE(Exists(Path("root/a.txt")));
        EXPECT_FALSE(Exists(Path(std::string("root/installer/") + c.name)));
        EXPECT_FALSE(Exists(Path(std::string("cache/Linux/") + c.name)));
        EXPECT_TRUE(record->GetHolder()->GetInstalledVersion().IsZero());
    }
}

TEST_F(ComponentInstallTest, RollBackRemovesOnlyWhatTheFailedCopyPlaced)
{
    WriteFile(Path("root/later.txt"), "another component's");
    MakeArchive(Path(), "comp", "1.0.0",
                {{"a.txt", "a"}, {"later.txt", "new"},
                 {"installer/comp/filelist", "a.txt\nmissing.txt\nlater.txt\n"}});
    CComponent* record = m_Package->Add("comp", "1.0.0");

    EXPECT_EQ(rc::CantOpenSource, record->Install());
    EXPECT_FALSE(Exists(Path("root/a.txt")));
    EXPECT_EQ("another component's", ReadFile(Path("root/later.txt")));
}

TEST_F(ComponentInstallTest, AnInstallStartsWithoutTheLastErrorOfAnEarlierOne)
{
    MakeArchive(Path(), "comp", "1.0.0", {{"installer/comp/filelist", "missing.txt\n"}});
    CComponent* record = m_Package->Add("comp", "1.0.0");
    ASSERT_EQ(rc::CantOpenSource, record->Install());
    ASSERT_NE("", record->GetLastError());

    MakeArchive(Path(), "comp", "1.0.0",
                {{"installer/comp/filelist", ""},
                 {"installer/comp/comp_install.scr", "copy nothere x\n"}});
    EXPECT_EQ(rc::ScriptFileError, record->Install());
    EXPECT_EQ("", record->GetLastError());
}

TEST_F(ComponentInstallTest, AnArchiveNamedZipInCapitalsRunsItself)
{
    // Only ".zip" exactly goes to the unzip program; this one is a self-extracting archive.
    WriteFile(Path("cache/Linux/caps-1.0.0.ZIP"),
              "#!/bin/sh\n[ \"$1\" = -o ] && mkdir -p caps/installer/caps && echo x > caps/x &&"
              " echo x > caps/installer/caps/filelist\n");
    CComponent* record = m_Package->Add("caps", "1.0.0", "", ".ZIP");
    ASSERT_EQ(rc::Success, record->Install());
    EXPECT_EQ("x\n", ReadFile(Path("root/x")));
}

TEST_F(ComponentInstallTest, SelfExtractingArchiveTimingOutIsRetriedOnce)
{
    // The archive hangs on its first run only, leaving a mark in the cache folder.
    WriteFile(Path("cache/Linux/slow-1.0.0.run"),
              "#!/bin/sh\n"
              "if [ ! -e first.done ]; then : > first.done; exec sleep 30; fi\n"
              "mkdir -p slow/installer/slow && echo x > slow/x && echo x > slow/installer/slow/filelist\n");
    CComponent* slow = m_Package->Add("slow", "1.0.0", "", ".run");
    slow->SetExtractTimeout(1000);
    ASSERT_EQ(rc::Success, slow->Install());
    EXPECT_EQ("x\n", ReadFile(Path("root/x")));
    EXPECT_NE(std::string::npos, TraceText().find("]:\tExtraction of slow-1.0.0.run timeout - retry\n"));

    WriteFile(Path("cache/Linux/hang-1.0.0.run"), "#!/bin/sh\nexec sleep 30\n");
    CComponent* hang = m_Package->Add("hang", "1.0.0", "", ".run");
    hang->SetExtractTimeout(200);
    EXPECT_EQ(rc::ProcessTimedOut, hang->Install());
    EXPECT_TRUE(hang->GetHolder()->GetInstalledVersion().IsZero());
}

TEST_F(ComponentInstallTest, ArchiveReachingOutsideTheCacheIsRefusedUnopened)
{
    WriteFile(Path("staging/x/comp/installer/comp/filelist"), "");
    WriteFile(Path("staging/escape.txt"), "escaped");
    WriteFile(Path("cache/Linux/keep"), "");
    const ProgramRun made = RunProgram(
        "tar", {"-czPf", Path("cache/Linux/comp-1.0.0.tgz"), "comp", "../escape.txt"}, Path("staging/x"));
    ASSERT_EQ(0, made.exitCode) << made.err;
    CComponent* record = m_Package->Add("comp", "1.0.0", "", ".tgz");

    EXPECT_EQ(rc::InvalidFile, record->Install());
    EXPECT_FALSE(Exists(Path("cache/escape.txt")));
    EXPECT_FALSE(Exists(Path("cache/Linux/comp")));
    EXPECT_NE(std::string::npos, record->GetLastError().find("../escape.txt, which lies outside"));
}
