// NUV_CMD as users run it: the real program in a fresh working folder per test.
#include "core/nuvfunctions.h"
#include "core/server/connectiondetails.h"
#include "support/componentarchive.h"
#include "support/ftpserver.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>

using testsupport::Exists;
using testsupport::ProgramRun;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

const std::string kUsage = std::string("Usage: ") + NUV_CMD_PATH + " [arg] [package name]\n" +
    "args:\n"
    "\t-new [package name]       creates a new package\n"
    "\t-install [package name]   Installs specified package\n"
    "\t-readEULA                 Used in conjunction with -install\n"
    "\t                          to automatically accept the EULA\n"
    "\t-path                     Used in conjunction with -install\n"
    "\t                          to change the installation directory\n"
    "\t                          of a package\n"
    "\t-uninstall [package name] Uninstalls specified package\n"
    "\t-download [package name]  Downloads new or updated components\n"
    "\t-delete [package name]    Deletes downloaded components of \n"
    "\t                          specified package\n"
    "\t-remove [package name]    Deletes specified packages\n"
    "\t-list [package name]      Lists all new/updated components\n"
    "\t                          that can be downloaded\n"
    "\t-makePTF [package name]   Creates PTF file for specified package\n"
    "\t-loadPTF [file]           Creates a Package from file\n"
    "\t-loadDPF [file]           Loads a delta package\n"
    "\t-makeNPF [package name]   Creates a package file with components for\n"
    "\t                          installing on other machines\n"
    "\t-loadNPF [file]           Creates new package from file with a\n"
    "\t                          populated cache dir\n"
    "\n"
    "The following commands do not need the [package name] argument:\n"
    "\n"
    "\t-packages                 Views all packages names created by -new\n"
    "\t-setup                    Sets up the network settings\n"
    "\t-version                  Dispaly the software version number\n"
    "\n"
    "Please refer to documentation for more information\n";

const std::string kCommandError =
    "\nCommand Error, please check your connection details and package name\n";

const std::string kWarningStart =
    "We have detected you are using the generic login settings, which are provided by default "
    "when the NUV is installed.\n\nTo remove this message, please request your own login details "
    "by e-mailing ";

/// Every command prints the generic log-in warning first while the default log-in is in use;
/// the address at its end is the connection details' own.
const std::string kWarning = CConnectionDetails::GenericLoginWarning();

class NuvCmdTest : public testsupport::TempDirTest {
protected:
    /// Runs NUV_CMD in the test folder with the server pointed at a closed loopback port.
    ProgramRun Run(const std::vector<std::string>& args, const std::string& input = std::string())
    {
        testsupport::WriteUnreachableServerDetails(Path());
        return testsupport::RunNuvCmd(args, Path(), input);
    }

    /// A package folder as the package store keeps it.
    void MakePackage(const std::string& name)
    {
        WriteFile(Path("packages/" + name + "/package.dat"), "Dist\n" + Path("r5") + "\n");
        WriteFile(Path("packages/" + name + "/packages.dat"), testsupport::FreshStateFile());
    }

    /// Records name as installed under the root "r5" of the test folder.
    void MarkInstalled(const std::string& name)
    {
        WriteFile(Path("packages/InstallDir.nuv"), Path("r5") + "\n");
        WriteFile(Path("r5/installer/packages." + name), testsupport::FreshStateFile());
    }
};

}  // namespace

TEST_F(NuvCmdTest, FirstStartWithoutArgumentsMakesTheFoldersAndPrintsTheUsage)
{
    WriteFile(Path("NUV_GUIOptions.opt"), "LOGINTIMEOUT=5\n");
    const ProgramRun run = testsupport::RunNuvCmd({}, Path());
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(kUsage, run.out);
    for (const char* folder : {"cache", "cache/Windows", "cache/Linux", "cache/Solaris", "packages", "PTF"}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(QFileInfo(QString::fromStdString(Path(folder))).isDir());
    }
}

