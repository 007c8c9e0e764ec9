// A package's life with NUV_CMD against a real FTP server: download, install, upgrade,
// uninstall and delete, with the installation root checked against the file lists each time.
#include "core/base/textutil.h"
#include "support/componentarchive.h"
#include "support/ftpserver.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>

#include <set>

using namespace testsupport;

namespace {

const char kDistributions[] =
    "[Main]\n"
    "description=Main line\n"
    "path=r5/main\n"
    "platform=Linux\n"
    "packagetype=zip\n"
    "filelist=r5/main/main.pdf\n"
    "\n"
    "[Sol]\n"
    "description=Solaris line\n"
    "path=r5/sol\n"
    "platform=Solaris\n"
    "packagetype=tgz\n"
    "filelist=r5/sol/sol.pdf\n";

std::string Section(const std::string& name, const std::string& version,
                    const std::string& depends = std::string())
{
    return "[" + name + "]\npackage=" + name + "-" + version + ".zip\nversion=" + version +
           "\ngroup=G\ndescription=" + name + "\n" + (depends.empty() ? "" : "depends=" + depends + "\n");
}

/// What opening a package prints before any command's own lines.
std::string Opening(const std::string& package)
{
    return "Opening Package: " + package +
           "\n\nReading Distribution Info   0%\rReading Distribution Info 100%\r\n";
}

const std::string kCommandError =
    "\nCommand Error, please check your connection details and package name\n";

class NuvCmdComponentsTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        WriteFile(Path("server/software/distributions.txt"), kDistributions);
        WriteFile(Path("server/software/r5/main/main.pdf"),
                  Section("Base", "1.0.0") + Section("Tool", "1.0.0", "Base"));
        WriteFile(Path("server/software/r5/sol/sol.pdf"), Section("Docs", "1.0.0"));
        Serve("Base", "1.0.0", "Base.txt");
        ASSERT_TRUE(m_Server.Start(Path("server"), Path("ftp.log")));
        WriteServerDetails(Path(), m_Server.Address(), CFtpServer::kUser, CFtpServer::kPassword);
        MakePackage("pkg", "Main", "2", Path("root"));
        MakePackage("other", "Main", "2", Path("root2"));
        MakePackage("sol", "Sol", "3", Path("root3"));
    }

    /// Builds the archive of name-version installing file, below the served software root.
    void Serve(const std::string& name, const std::string& version, const std::string& file)
    {
        MakeArchive(Path("build"), name, version,
                    {{file, version}, {"installer/" + name + "/filelist", file + "\n"}});
        const std::string archive = name + "-" + version + ".zip";
        WriteFile(Path("server/software/r5/main/" + archive),
                  ReadFile(Path("build/cache/Linux/" + archive)));
    }
    void MakePackage(const std::string& name, const std::string& distribution,
                     const std::string& platform, const std::string& root)
    {
        WriteFile(Path("packages/" + name + "/package.dat"),
                  distribution + "\n" + root + "\n\n\n\n\n.zip\n" + platform + "\ntag\n");
        WriteFile(Path("packages/" + name + "/packages.dat"), "");
    }
    ProgramRun Run(const std::vector<std::string>& args, const std::string& input = std::string())
    {
        return RunNuvCmd(args, Path(), input);
    }

    /// Every file and link below the root, relative to it.
    std::set<std::string> RootFiles() const
    {
        std::set<std::string> files;
        const QString root = QString::fromStdString(Path("root"));
        QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.insert(QDir(root).relativeFilePath(it.next()).toStdString());
        return files;
    }

    CFtpServer m_Server;
};

}  // namespace

