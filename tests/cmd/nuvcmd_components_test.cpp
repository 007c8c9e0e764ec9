// A package's life with NUV_CMD against a real FTP server: download, install, upgrade,
// uninstall and delete, with the installation root checked against the file lists each time.
#include "core/base/textutil.h"
#include "support/componentarchive.h"
#include "support/ftpserver.h"
#include "support/jsonschema.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <map>
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

const std::string kDryRun = "Dry run: what the command would do; nothing is changed\n";

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
        WriteFile(Path("packages/" + name + "/packages.dat"), testsupport::FreshStateFile());
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

    /// Every entry below the working folder but the server's log: folders, links with their
    /// targets, files with the hash of their bytes and their permissions.
    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> entries;
        const QDir top(QString::fromStdString(Path()));
        QDirIterator it(top.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System |
                                        QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const std::string path = top.relativeFilePath(info.filePath()).toStdString();
            if (path == "ftp.log")
                continue;
            if (info.isSymLink()) {
                entries[path] = "-> " + info.symLinkTarget().toStdString();
            } else if (info.isDir()) {
                entries[path] = "folder";
            } else {
                const QByteArray bytes = QByteArray::fromStdString(ReadFile(info.filePath().toStdString()));
                entries[path] = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString() +
                                " " + std::to_string(int(info.permissions()));
            }
        }
        return entries;
    }

    /// "pkg" downloaded and installed (Base, whose versions need the services, under Tool),
    /// then Base 1.1.0 published: an upgrade waits. Returns the new archive's size.
    std::string InstallThenPublishUpgrade()
    {
        const std::string services = "needstartservice=yes\n";
        WriteFile(Path("packages/pkg/package.dat"),
                  "Main\n" + Path("root") + "\n\n\nbin/start.sh\nbin/stop.sh\n.zip\n2\ntag\n");
        WriteFile(Path("root/bin/start.sh"), "exit 0\n");
        WriteFile(Path("root/bin/stop.sh"), "exit 0\n");
        WriteFile(Path("server/software/r5/main/main.pdf"),
                  Section("Base", "1.0.0") + services + Section("Tool", "1.0.0", "Base"));
        Serve("Tool", "1.0.0", "bin/tool");
        EXPECT_EQ(0, Run({"-download", "pkg"}).exitCode);
        EXPECT_EQ(0, Run({"-install", "pkg", "-readEULA"}).exitCode);
        WriteFile(Path("server/software/r5/main/main.pdf"),
                  Section("Base", "1.0.0") + services + Section("Base", "1.1.0") + services +
                      Section("Tool", "1.0.0", "Base"));
        Serve("Base", "1.1.0", "Base2.txt");
        return std::to_string(QFileInfo(QString::fromStdString(
                                            Path("server/software/r5/main/Base-1.1.0.zip")))
                                  .size());
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

TEST_F(NuvCmdComponentsTest, DryRunOfInstallPrintsThePlanInOrderAndChangesNothing)
{
    const std::string size = InstallThenPublishUpgrade();
    const std::string root = Path("root");
    const auto before = Snapshot();
    const ProgramRun run = Run({"-install", "pkg", "-dryrun"});
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(kDryRun + Opening("pkg") +
                  "Would stop the services: bin/stop.sh (in " + root + ")\n"
                  "Would uninstall 001/001:\tBase (v1.0.0)\n"
                  "\tremoves the files listed in " + root + "/installer/Base/filelist\n"
                  "\tremoves " + root + "/installer/Base\n"
                  "Would install 001/001:\tBase 1.0.0 -> 1.1.0\n"
                  "\tdownload /software/r5/main/Base-1.1.0.zip (" + size + " bytes)\n"
                  "\tcopies the files of its file list into " + root + "\n"
                  "\truns Base_install.scr of the archive when it holds one\n"
                  "Would start the services: bin/start.sh (in " + root + ")\n"
                  "Download total: 1 archive, " + size + " bytes\n",
              run.out);
    EXPECT_EQ(before, Snapshot());
    EXPECT_EQ(0, m_Server.Count("RETR /software/r5/main/Base-1.1.0.zip"));
}

TEST_F(NuvCmdComponentsTest, DryRunsOfTheOtherBatchesShowTheirStepsAndChangeNothing)
{
    const std::string size = InstallThenPublishUpgrade();
    const std::string root = Path("root");
    const auto before = Snapshot();
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        std::string err;
    } rows[] = {
        {{"-download", "pkg", "-dryrun"}, 0,
         kDryRun + Opening("pkg") + "Would download 001/001:\tBase 1.0.0 -> 1.1.0\n"
             "\tdownload /software/r5/main/Base-1.1.0.zip (" + size + " bytes)\n"
             "Download total: 1 archive, " + size + " bytes\n", ""},
        {{"-dryrun", "-uninstall", "pkg"}, 0,
         kDryRun + Opening("pkg") + "Would uninstall 001/002:\tTool (v1.0.0)\n"
             "\tremoves the files listed in " + root + "/installer/Tool/filelist\n"
             "\tremoves " + root + "/installer/Tool\n"
             "Would uninstall 002/002:\tBase (v1.0.0)\n"
             "\tremoves the files listed in " + root + "/installer/Base/filelist\n"
             "\tremoves " + root + "/installer/Base\n", ""},
        // The batch deletes the current versions: Base 1.1.0 was never downloaded.
        {{"-delete", "pkg", "-dryrun"}, 0,
         kDryRun + Opening("pkg") + "Would delete 001/002:\tBase (v1.1.0)\n"
             "\tnot in the cache: the delete would fail\n"
             "Would delete 002/002:\tTool (v1.0.0)\n\tcache/Linux/Tool-1.0.0.zip\n", ""},
        // Run for real, these would change the machine: they are refused instead.
        {{"-remove", "pkg", "-dryrun"}, 1, "", "-dryrun works with -install, -download"},
        {{"-install", "pkg", "-json"}, 1, "", "-json works with -packages and -list only"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        const ProgramRun run = Run(row.args);
        EXPECT_EQ(row.exitCode, run.exitCode);
        EXPECT_EQ(row.out, run.out);
        EXPECT_NE(std::string::npos, run.err.find(row.err)) << run.err;
        EXPECT_EQ(before, Snapshot());
    }
}

TEST_F(NuvCmdComponentsTest, JsonOfPackagesAndListFitsTheSchemaAndSaysWhatIsThere)
{
    InstallThenPublishUpgrade();
    const QJsonObject schema = ReadJsonObject(NUV_SOURCE_DIR "/docs/nuv-json.schema.json");
    auto package = [](const std::string& name, const std::string& distribution,
                      const std::string& root, bool installed) {
        return "{\"name\": \"" + name + "\", \"distribution\": \"" + distribution +
               "\", \"root\": \"" + root + "\", \"tag\": \"tag\", \"installed\": " +
               (installed ? "true" : "false") + "}";
    };
    const std::string pkg = package("pkg", "Main", Path("root"), true);
    const std::string component =
        "{\"group\": \"G\", \"included\": true, \"installed\": \"1.0.0\", \"downloaded\": "
        "\"1.0.0\", \"capped\": null, \"sha256\": null, ";
    const struct {
        std::vector<std::string> args;
        std::string document;
    } rows[] = {
        {{"-packages", "-json"},
         "{\"packages\": [" + package("other", "Main", Path("root2"), false) + ", " + pkg + ", " +
             package("sol", "Sol", Path("root3"), false) + "]}"},
        {{"-json", "-list", "pkg"},
         "{\"package\": " + pkg + ", \"catalogue\": \"server\", \"components\": [" + component +
             "\"name\": \"Base\", \"newest\": \"1.1.0\", \"update\": true}, " + component +
             "\"name\": \"Tool\", \"newest\": \"1.0.0\", \"update\": false}]}"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        const ProgramRun run = Run(row.args);
        EXPECT_EQ(0, run.exitCode) << run.err;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
        ASSERT_EQ(QJsonParseError::NoError, error.error) << run.out;   // nothing else on stdout
        EXPECT_EQ("", SchemaMismatch(document.object(), schema, schema));
        EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(row.document)), document)
            << run.out;
        // The check itself catches a field the schema does not know.
        QJsonObject extended = document.object();
        extended.insert("extra", true);
        EXPECT_NE("", SchemaMismatch(extended, schema, schema));
    }
    EXPECT_NE(std::string::npos, Run({"-json", "-list", "pkg"}).err.find("Opening Package: pkg"));
}