TEST_F(NuvCmdTest, DispatcherFindsTheFirstCommandWordAndItsArgument)
{
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } cases[] = {
        {{"-install"}, 1, "Syntax Error\n" + kUsage},
        {{"foo", "-remove"}, 1, "Syntax Error\n" + kUsage},
        {{"-debug", "-ntrace"}, 2, "Unknown command\n" + kUsage},
        {{"-readEULA", "-path", "-instwarnoff", "-V", "install"}, 2, "Unknown command\n" + kUsage},
        {{""}, 70, kWarning + kCommandError},
        {{"-v"}, 0, kWarning + "NUV_CMD 2.0.21\n"},
        {{"--version"}, 0, kWarning + "NUV_CMD 2.0.21\n"},
        {{"--help"}, 0, kUsage},
        {{"-debug", "-h", "-install"}, 0, kUsage},
        {{"-version", "foo"}, 0, kWarning + "NUV_CMD 2.0.21\n"},
        {{"-install", "-download"}, 87,
         kWarning + "Opening Package: -download\nPackage '-download' not found\n"},
        {{"-new", ""}, 72, kWarning + kCommandError},
        {{"-makePTF", ""}, 0, kWarning},
        {{"-makePTF", "pkg"}, 87,
         kWarning + "Opening Package: pkg\nFailed opening Package pkg\nPackage 'pkg' not found\n"},
        {{"-loadPTF", ""}, 81, kWarning + kCommandError},
        {{"-loadDPF", ""}, 95, kWarning + kCommandError},
        {{"-loadDPF", "none.dpf"}, 87,
         kWarning + "Cannot find specified filePackage 'none.dpf' not found\n"},
        {{"-loadNPF", ""}, 95, kWarning + "NUV_CMD 2.0.21\n" + kCommandError},
        {{"-loadNPF", "dir\\none.npf"}, 85,
         kWarning + "File: dir/none.npf does not exists\n" + kCommandError},
        {{"-remove", "pkg"}, 87,
         kWarning + "Failed to removed package 'pkg', error 87\nPackage 'pkg' not found\n"},
        {{"-packages"}, 0, kWarning + "Packages\n--------\n\t No Packages found\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(c.exitCode, run.exitCode);
        EXPECT_EQ(c.out, run.out);
    }
    EXPECT_EQ(0u, kWarning.find(kWarningStart));
}

TEST_F(NuvCmdTest, DebugSwitchStartsAFreshTraceWithTheVersion)
{
    WriteFile(Path("NUVdebugtrace.txt"), "line of an earlier run\n");
    const ProgramRun run = Run({"-debug", "-v"});
    ASSERT_EQ(0, run.exitCode);
    const std::string trace = ReadFile(Path("NUVdebugtrace.txt"));
    const std::string firstLine = trace.substr(0, trace.find('\n'));
    EXPECT_EQ(0u, firstLine.find('['));
    const std::string ending = "]:NUV( 2.0.21 ) debug trace activated";
    ASSERT_GE(firstLine.size(), ending.size());
    EXPECT_EQ(ending, firstLine.substr(firstLine.size() - ending.size()));
    EXPECT_EQ(std::string::npos, trace.find("earlier run"));
}

TEST_F(NuvCmdTest, RefusalsSayWhyAndWhatToDoNextOnStandardError)
{
    MakePackage("pkg");
    MarkInstalled("pkg");
    WriteFile(Path("pkg.npf"), "x");
    WriteFile(Path("stray.txt"), "x");
    ASSERT_EQ(0, testsupport::RunProgram("zip", {"-q", "stray.npf", "stray.txt"}, Path()).exitCode);
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    } cases[] = {
        {{"-v"}, 0, ": connection refused ("},
        {{"-remove", "pkg"}, 86, "NUV_CMD: uninstall it first with -uninstall pkg\n"},
        {{"-install", "other"}, 63, "NUV_CMD: pkg is installed here; -uninstall it first\n"},
        {{"-loadNPF", "pkg.npf"}, 75, "NUV_CMD: choose another name or -remove pkg\n"},
        {{"-loadNPF", "stray.npf"}, 95,
         "NUV_CMD: stray.npf is invalid: the entry stray.txt lies outside the package and cache "
         "folders\n"},
        {{"-list", "pkg"}, 0, "NUV_CMD: the server was not reached; the versions shown come from"},
        {{"-instal", "pkg"}, 2, "NUV_CMD: unknown command word \"-instal\"; did you mean -install?\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(c.exitCode, run.exitCode);
        EXPECT_NE(std::string::npos, run.err.find(c.err)) << run.err;
    }
}