TEST_F(NuvCmdComponentsTest, PackageGoesFromNothingToInstalledUpgradedUninstalledAndDeleted)
{
    // Tool's archive is not on the server yet: the batch names it and the command fails.
    ProgramRun run = Run({"-download", "pkg"});
    EXPECT_EQ(30, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Downloading..... 001/002:\tBase (v1.0.0)\n"
              "Downloading..... 002/002:\tTool (v1.0.0)\n"
              "\t/software/r5/main/Tool-1.0.0.zip failed to download\n"
              "\tDownloading Tool, Failed FTP download error\n"
              "\nErrors occurred while trying to dowload the following components:\n\n"
              "Tool\n"
              "\nSee output above for error details.\n",
              run.out);
    Serve("Tool", "1.0.0", "bin/tool");
    run = Run({"-download", "pkg"});
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Downloading..... 001/001:\tTool (v1.0.0)\nDownload Successful\n", run.out);

    run = Run({"-install", "pkg", "-readEULA"});
    EXPECT_EQ(0, run.exitCode) << run.out;
    EXPECT_EQ(Opening("pkg") + "Installing...... 001/002:\tBase (v1.0.0)\n"
              "Installing...... 002/002:\tTool (v1.0.0)\n"
              "Install Successful\n"
              "Installation Finished\n",
              run.out);
    EXPECT_EQ((std::set<std::string>{"Base.txt", "bin/tool", "installer/Base/filelist",
                                     "installer/Tool/filelist", "installer/packages.pkg"}),
              RootFiles());

    run = Run({"-path", Path("elsewhere"), "-install", "pkg"});
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Unable to change installation path because a number of "
              "Components are already installed\nIf you wish to change the installation path, "
              "uninstall all Components first using the '-uninstall' switch\nCurrent "
              "installation path is set to: " + Path("root") + "\n",
              run.out);

    run = Run({"-install", "other", "-readEULA"});
    EXPECT_EQ(63, run.exitCode);
    EXPECT_EQ("Cannot install package 'other', as package 'pkg' is already installed.\n" +
                  kCommandError,
              run.out);

    // Base 1.1.0 ships a different file: the old one goes before the new one comes.
    WriteFile(Path("server/software/r5/main/main.pdf"),
              Section("Base", "1.0.0") + Section("Base", "1.1.0") + Section("Tool", "1.0.0", "Base"));
    Serve("Base", "1.1.0", "Base2.txt");
    run = Run({"-download", "pkg"});
    EXPECT_EQ(Opening("pkg") + "Downloading..... 001/001:\tBase (v1.1.0)\nDownload Successful\n", run.out);
    run = Run({"-install", "pkg"});
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Uninstalling.... 001/001:\tBase (v1.0.0)\n"
              "Installing...... 001/001:\tBase (v1.1.0)\n"
              "Install Successful\n"
              "Installation Finished\n",
              run.out);
    EXPECT_EQ((std::set<std::string>{"Base2.txt", "bin/tool", "installer/Base/filelist",
                                     "installer/Tool/filelist", "installer/packages.pkg"}),
              RootFiles());

    run = Run({"-uninstall", "pkg"});
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Uninstalling.... 001/002:\tTool (v1.0.0)\n"
              "Uninstalling.... 002/002:\tBase (v1.1.0)\n"
              "Uninstallation Completed\nLog files and other files created at run-time may "
              "still reside in " + Path("root") + "\n",
              run.out);
    EXPECT_EQ(std::set<std::string>(), RootFiles());
    EXPECT_FALSE(Exists(Path("packages/InstallDir.nuv")));

    run = Run({"-delete", "pkg"});
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Deleting........ 001/002:\tBase (v1.1.0)\n"
              "Deleting........ 002/002:\tTool (v1.0.0)\n"
              "Delete Successful\n",
              run.out);
    EXPECT_FALSE(Exists(Path("cache/Linux/Base-1.1.0.zip")));
    EXPECT_FALSE(Exists(Path("cache/Linux/Tool-1.0.0.zip")));
}

TEST_F(NuvCmdComponentsTest, InstallKeepsOffRootsItCannotUse)
{
    Serve("Tool", "1.0.0", "bin/tool");
    ASSERT_EQ(0, Run({"-download", "pkg"}).exitCode);

    // Another working folder installed "stranger" into this package's root.
    WriteFile(Path("root/installer/packages.stranger"), "");
    ProgramRun run = Run({"-install", "pkg", "-readEULA"});
    EXPECT_EQ(63, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Cannot install package 'pkg', as package 'stranger' is already "
                               "installed.\n" + kCommandError,
              run.out);
    EXPECT_NE(std::string::npos,
              run.err.find("stranger is installed in " + Path("root") + " from another working folder"))
        << run.err;
    EXPECT_EQ(std::set<std::string>{"installer/packages.stranger"}, RootFiles());
    QDir(QString::fromStdString(Path("root"))).removeRecursively();

    // A root below a file cannot be made: the package keeps the root it had.
    WriteFile(Path("afile"), "x");
    run = Run({"-install", "pkg", "-path", Path("afile/r5"), "-readEULA"});
    EXPECT_EQ(119, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("was not kept")) << run.err;
    EXPECT_EQ(Path("root"), SplitLines(ReadFile(Path("packages/pkg/package.dat")))[1]);
}

