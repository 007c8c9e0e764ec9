#include "core/nuvfunctions.h"

#include "core/base/resultcodes.h"
#include "core/server/connectiondetails.h"
#include "core/base/trace.h"
#include "support/coreapp.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <memory>

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

bool IsFolder(const std::string& path) { return QFileInfo(QString::fromStdString(path)).isDir(); }

void MakeFolder(const std::string& path) { ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path))); }

/// Every test runs in a fresh folder with the debug trace on, so trace lines can be checked.
class FacadeTest : public testsupport::TracedTempDirTest {
protected:
    static void SetUpTestSuite() { testsupport::EnsureCoreApplication(); }

    /// Empties the test folder (the trace too) for the next case of a table.
    void ClearFolder()
    {
        QDir(m_Dir.path()).removeRecursively();
        QDir().mkpath(m_Dir.path());
        QDir::setCurrent(m_Dir.path());
    }

    CNUVFunctions* m_Nuv = CNUVFunctions::Instance();
};

}  // namespace

TEST_F(FacadeTest, SetupCreatesTheWorkingFoldersAndTracesOnlyWhatFailed)
{
    m_Nuv->NUVSetup();
    for (const char* folder : {"cache", "cache/Windows", "cache/Linux", "cache/Solaris", "packages", "PTF"}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(IsFolder(Path(folder)));
    }
    m_Nuv->NUVSetup();   // the second start finds them all
    EXPECT_EQ(std::string::npos, TraceText().find("Failed"));
    EXPECT_EQ(CConnectionDetails::Instance(), m_Nuv->ConnectionDetails());

    ClearFolder();
    WriteFile(Path("packages"), "a file where the folder belongs");
    m_Nuv->NUVSetup();
    const std::string trace = TraceText();
    EXPECT_NE(std::string::npos, trace.find("]:Failed to Create Package dir: 62\n"));
    EXPECT_EQ(std::string::npos, trace.find("Failed to Create PTF dir"));
    EXPECT_TRUE(IsFolder(Path("PTF")));
}

TEST_F(FacadeTest, AnUnansweredServerMeansOffLine)
{
    testsupport::WriteUnreachableServerDetails(Path());
    m_Nuv->NUVSetup();
    EXPECT_FALSE(m_Nuv->IsOnline());
    const std::string trace = TraceText();
    const size_t pre = trace.find("]:Dirs created, Pre-Connection Details\n");
    const size_t post = trace.find("]:Dirs created, Post-Connection Details\n");
    const size_t tested = trace.find("]:Post TestConnection - Test Connection return ");
    const size_t offline = trace.find("]:Setting To OFFLINE\n");
    const size_t decided = trace.find("]:Dirs created, Login Details processed, on/off line calculated.\n");
    ASSERT_NE(std::string::npos, pre);
    EXPECT_LT(pre, post);
    EXPECT_LT(post, tested);
    EXPECT_LT(tested, offline);
    EXPECT_LT(offline, decided);
    EXPECT_NE(std::string::npos, decided);
}

TEST_F(FacadeTest, PermissionTestStopsAtTheFirstFolderWithoutAFile)
{
    // ENOTDIR is 20 (0x14), EISDIR 21 (0x15): the numbers are traced in hexadecimal.
    const struct {
        const char* blocked;   // a file where this folder belongs, or a folder named temp.txt
        int expected;
        const char* line;
    } cases[] = {
        {"cache", rc::CacheDirNotWritable, "]:Failed to create file in Cache other error 14\n"},
        {"packages", rc::PackagesDirNotWritable, "]:Failed to create file in Package other error 14\n"},
        {"PTF", rc::PTFDirNotWritable, "]:Failed to create file in PTF other error 14\n"},
        // A fixed name is never used for the probe, so nothing there stands in its way.
        {"PTF/temp.txt", rc::Success, "EXIT <<<CNUVFunctions::TestPermissions()"},
        {nullptr, rc::Success, "EXIT <<<CNUVFunctions::TestPermissions()"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocked ? c.blocked : "all writable");
        ClearFolder();
        for (const char* folder : {"cache", "packages", "PTF"})
            if (!c.blocked || std::string(c.blocked) != folder)
                MakeFolder(Path(folder));
        if (c.blocked && std::string(c.blocked) == "PTF/temp.txt")
            MakeFolder(Path(c.blocked));
        else if (c.blocked)
            WriteFile(Path(c.blocked), "x");
        EXPECT_EQ(c.expected, m_Nuv->TestPermissions());
        EXPECT_NE(std::string::npos, TraceText().find(c.line));
        EXPECT_FALSE(Exists(Path("cache/temp.txt")));
        EXPECT_FALSE(Exists(Path("packages/temp.txt")));
    }

    ClearFolder();
    WriteFile(Path("cache"), "x");
    WriteFile(Path("packages"), "x");
    EXPECT_EQ(rc::CacheDirNotWritable, m_Nuv->TestPermissions());
    EXPECT_EQ(std::string::npos, TraceText().find("in Package"));
}

