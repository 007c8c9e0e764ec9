// NUV_CMD driven as a user drives it, in fresh working folders, against a real FTP server with a
// global and a user distribution list and a real squid demanding NTLM proxy authentication:
// one package from the wizard to its removal, carried to an off-line folder as a portable
// package file and brought up to date there with a delta package file.
#include "core/server/connectiondetails.h"
#include "core/base/textutil.h"
#include "support/componentarchive.h"
#include "support/ftpserver.h"
#include "support/squidproxy.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <memory>
#include <set>

using namespace testsupport;

namespace {

const char kGlobalList[] =
    "[Main]\ndescription=Main line\npath=r5/main\nplatform=Linux\npackagetype=zip\n"
    "filelist=r5/main/main.pdf\n";
// The user's list adds a file list to Main and a distribution of its own.
const char kUserList[] =
    "[Main]\nfilelist=extra.pdf\n\n"
    "[Labs]\ndescription=Labs line\npath=users/tester/labs\nplatform=Linux\npackagetype=zip\n"
    "filelist=labs/labs.pdf\n";

std::string Section(const std::string& name, const std::string& version,
                    const std::string& depends = std::string())
{
    return "[" + name + "]\npackage=" + name + "-" + version + ".zip\nversion=" + version +
           "\ngroup=G\ndescription=" + name + "\n" +
           (depends.empty() ? "" : "depends=" + depends + "\n");
}

/// What opening the package prints while its two file lists are read.
std::string Opening(const std::string& package, bool online = true)
{
    return "Opening Package: " + package + "\n\nReading Distribution Info   0%\r" +
           (online ? "Reading Distribution Info  50%\rReading Distribution Info 100%\r" : "") +
           "\n";
}

const std::string kLicence = "Licence terms\n";

/// One FTP server and one squid for the whole suite; the test publishes new versions on it.
struct Peers {
    QTemporaryDir dir;
    CFtpServer ftp;
    CSquidProxy squid;
    std::string Served(const std::string& relative) const
    {
        return dir.path().toStdString() + "/server/software/" + relative;
    }
};
std::unique_ptr<Peers> s_Peers;

class EndToEndTest : public TempDirTest {
protected:
    static void SetUpTestSuite()
    {
        s_Peers = std::make_unique<Peers>();
        WriteFile(s_Peers->Served("distributions.txt"), kGlobalList);
        WriteFile(s_Peers->Served("users/tester/distributions.txt"), kUserList);
        WriteFile(s_Peers->Served("r5/main/main.pdf"),
                  Section("App", "1.0.0", "Core") + Section("Core", "1.0.0"));
        WriteFile(s_Peers->Served("users/tester/extra.pdf"), Section("Extra", "1.0.0"));
        WriteFile(s_Peers->Served("users/tester/labs/labs.pdf"), Section("Lab", "0.1.0"));
        Publish("App", "1.0.0", "bin/app");
        Publish("Core", "1.0.0", "lib/core");
        const std::string root = s_Peers->dir.path().toStdString();
        ASSERT_TRUE(s_Peers->ftp.Start(root + "/server", root + "/ftp.log"));
        ASSERT_TRUE(s_Peers->squid.Start()) << s_Peers->squid.Diagnostics();
    }
    static void TearDownTestSuite() { s_Peers.reset(); }

    /// Puts the archive of name-version, installing file, on the server below r5/main.
    static void Publish(const std::string& name, const std::string& version,
                        const std::string& file)
    {
        const std::string build = s_Peers->dir.path().toStdString() + "/build";
        MakeArchive(build, name, version,
                    {{file, name + " " + version}, {"installer/" + name + "/filelist", file + "\n"}});
        const std::string archive = name + "-" + version + ".zip";
        WriteFile(s_Peers->Served("r5/main/" + archive), ReadFile(build + "/cache/Linux/" + archive));
    }