TEST_F(NuvCmdTest, FailedConnectionTestNamesServerCauseAndTraces)
{
    QDir().mkpath(QString::fromStdString(Path("server")));
    testsupport::CFtpServer server;
    ASSERT_TRUE(server.Start(Path("server"), Path("ftp.log")));
    const std::string closed = std::to_string(testsupport::FreeLoopbackPort());
    const struct {
        std::string server;
        std::string password;
        std::string proxy;
        std::string says;
    } cases[] = {
        {"127.0.0.1:" + closed, "x", "",
         "cannot reach the server 127.0.0.1:" + closed + ": connection refused ("},
        {server.Address(), "wrong", "",
         "cannot reach the server " + server.Address() + ": log-in rejected, the server replied \"530"},
        {server.Address(), "x", "127.0.0.1",
         "cannot reach the server " + server.Address() + " through the proxy 127.0.0.1:" + closed +
             ": the proxy refused the connection ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        testsupport::WriteServerDetails(Path(), c.server, testsupport::CFtpServer::kUser,
                                        c.password, c.proxy, std::stoi(closed));
        const ProgramRun run = testsupport::RunNuvCmd({"-debug", "-ntrace", "-v"}, Path());
        EXPECT_EQ(0, run.exitCode);
        EXPECT_EQ("NUV_CMD 2.0.21\n", run.out);
        EXPECT_EQ(0u, run.err.find("NUV_CMD: " + c.says)) << run.err;
        EXPECT_NE(std::string::npos, run.err.find("working offline; traces: " + Path() + "/NUVdebugtrace.txt"));
        EXPECT_NE(std::string::npos, ReadFile(Path("NUVdebugtrace.txt")).find(c.says));
        EXPECT_NE(std::string::npos, ReadFile(Path("FTPLog.txt")).find(c.says));
    }
}

TEST_F(NuvCmdTest, UnwritableWorkingFolderIsAWarningOnly)
{
    for (const char* folder : {"cache", "packages", "PTF"}) {
        SCOPED_TRACE(folder);
        QDir(QString::fromStdString(Path())).removeRecursively();
        QDir().mkpath(QString::fromStdString(Path()));
        WriteFile(Path(folder), "a file where the folder belongs");
        const ProgramRun run = testsupport::RunNuvCmd({}, Path());
        EXPECT_EQ(0, run.exitCode);
        EXPECT_EQ(std::string("\nNUV_CMD Error: ") + folder +
                      " has permissions restricting your ability to create files\n"
                      "Files may need to be created in this location, please check file "
                      "permissions\n\n" + kUsage,
                  run.out);
    }
}

TEST_F(NuvCmdTest, AnInstalledPackageHoldsTheMachine)
{
    MakePackage("pkg");
    MakePackage("other");
    MarkInstalled("pkg");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } cases[] = {
        {{"-install", "other"}, 63,
         kWarning + "Cannot install package 'other', as package 'pkg' is already installed.\n" +
             kCommandError},
        {{"-install", ""}, 63,
         kWarning + "Cannot install package '', as package 'pkg' is already installed.\n" +
             kCommandError},
        {{"-remove", "pkg"}, 86,
         kWarning + "Cannot remove package 'pkg' as it is currently installed\n" + kCommandError},
        {{"-packages"}, 0,
         kWarning + "Packages\n--------\n\t01: other\n\t02: pkg\t*\n\n"
                    "'*' indicates the currently installed package\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(c.exitCode, run.exitCode);
        EXPECT_EQ(c.out, run.out);
    }
    EXPECT_TRUE(QFileInfo(QString::fromStdString(Path("packages/pkg/package.dat"))).exists());
}

