// The console dialogues of NUV_CMD: answers refused and asked again, and the end of input,
// which must end a dialogue instead of asking for ever.
#include "cmd/nuvprogram.h"
#include "core/server/connectiondetails.h"
#include "core/base/textutil.h"
#include "support/ftpserver.h"
#include "support/testsupport.h"

#include <QTemporaryDir>

#include <memory>

using namespace testsupport;

namespace {

const std::string kCommandError =
    "\nCommand Error, please check your connection details and package name\n";
const std::string kWarning = CConnectionDetails::GenericLoginWarning();
const std::string kCancelled = CNUVProgram::kNoMoreInput;

class OptionsMenuTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        WriteUnreachableServerDetails(Path());
        m_Details = ReadFile(Path("packages/Details.data"));
    }
    ProgramRun Setup(const std::string& input) { return RunNuvCmd({"-setup"}, Path(), input); }
    CConnectionDetails Saved() const
    {
        CConnectionDetails saved;
        saved.ParseDetailsRecords(ReadFile(Path("packages/Details.data")));
        return saved;
    }
    std::string m_Details;
};

/// One FTP server offering one distribution, App depending on Core, for the wizard.
std::unique_ptr<QTemporaryDir> s_Served;
std::unique_ptr<CFtpServer> s_Server;

class WizardTest : public TempDirTest {
protected:
    static void SetUpTestSuite()
    {
        s_Served = std::make_unique<QTemporaryDir>();
        const std::string root = s_Served->path().toStdString();
        WriteFile(root + "/software/distributions.txt",
                  "[Main]\ndescription=Main line\npath=m\nplatform=Linux\npackagetype=zip\n"
                  "filelist=m/m.pdf\n");
        WriteFile(root + "/software/m/m.pdf", "[App]\nversion=1.0.0\ndepends=Core\n"
                                              "[Core]\nversion=1.0.0\n");
        s_Server = std::make_unique<CFtpServer>();
        ASSERT_TRUE(s_Server->Start(root, root + "/ftp.log"));
    }
    static void TearDownTestSuite()
    {
        s_Server.reset();
        s_Served.reset();
    }
    ProgramRun New(const std::string& input)
    {
        WriteServerDetails(Path(), s_Server->Address(), CFtpServer::kUser, CFtpServer::kPassword);
        return RunNuvCmd({"-new", "pkg"}, Path(), input);
    }
};

const std::string kChoice = "Please selected a Distribution to base you Package on:\n"
                            "\t01: Main line [Main]\n\nDistribution ( 1 - 1 ): ";
const std::string kDirectory =
    "Enter the directory that you would like to install the software to [/opt/tessom/r5]: "
    "Is /opt/tessom/r5 correct? (y/n): ";
const std::string kOpening = "Opening Package: pkg\n\nReading Distribution Info   0%\r"
                             "Reading Distribution Info 100%\r\n";
const std::string kAll = "Do you want to include all Components in this Package? (y/n): ";

}  // namespace