    /// Runs NUV_CMD in folder (below the test folder) and checks its exit code and output.
    void Step(const std::string& folder, const std::vector<std::string>& args, int exitCode,
              const std::string& out, const std::string& input = std::string())
    {
        SCOPED_TRACE(folder + " " + testing::PrintToString(args));
        const ProgramRun run = RunNuvCmd(args, Path(folder), input);
        EXPECT_EQ(exitCode, run.exitCode);
        EXPECT_EQ(out, run.out);
    }

    /// Every file below folder, relative to it.
    std::set<std::string> Files(const std::string& folder) const
    {
        std::set<std::string> files;
        const QString root = QString::fromStdString(Path(folder));
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.insert(QDir(root).relativeFilePath(it.next()).toStdString());
        return files;
    }

    /// "name=value;" for every section of a state file that has key.
    std::string StateOf(const std::string& file, const std::string& key) const
    {
        std::string summary, section;
        for (const std::string& line : SplitLines(ReadFile(Path(file)))) {
            if (!line.empty() && line[0] == '[')
                section = line.substr(1, line.find(']') - 1);
            else if (line.rfind(key + "=", 0) == 0)
                summary += section + line.substr(key.size()) + ";";
        }
        return summary;
    }

    std::string Updates(const std::string& name, const char* installed, const char* downloaded,
                        const char* server)
    {
        return name + "\n\tinstalled " + installed + "\n\tdownloaded " + downloaded +
               "\n\ton server " + server + "\n\n";
    }
};

}  // namespace