TEST_F(NuvCmdTest, RefusedFilesAndOffLineDownloadsSayWhy)
{
    MakePackage("pkg");
    WriteFile(Path("nodot"), "x");
    WriteFile(Path("empty.ptf"), "");
    WriteFile(Path("sub/missing.dpf"), "x");
    WriteFile(Path("pkg.npf"), "x");
    // A file exported as pkg and renamed: pkg is what stands in the way, not "renamed".
    ASSERT_EQ(0, testsupport::RunProgram("zip", {"-q", "renamed.npf", "packages/pkg/package.dat",
                                                 "packages/pkg/packages.dat"}, Path()).exitCode);
    const std::string pkgExists = "A Package with the same name already exists.\nTo unpack this "
                                  "Package please uninstall and delete the Package pkg\n";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } cases[] = {
        {{"-loadPTF", "none.ptf"}, 97, "Failed reading PTF file" + kCommandError},
        {{"-loadPTF", "empty.ptf"}, 97, "Failed reading PTF file" + kCommandError},
        {{"-loadDPF", "sub/missing.dpf"}, 92,
         "Package to upgrade ( missing ) does not exist" + kCommandError},
        {{"-loadDPF", "nodot"}, 93, "Invaild file\nFailed to install Delta package" + kCommandError},
        {{"-loadNPF", "pkg.npf"}, 75, pkgExists + kCommandError},
        {{"-loadNPF", "renamed.npf"}, 75, pkgExists + kCommandError},
        {{"-loadNPF", "nodot"}, 95, "nodot is an invalid file\n" + kCommandError},
        {{"-download", "pkg"}, 102,
         "Opening Package: pkg\n\nReading Distribution Info   0%\r\nCannot download Components from a local Distribution\n"
         "Distribution Not recognised or currently working offline" + kCommandError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(c.exitCode, run.exitCode);
        EXPECT_EQ(kWarning + c.out, run.out);
    }
    EXPECT_FALSE(Exists(Path("packages/renamed")));
}

TEST_F(NuvCmdTest, ArgumentsAreNeverTakenAsFormats)
{
    const std::string longName(5000, 'n');
    const struct {
        std::string name;
        std::string out;
    } cases[] = {
        {"%s%n%x%%", kWarning + "Opening Package: %s%n%x%%\nPackage '%s%n%x%%' not found\n"},
        {"\x01\x7f\xc3\xa4 \t",
         kWarning + "Opening Package: \x01\x7f\xc3\xa4 \t\nPackage '\x01\x7f\xc3\xa4 \t' not found\n"},
        {longName, kWarning + "Opening Package: " + longName.substr(0, 4095 - 17) + "Package '" +
                       longName.substr(0, 4095 - 9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 20));
        const ProgramRun run = Run({"-list", c.name});
        EXPECT_EQ(87, run.exitCode);
        EXPECT_EQ(c.out, run.out);
    }
}

TEST_F(NuvCmdTest, StartUpLogsInAndTriesEachMissingDistributionListFiveTimes)
{
    QDir().mkpath(QString::fromStdString(Path("server/software")));
    testsupport::CFtpServer server;
    ASSERT_TRUE(server.Start(Path("server"), Path("ftp.log")));
    testsupport::WriteServerDetails(Path(), server.Address(), testsupport::CFtpServer::kUser,
                                    testsupport::CFtpServer::kPassword);
    const ProgramRun run = testsupport::RunNuvCmd({"-v"}, Path());
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ("NUV_CMD 2.0.21\n", run.out);   // a personal log-in: no warning
    // The list fetches go over the connection test's session.
    EXPECT_EQ(1, server.Count("USER"));
    EXPECT_EQ(5, server.Count("SIZE /software/distributions.txt"));
    EXPECT_EQ(5, server.Count("SIZE /software/users/tester/distributions.txt"));
}