TEST_F(FacadeTest, RootPermissionTestLeavesTheRootAsItFoundIt)
{
    EXPECT_EQ(rc::RootEmpty, m_Nuv->TestTessomRootPermissions(""));
    EXPECT_EQ(rc::RootEmpty, m_Nuv->TestTessomRootPermissions());   // no current distribution

    EXPECT_EQ(rc::Success, m_Nuv->TestTessomRootPermissions(Path("opt/tessom/r5")));
    EXPECT_FALSE(Exists(Path("opt")));

    MakeFolder(Path("root/bin"));
    EXPECT_EQ(rc::Success, m_Nuv->TestTessomRootPermissions(Path("root") + "/"));
    EXPECT_TRUE(IsFolder(Path("root/bin")));
    EXPECT_FALSE(Exists(Path("root/temp.txt")));

    MakeFolder(Path("root/temp.txt"));
    EXPECT_EQ(rc::Success, m_Nuv->TestTessomRootPermissions(Path("root")));
    EXPECT_TRUE(IsFolder(Path("root/temp.txt")));
    EXPECT_EQ((QStringList{"bin", "temp.txt"}),
              QDir(QString::fromStdString(Path("root")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    WriteFile(Path("blocker"), "x");
    EXPECT_EQ(rc::FailedCreatingDir, m_Nuv->TestTessomRootPermissions(Path("blocker/r5")));
    EXPECT_NE(std::string::npos, TraceText().find("]:Failed to create directory $TESSOM_ROOT 62\n"));
}

TEST_F(FacadeTest, InstalledPackageIsTheFirstListedPackageWithAMarkerUnderTheRecordedRoot)
{
    for (const char* package : {"Beta", "alpha", "zeta"}) {
        WriteFile(Path("packages/") + package + "/package.dat", "Dist\n/opt\n");
        WriteFile(Path("packages/") + package + "/packages.dat", testsupport::FreshStateFile());
    }
    WriteFile(Path("packages/gamma/package.dat"), "only the details\n");
    WriteFile(Path("packages/delta/packages.dat"), "only the state\n");
    EXPECT_EQ((std::vector<std::string>{"alpha", "Beta", "zeta"}), m_Nuv->GetPackageList());
    EXPECT_FALSE(m_Nuv->PackageExists("beta"));

    const std::string root = Path("r5");
    const struct {
        const char* installDir;   // nullptr: no InstallDir.nuv
        std::vector<const char*> markers;
        const char* expected;
    } cases[] = {
        {nullptr, {"Beta"}, ""},
        {"", {"Beta"}, ""},
        {"\n", {"Beta"}, ""},
        {"ROOT\n", {"Beta"}, "Beta"},
        {"ROOT\r\nsecond line\n", {"Beta", "zeta"}, "Beta"},
        {"ROOT", {"gamma", "delta", "beta"}, ""},
        {"ROOT/elsewhere\n", {"Beta"}, ""},
    };
    for (const auto& c : cases) {
        std::string text = c.installDir ? c.installDir : "";
        if (const size_t at = text.find("ROOT"); at != std::string::npos)
            text.replace(at, 4, root);
        SCOPED_TRACE(c.installDir ? text : "no InstallDir.nuv");
        QDir(QString::fromStdString(root)).removeRecursively();
        QFile::remove(QString::fromStdString(Path("packages/InstallDir.nuv")));
        if (c.installDir)
            WriteFile(Path("packages/InstallDir.nuv"), text);
        for (const char* marker : c.markers)
            WriteFile(root + "/installer/packages." + marker, "");
        EXPECT_EQ(c.expected, m_Nuv->GetInstalledPackage());
    }
}