TEST_F(EndToEndTest, PackageGoesFromTheWizardThroughTwoWorkingFoldersToItsRemoval)
{
    const std::string a = "a";
    QDir().mkpath(QString::fromStdString(Path(a)));
    WriteServerDetails(Path(a), s_Peers->ftp.Address(), CFtpServer::kUser, CFtpServer::kPassword);
    WriteFile(Path(a + "/EULA/End_User_Licence_Agreement.txt"), kLicence);
    const std::string rootA = Path("rootA");

    // The wizard: numbers outside the list, then the default folder refused, then the real one;
    // App drags Core along, which then cannot be left out; Extra is left out.
    const std::string distributionPrompt = "\nDistribution ( 1 - 2 ): ";
    const std::string dirPrompt =
        "Enter the directory that you would like to install the software to [/opt/tessom/r5]: ";
    Step(a, {"-new", "pkg"}, 0,
         "Please selected a Distribution to base you Package on:\n"
         "\t01: Main line [Main]\n\t02: Labs line [Labs]\n" +
             distributionPrompt + distributionPrompt + distributionPrompt + distributionPrompt +
             distributionPrompt + dirPrompt + "Is /opt/tessom/r5 correct? (y/n): " + dirPrompt +
             "Is " + rootA + " correct? (y/n): " + Opening("pkg") +
             "Do you want to include all Components in this Package? (y/n): \n\n"
             "include 01/03 : App ? .... (y/n) => \n"
             "include 01/03 : App ? .... (y/n) => \tAdding Core due to dependencies\n\n"
             "include 02/03 : Core ? .... (y/n) => "
             "\tCore is required due to dependencies, and cannot be removed\n"
             "include 03/03 : Extra ? .... (y/n) => \n",
         "0\n-1\nabc\n3\n1\n\nn\n  " + rootA + "  \ny\nn\nmaybe\ny\nN\nn\n");
    EXPECT_EQ("Main\n" + rootA + "\n\n\n\n\n.zip\n2\n\n", ReadFile(Path(a + "/packages/pkg/package.dat")));
    const std::string stateA = a + "/packages/pkg/packages.dat";
    EXPECT_EQ("App=yes;Core=yes;Extra=no;", StateOf(stateA, "included"));
    EXPECT_EQ("App=0.0.0;Core=0.0.0;Extra=0.0.0;", StateOf(stateA, "downloadedversion"));

    Step(a, {"-packages"}, 0,
         "Packages\n--------\n\t01: pkg\n\n'*' indicates the currently installed package\n");
    Step(a, {"-list", "pkg"}, 0,
         Opening("pkg") + Updates("App", "0.0.0", "0.0.0", "1.0.0") +
             Updates("Core", "0.0.0", "0.0.0", "1.0.0"));
    Step(a, {"-download", "pkg"}, 0,
         Opening("pkg") + "Downloading..... 001/002:\tApp (v1.0.0)\n"
                          "Downloading..... 002/002:\tCore (v1.0.0)\nDownload Successful\n");
    Step(a, {"-install", "pkg"}, 0,
         Opening("pkg") + kLicence + "Do you agree? [y/n]Do you agree? [y/n]" +
             "Installing...... 001/002:\tCore (v1.0.0)\n"
             "Installing...... 002/002:\tApp (v1.0.0)\nInstall Successful\nInstallation Finished\n",
         "maybe\n y \n");
    EXPECT_EQ("App=1.0.0;Core=1.0.0;Extra=0.0.0;", StateOf(stateA, "downloadedversion"));
    EXPECT_EQ("App=1.0.0;Core=1.0.0;", StateOf("rootA/installer/packages.pkg", "installedversion"));
    EXPECT_EQ(rootA + "\n", ReadFile(Path(a + "/packages/InstallDir.nuv")));
    EXPECT_EQ((std::set<std::string>{"bin/app", "lib/core", "installer/App/filelist",
                                     "installer/Core/filelist", "installer/packages.pkg"}),
              Files("rootA"));
    Step(a, {"-list", "pkg"}, 0, Opening("pkg") + "All included components up to date.\n");

    // From here on every transfer goes through the proxy, which demands NTLM.
    const std::string port = std::to_string(s_Peers->squid.Port());
    const std::string menu = "\n\t1. Change Server\n\t2. Change Username & Password\n"
                             "\t3. Change Proxy Settings\n\t4. Change File Transfer Timeout\n"
                             "\t5. Change Login Timeout\n\tx. Exit\n\n\t\tSelection: ";
    const std::string options = "Options\n-------\n\nNUV Server = " + s_Peers->ftp.Address() +
                                "\nUsername = tester\nPassword = ******\n";
    Step(a, {"-setup"}, 0,
         options + "File Transfer Timeout = 15 seconds\nLogin Timeout = 60 seconds\n\n\n"
                   "Do you wish to change these options (y/n): " + menu +
             "Enable Proxy Server <y/n>: Enter IP address of Proxy Server: "
             "Invalid IP Address. Please Reenter\nEnter IP address of Proxy Server: "
             "Enter Proxy Port: Must be positive number\nEnter Proxy Port: "
             "Does Proxy require authentication <y/n>: Enter Proxy Username: "
             "Enter Proxy Password: :*********\nEnter Proxy Domain: " + menu +
             "Enter File Transfer Timeout (15-300sec): Timeout must be between 15 and 300 "
             "seconds\nEnter File Transfer Timeout (15-300sec): " + menu + options +
             "Proxy = 127.0.0.1\nProxy Port = " + port + "\nProxy Username = proxyuser\n"
             "Proxy Password = *********\nFile Transfer Timeout = 30 seconds\n"
             "Login Timeout = 60 seconds\n\n\n",
         "y\n3\ny\nproxy host\n127.0.0.1\n-5\n" + port +
             "\ny\nproxyuser\nproxypass\nWorkgroup\n4\n301\n30\nx\n");
    CConnectionDetails saved;
    saved.ParseDetailsRecords(ReadFile(Path(a + "/packages/Details.data")));
    EXPECT_EQ("127.0.0.1", saved.GetProxyServer());
    EXPECT_EQ(s_Peers->squid.Port(), saved.GetProxyPort());
    EXPECT_EQ("proxyuser", saved.GetProxyUsername());
    EXPECT_EQ("proxypass", saved.GetProxyPassword());
    EXPECT_EQ("Workgroup", saved.GetProxyDomain());
    EXPECT_EQ(30, saved.GetTransferTimeout());
    EXPECT_EQ(CFtpServer::kUser, saved.GetUserName());

    // The server publishes App 1.1.0.
    WriteFile(s_Peers->Served("r5/main/main.pdf"), Section("App", "1.0.0", "Core") +
                                                        Section("App", "1.1.0", "Core") +
                                                        Section("Core", "1.0.0"));
    Publish("App", "1.1.0", "bin/app2");
    Step(a, {"-list", "pkg"}, 0, Opening("pkg") + Updates("App", "1.0.0", "1.0.0", "1.1.0"));
    Step(a, {"-download", "pkg"}, 0,
         Opening("pkg") + "Downloading..... 001/001:\tApp (v1.1.0)\nDownload Successful\n");
    Step(a, {"-install", "pkg"}, 0,
         Opening("pkg") + "Uninstalling.... 001/001:\tApp (v1.0.0)\n"
                          "Installing...... 001/001:\tApp (v1.1.0)\nInstall Successful\n"
                          "Installation Finished\n");
    EXPECT_EQ("App=1.1.0;Core=1.0.0;", StateOf("rootA/installer/packages.pkg", "installedversion"));
    EXPECT_EQ((std::set<std::string>{"bin/app2", "lib/core", "installer/App/filelist",
                                     "installer/Core/filelist", "installer/packages.pkg"}),
              Files("rootA"));
    EXPECT_NE(std::string::npos, s_Peers->squid.AccessLog().find(" proxyuser ftp://"))
        << s_Peers->squid.AccessLog();

    // A template of the package, loaded under another name.
    Step(a, {"-makePTF", "pkg"}, 0, Opening("pkg") + "File created successfully");
    std::string ptf = ReadFile(Path(a + "/PTF/pkg.ptf"));
    const size_t alias = ptf.find("ALIAS=pkg\n");
    ASSERT_NE(std::string::npos, alias) << ptf;
    ptf.replace(alias, 10, "ALIAS=copy\n");
    WriteFile(Path(a + "/copy.ptf"), ptf);
    Step(a, {"-loadPTF", "copy.ptf"}, 0, Opening("copy") + "Package copy.ptf created\n");
    Step(a, {"-packages"}, 0,
         "Packages\n--------\n\t01: copy\n\t02: pkg\t*\n\n"
         "'*' indicates the currently installed package\n");

    // The portable package file carries the package to a folder without a server.
    Step(a, {"-makeNPF", "pkg"}, 0,
         Opening("pkg") + "\tExtra-1.0.0.zip: Not including excluded component in NPF\nNPF file created\n");
    const std::string b = "b";
    QDir().mkpath(QString::fromStdString(Path(b)));
    WriteUnreachableServerDetails(Path(b));
    WriteFile(Path(b + "/pkg.npf"), ReadFile(Path(a + "/pkg.npf")));
    const std::string warning = CConnectionDetails::GenericLoginWarning();
    Step(b, {"-loadNPF", "pkg.npf"}, 0, warning + "NPF finished extraction of pkg.npf\nPackage created\n");
    EXPECT_EQ(ReadFile(Path(a + "/cache/Linux/App-1.1.0.zip")), ReadFile(Path(b + "/cache/Linux/App-1.1.0.zip")));
    EXPECT_EQ(ReadFile(Path(a + "/packages/pkg/packages.dat")), ReadFile(Path(b + "/packages/pkg/packages.dat")));
    EXPECT_EQ((std::set<std::string>{"Linux/App-1.1.0.zip", "Linux/Core-1.0.0.zip"}), Files(b + "/cache"));
    const std::string rootB = Path("rootB");
    Step(b, {"-install", "pkg", "-path", rootB, "-readEULA"}, 0,
         warning + Opening("pkg", false) + "New installation path set to: " + rootB + "\n" +
             "Installing...... 001/002:\tCore (v1.0.0)\n"
             "Installing...... 002/002:\tApp (v1.1.0)\nInstall Successful\nInstallation Finished\n");
    EXPECT_EQ((std::set<std::string>{"bin/app2", "lib/core", "installer/App/filelist",
                                     "installer/Core/filelist", "installer/packages.pkg"}),
              Files("rootB"));

    // A delta package brings App 1.2.0 from the connected folder to the off-line one.
    WriteFile(s_Peers->Served("r5/main/main.pdf"), Section("App", "1.1.0", "Core") +
                                                        Section("App", "1.2.0", "Core") +
                                                        Section("Core", "1.0.0"));
    Publish("App", "1.2.0", "bin/app3");
    Step(a, {"-download", "pkg"}, 0,
         Opening("pkg") + "Downloading..... 001/001:\tApp (v1.2.0)\nDownload Successful\n");
    WriteFile(Path("delta/packages/pkg/packages.dat"), ReadFile(Path(a + "/packages/pkg/packages.dat")));
    WriteFile(Path("delta/cache/Linux/App-1.2.0.zip"), ReadFile(Path(a + "/cache/Linux/App-1.2.0.zip")));
    ASSERT_EQ(0, RunProgram("zip", {"-qr", Path(b + "/pkg.dpf"), "."}, Path("delta")).exitCode);
    Step(b, {"-loadDPF", "pkg.dpf"}, 0, warning);
    const std::string stateB = b + "/packages/pkg/packages.dat";
    EXPECT_EQ("App=1.2.0;Core=1.0.0;Extra=0.0.0;", StateOf(stateB, "downloadedversion"));
    EXPECT_EQ(rootB, SplitLines(ReadFile(Path(b + "/packages/pkg/package.dat")))[1]);
    Step(b, {"-list", "pkg"}, 0,
         warning + Opening("pkg", false) + Updates("App", "1.1.0", "1.2.0", "1.2.0"));
    Step(b, {"-install", "pkg"}, 0,
         warning + Opening("pkg", false) + "Uninstalling.... 001/001:\tApp (v1.1.0)\n"
         "Installing...... 001/001:\tApp (v1.2.0)\nInstall Successful\nInstallation Finished\n");
    EXPECT_EQ("App=1.2.0;Core=1.0.0;", StateOf("rootB/installer/packages.pkg", "installedversion"));
    EXPECT_EQ((std::set<std::string>{"bin/app3", "lib/core", "installer/App/filelist",
                                     "installer/Core/filelist", "installer/packages.pkg"}),
              Files("rootB"));

    // Both folders let the package go again.
    for (const std::string& folder : {b, a}) {
        SCOPED_TRACE(folder);
        const std::string prefix = folder == b ? warning : std::string();
        const std::string root = Path(folder == b ? "rootB" : "rootA");
        Step(folder, {"-remove", "pkg"}, 86,
             prefix + "Cannot remove package 'pkg' as it is currently installed\n"
             "\nCommand Error, please check your connection details and package name\n");
        Step(folder, {"-uninstall", "pkg"}, 0,
             prefix + Opening("pkg", folder == a) +
                 "Uninstalling.... 001/002:\tApp (v1.2.0)\n"
                 "Uninstalling.... 002/002:\tCore (v1.0.0)\n"
                 "Uninstallation Completed\nLog files and other files created at run-time may "
                 "still reside in " + root + "\n");
        EXPECT_FALSE(Exists(Path(folder + "/packages/InstallDir.nuv")));
        EXPECT_EQ(std::set<std::string>(), Files(folder == b ? "rootB" : "rootA"));
        Step(folder, {"-delete", "pkg"}, 0,
             prefix + Opening("pkg", folder == a) + "Deleting........ 001/002:\tApp (v1.2.0)\n"
             "Deleting........ 002/002:\tCore (v1.0.0)\nDelete Successful\n");
        // Only the current versions go; the older archives stay in the cache.
        EXPECT_EQ("App=0.0.0;Core=0.0.0;Extra=0.0.0;",
                  StateOf(folder + "/packages/pkg/packages.dat", "downloadedversion"));
        const std::set<std::string> kept = folder == b
            ? std::set<std::string>{"Linux/App-1.1.0.zip"}
            : std::set<std::string>{"Linux/App-1.0.0.zip", "Linux/App-1.1.0.zip"};
        EXPECT_EQ(kept, Files(folder + "/cache"));
        Step(folder, {"-remove", "pkg"}, 0, prefix + "Package removed\n");
        EXPECT_FALSE(Exists(Path(folder + "/packages/pkg")));
    }
}