TEST_F(NuvCmdComponentsTest, LicenceThatWasNotAcceptedInstallsNothing)
{
    const std::string refused =
        "Licence not accepted; nothing was installed. Scripts accept it with -readEULA.\n";
    ProgramRun run = Run({"-install", "pkg"}, "y\n");
    EXPECT_EQ(115, run.exitCode);
    EXPECT_EQ(Opening("pkg"), run.out);   // no question about a text nobody saw
    EXPECT_NE(std::string::npos, run.err.find("End_User_Licence_Agreement.txt is missing")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(refused));

    WriteFile(Path("EULA/End_User_Licence_Agreement.txt"), "Terms.\n");
    for (const char* input : {"n\n", ""}) {
        SCOPED_TRACE(input);
        run = Run({"-install", "pkg"}, input);
        EXPECT_EQ(115, run.exitCode);
        EXPECT_NE(std::string::npos, run.err.find(refused)) << run.err;
    }
    EXPECT_FALSE(Exists(Path("root")));
}

TEST_F(NuvCmdComponentsTest, DistributionForAnotherSystemIsRefused)
{
    const ProgramRun run = Run({"-install", "sol", "-readEULA"});
    EXPECT_EQ(41, run.exitCode);
    EXPECT_EQ(Opening("sol") + "There is a mismatch between the machine's Operating System of Linux and the "
              "Distribution's Target Operating System of Solaris.\n\nThe installation cannot "
              "proceeed.",
              run.out);
    EXPECT_FALSE(Exists(Path("root3")));
}

TEST_F(NuvCmdComponentsTest, ComponentsThatCannotBeRemovedFailTheCommand)
{
    Serve("Tool", "1.0.0", "bin/tool");
    ASSERT_EQ(0, Run({"-download", "pkg"}).exitCode);
    ASSERT_EQ(0, Run({"-install", "pkg", "-readEULA"}).exitCode);
    // Base 1.0.0's uninstall script fails the first time only: the uninstall batch of the
    // upgrade fails, the removal the new version makes before its install succeeds.
    WriteFile(Path("flip.sh"), "if [ -e " + Path("armed") + " ]; then : > " + Path("seen") +
                                   "; else : > " + Path("armed") + "; fi\n");
    WriteFile(Path("root/installer/Base/Base_uninstall.scr"),
              "exec /bin/sh " + Path("flip.sh") + "\ncopy " + Path("seen") + " " + Path("seen2") + "\n");
    WriteFile(Path("server/software/r5/main/main.pdf"),
              Section("Base", "1.0.0") + Section("Base", "1.1.0") + Section("Tool", "1.0.0", "Base"));
    Serve("Base", "1.1.0", "Base2.txt");
    ASSERT_EQ(0, Run({"-download", "pkg"}).exitCode);

    ProgramRun run = Run({"-install", "pkg"});
    EXPECT_EQ(63, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Uninstalling.... 001/001:\tBase (v1.0.0)\n"
              "\tUninstall failed for Base with Script file Error\n"
              "\nErrors occurred while trying to uninstall the following components:\n\n"
              "Base\n\nSee output above for error details.\n"
              "Installing...... 001/001:\tBase (v1.1.0)\n"
              "Install Successful\n"
              "Installation Finished\n",
              run.out);
    EXPECT_TRUE(Exists(Path("root/Base2.txt")));

    WriteFile(Path("root/installer/Base/Base_uninstall.scr"), "");
    WriteFile(Path("root/installer/Tool/Tool_uninstall.scr"), "nosuchcommand\n");
    run = Run({"-uninstall", "pkg"});
    EXPECT_EQ(121, run.exitCode);
    EXPECT_EQ(Opening("pkg") + "Uninstalling.... 001/002:\tTool (v1.0.0)\n"
              "\tUninstall failed for Tool with Script file Error\n"
              "Uninstalling.... 002/002:\tBase (v1.1.0)\n"
              "\nErrors occurred while trying to uninstall the following components:\n\n"
              "Tool\n\nSee output above for error details.\n",
              run.out);
}

TEST_F(NuvCmdComponentsTest, DistributionTheServerNoLongerListsStopsTheCommand)
{
    MakePackage("gone", "Gone", "2", Path("root4"));
    const ProgramRun run = Run({"-list", "gone"});
    EXPECT_EQ(79, run.exitCode);
    EXPECT_EQ("Opening Package: gone\nThis distribution is no longer supported.  The cached "
              "version will be used.\n\nReading Distribution Info   0%\r\nThe distirbution 'Gone' used by package 'gone' is not "
              "supported with you current connection details.\n",
              run.out);
}