TEST(AddressCheck, TakesAddressesAndHostNamesWithOrWithoutAPort)
{
    const struct {
        const char* address;
        bool valid;
    } cases[] = {
        {"127.0.0.1", true}, {"255.255.255.255", true}, {"install.nuv.example", true},
        {"localhost", true}, {"proxy-1.corp:8080", true}, {"10.0.0.1:65535", true},
        {"", false}, {"256.0.0.1", false}, {"1.2.3", false}, {"1.2.3.4.5", false},
        {"1.2.3.1000", false}, {"host:0", false}, {"host:65536", false}, {"host:", false},
        {":21", false}, {"host:21x", false}, {"a..b", false}, {".a", false}, {"a.", false},
        {"-a.b", false}, {"a-.b", false}, {"proxy host", false}, {"ftp://host", false},
        {"a\"b.c\"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(c.valid, CNUVProgram::IsValidAddress(c.address));
    }
}

TEST_F(OptionsMenuTest, EndOfInputInsideTheMenuCancelsItAndSavesNothing)
{
    const struct {
        const char* input;
        const char* lastPrompt;
    } cases[] = {
        {"y\n", "Selection: "},
        {"y\n1\nnot an address\n", "Enter new server IP Address: "},
        {"y\n3\ny\n127.0.0.1\n99999\n", "Enter Proxy Port: "},
        {"y\n3\ny\n127.0.0.1\n8080\ny\nuser\npass\n", "Enter Proxy Domain: "},
        {"y\n4\n14\n301\n", "Enter File Transfer Timeout (15-300sec): "},
        {"y\n5\nabc\n", "Enter File Login Timeout (15-300sec): "},
        {"y\n4\n200\n", "Selection: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const ProgramRun run = Setup(c.input);
        EXPECT_EQ(98, run.exitCode);
        const std::string ending = std::string(c.lastPrompt) + kCancelled;
        ASSERT_GE(run.out.size(), ending.size());
        EXPECT_EQ(ending, run.out.substr(run.out.size() - ending.size()));
        EXPECT_EQ(m_Details, ReadFile(Path("packages/Details.data")));
        EXPECT_FALSE(Exists(Path("NUV_GUIOptions.opt")));
    }
    // Without a first "y" nothing changes and nothing needs cancelling.
    EXPECT_EQ(0, Setup("").exitCode);
    EXPECT_EQ(0, Setup("n\n").exitCode);
    EXPECT_EQ(m_Details, ReadFile(Path("packages/Details.data")));
}

TEST_F(OptionsMenuTest, BoundsAreKeptAndBothFilesSaved)
{
    const ProgramRun run = Setup("y\n4\n15\n5\n14\n300\n3\nn\n2\ngenacct2\nharbour\nX\n");
    EXPECT_EQ(0, run.exitCode);
    const std::string expectedEnd =
        "Options\n-------\n\nNUV Server = " + Saved().GetServer() +
        "\nUsername = genacct2\nPassword = *******\nFile Transfer Timeout = 15 seconds\n"
        "Login Timeout = 300 seconds\n\n\n" + kWarning;
    ASSERT_GE(run.out.size(), expectedEnd.size());
    EXPECT_EQ(expectedEnd, run.out.substr(run.out.size() - expectedEnd.size()));
    EXPECT_EQ("genacct2", Saved().GetUserName());
    EXPECT_EQ("harbour", Saved().GetPassword());
    EXPECT_EQ(15, Saved().GetTransferTimeout());
    EXPECT_EQ("", Saved().GetProxyServer());
    EXPECT_NE(std::string::npos, ReadFile(Path("NUV_GUIOptions.opt")).find("LOGINTIMEOUT=300\n"));
    // The saved settings are tried at once; the closed port is the reason given.
    EXPECT_NE(std::string::npos, run.err.find("NUV_CMD: the new settings were saved, but the test "
                                              "failed: cannot reach the server " +
                                              Saved().GetServer() + ": connection refused"))
        << run.err;
}

TEST_F(OptionsMenuTest, ProxyDomainIsOfferedAndKeptOnAnEmptyAnswer)
{
    const struct {
        const char* answer;
        const char* prompt;
        const char* saved;
    } steps[] = {
        {"CORP", "\nEnter Proxy Domain: ", "CORP"},
        {"", "\nEnter Proxy Domain [CORP]: ", "CORP"},
        {" OTHER ", "\nEnter Proxy Domain [CORP]: ", "OTHER"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.answer);
        const ProgramRun run =
            Setup(std::string("y\n3\ny\n127.0.0.1\n8080\ny\nuser\npass\n") + s.answer + "\nx\n");
        EXPECT_EQ(0, run.exitCode);
        EXPECT_NE(std::string::npos, run.out.find(std::string("****") + s.prompt)) << run.out;
        EXPECT_EQ(s.saved, Saved().GetProxyDomain());
    }
}

TEST_F(OptionsMenuTest, WizardWithoutDistributionsRefusesAtOnce)
{
    const ProgramRun run = RunNuvCmd({"-new", "pkg"}, Path(), "1\n");
    EXPECT_EQ(73, run.exitCode);
    EXPECT_EQ(kWarning + kCommandError, run.out);
}

TEST_F(WizardTest, AnythingButNIncludesEveryComponent)
{
    const ProgramRun run = New("1\n\ny\nno\n");
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(kChoice + kDirectory + kOpening + kAll +
                  "Setting all Components to be included\nAll Components included\n",
              run.out);
    const std::string state = ReadFile(Path("packages/pkg/packages.dat"));
    EXPECT_EQ(std::string::npos, state.find("included=no"));
    EXPECT_EQ("/opt/tessom/r5", SplitLines(ReadFile(Path("packages/pkg/package.dat")))[1]);

    const ProgramRun again = New("1\n");
    EXPECT_EQ(75, again.exitCode);
    EXPECT_EQ("Package with the name 'pkg' already defined\n" + kCommandError, again.out);
}

TEST_F(WizardTest, EndOfInputLeavesNoPackage)
{
    const struct {
        std::string input;
        std::string out;
    } cases[] = {
        {"0\n", kChoice + "\nDistribution ( 1 - 1 ): " + kCancelled},
        {"1\n\n", kChoice + kDirectory + kCancelled},
        {"1\n\ny\nn\ny\n", kChoice + kDirectory + kOpening + kAll +
                               "\n\ninclude 01/02 : App ? .... (y/n) => "
                               "\tAdding Core due to dependencies\n\n"
                               "include 02/02 : Core ? .... (y/n) => " + kCancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const ProgramRun run = New(c.input);
        EXPECT_EQ(98, run.exitCode);
        EXPECT_EQ(c.out + kCommandError, run.out);
        EXPECT_FALSE(Exists(Path("packages/pkg")));
    }
}

TEST_F(WizardTest, PackageThatCouldNotBeMadeEndsTheWizard)
{
    WriteFile(Path("packages/pkg"), "a file where the package folder goes");
    const ProgramRun run = New("1\n\ny\nn\ny\ny\n");
    EXPECT_EQ(87, run.exitCode);
    EXPECT_EQ(kChoice + kDirectory + "Opening Package: pkg\nPackage 'pkg' not found\n", run.out);
    EXPECT_EQ("a file where the package folder goes", ReadFile(Path("packages/pkg")));
}