TEST_F(NuvCmdTest, TemplatesMakeAndExportPackagesFromTheServersCatalogue)
{
    const std::string served = Path("server");
    WriteFile(served + "/software/distributions.txt",
              "[Dist]\ndescription=Release line\npackagetype=zip\nfilelist=pdf/list.txt\n");
    WriteFile(served + "/software/pdf/list.txt",
              "[Alpha]\nversion=1.0.0\n[Alpha]\nversion=2.0.0\n[Beta]\nversion=1.0.0\n");
    testsupport::CFtpServer server;
    ASSERT_TRUE(server.Start(served, Path("ftp.log")));
    testsupport::WriteServerDetails(Path(), server.Address(), testsupport::CFtpServer::kUser,
                                    testsupport::CFtpServer::kPassword);
    WriteFile(Path("in.ptf"), "<DISTRIBUTION>\nALIAS=pkg\nDISTRIB=Dist\nTESSOM_ROOT=/opt/r5\n"
                              "<COMPONENTS>\n[Alpha]\nVERSION=1.0.0\n[Beta]\nVERSION=9.0.0\n"
                              "<END COMPONENTS>\n");
    WriteFile(Path("evil.ptf"), "<DISTRIBUTION>\nALIAS=../evil\nDISTRIB=Dist\n");
    const std::string loading = "Opening Package: pkg\n\nReading Distribution Info   0%\r"
                                "Reading Distribution Info 100%\r\n";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } steps[] = {
        {{"-loadPTF", "in.ptf"}, 0,
         loading + "Package in.ptf created\nThe requested version of the following components "
                   "are no longer available on the server.\n\nBeta 9.0.0\nThey have "
                   "therefore been set at the latest available version.\n\n"},
        {{"-loadPTF", "in.ptf"}, 97,
         "Error, cannot create Package from PTF as Package already exists with the same name\n" +
             kCommandError},
        {{"-loadPTF", "evil.ptf"}, 97,
         CNUVFunctions::UnsafePackageNameMessage("../evil") + "Failed creating new package" +
             kCommandError},
        {{"-packages"}, 0,
         "Packages\n--------\n\t01: pkg\n\n'*' indicates the currently installed package\n"},
        {{"-makePTF", "pkg"}, 0, loading + "File created successfully"},
        {{"-remove", "../pkg"}, 78,
         CNUVFunctions::UnsafePackageNameMessage("../pkg") +
             "Failed to removed package '../pkg', error 78\n" + kCommandError},
        {{"-remove", "pkg"}, 0, "Package removed\n"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::PrintToString(s.args));
        const ProgramRun run = testsupport::RunNuvCmd(s.args, Path());
        EXPECT_EQ(s.exitCode, run.exitCode);
        EXPECT_EQ(s.out, run.out);
    }
    const std::string written = ReadFile(Path("PTF/pkg.ptf"));
    EXPECT_NE(std::string::npos, written.find("[Alpha]\nCOMPONENT=\nVERSION=1.0.0\n"));
    EXPECT_NE(std::string::npos, written.find("[Beta]\nCOMPONENT=\nVERSION=1.0.0\n"));
    EXPECT_FALSE(QFileInfo(QString::fromStdString(Path("packages/pkg"))).exists());
    EXPECT_FALSE(QFileInfo(QString::fromStdString(Path("evil"))).exists());
}

TEST_F(NuvCmdTest, ProbesLeaveFilesAndLinksNamedTempTxtAlone)
{
    WriteFile(Path("victim"), "precious");
    WriteFile(Path("cache/temp.txt"), "mine");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("PTF"))));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("packages"))));
    ASSERT_TRUE(QFile::link(QString::fromStdString(Path("victim")),
                            QString::fromStdString(Path("packages/temp.txt"))));
    ASSERT_TRUE(QFile::link(QString::fromStdString(Path("absent")),
                            QString::fromStdString(Path("PTF/temp.txt"))));
    EXPECT_EQ(0, Run({"-version"}).exitCode);
    EXPECT_EQ("precious", ReadFile(Path("victim")));
    EXPECT_EQ("mine", ReadFile(Path("cache/temp.txt")));
    EXPECT_EQ(QString::fromStdString(Path("victim")),
              QFileInfo(QString::fromStdString(Path("packages/temp.txt"))).symLinkTarget());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path("absent"))));
    for (const char* folder : {"cache", "packages", "PTF"})
        EXPECT_EQ(QStringList(), QDir(QString::fromStdString(Path(folder)))
                                     .entryList({".nuvprobe*"}, QDir::Files | QDir::Hidden))
            << folder;
}

TEST_F(NuvCmdTest, InstalledStateThatCannotBeWrittenFailsTheInstall)
{
    testsupport::CTmpfsMount disk(Path("r5"), "size=1m");
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    // The component's install script fills the disk after its files went in, so the first
    // write to meet the full disk is the installed state's.
    WriteFile(Path("packages/pkg/package.dat"), "Dist\n" + Path("r5") + "\n\n\n\n\n.zip\n2\n\n");
    WriteFile(Path("packages/pkg/packages.dat"),
              testsupport::FreshStateFile() + "[A]\nversion=1.0.0\ndownloadedpackage=A-1.0.0.zip\n"
                                              "downloadedversion=1.0.0\n");
    testsupport::MakeArchive(Path(), "A", "1.0.0",
                             {{"A.txt", "1"},
                              {"installer/A/filelist", "A.txt\n"},
                              {"installer/A/A_install.scr", "exec $TESSOM_ROOT/fill.sh\n"}});
    WriteFile(Path("r5/fill.sh"),
              "#!/bin/sh\ncat /dev/zero > \"$(dirname \"$0\")/filler\" 2>/dev/null\nexit 0\n");
    ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(Path("r5/fill.sh")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const ProgramRun run = Run({"-install", "pkg", "-readEULA"});
    EXPECT_EQ(63, run.exitCode);
    EXPECT_NE(std::string::npos,
              run.out.find("Cannot save " + Path("r5") + "/installer/packages.pkg: No space left on device\n"))
        << run.out;
    EXPECT_EQ(std::string::npos, run.out.find("Install Successful"));
    EXPECT_FALSE(Exists(Path("packages/InstallDir.nuv")));
}

TEST_F(NuvCmdTest, DamagedFilesStopTheCommandsThatReadThem)
{
    const std::string noise("\x8f\x01\xffZ\x00q\x13[", 8);
    const struct {
        std::string file;
        std::string content;
        std::string shown;   // the path as the message names it
    } cases[] = {
        {"packages/pkg/packages.dat", "", "packages/pkg/packages.dat"},
        {"packages/pkg/packages.dat", noise, "packages/pkg/packages.dat"},
        {"packages/pkg/packages.dat", "version=1.0.0\n", "packages/pkg/packages.dat"},
        {"r5/installer/packages.pkg", "", Path("r5") + "/installer/packages.pkg"},
        {"packages/pkg/package.dat", noise, "packages/pkg/package.dat"},
    };
    for (const auto& c : cases) {
        for (const char* command : {"-list", "-install", "-uninstall"}) {
            SCOPED_TRACE(c.file + " " + command);
            MakePackage("pkg");
            MarkInstalled("pkg");
            WriteFile(Path(c.file), c.content);
            const ProgramRun run = Run({command, "pkg", "-readEULA"});
            EXPECT_EQ(122, run.exitCode);
            EXPECT_NE(std::string::npos, run.out.find("The file " + c.shown + " is damaged: "))
                << run.out;
        }
    }
}
