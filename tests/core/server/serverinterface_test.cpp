#include "core/server/serverinterface.h"

#include "core/base/digest.h"

#include "core/nuvoptions.h"
#include "core/server/connectiondetails.h"
#include "core/base/trace.h"
#include "support/coreapp.h"
#include "support/ftpserver.h"
#include "support/scriptedpeer.h"
#include "support/squidproxy.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <climits>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using testsupport::CFtpServer;
using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

/// A listening socket that accepts connections (the kernel does) but never greets; closed
/// with the object. Address() is "127.0.0.1:port".
struct SilentServer {
    SilentServer()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(fd, 4) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(fd); }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port); }

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
};

std::string ArchiveBytes(size_t size)
{
    std::string data = "PK\x03\x04";
    for (size_t i = data.size(); i < size; ++i)
        data += char((i * 7 + i / 251) & 0xFF);
    return data;
}

/// The text file, the archive, and two archives that misbehave on purpose.
struct Fixture {
    QTemporaryDir root;
    std::string log;
    CFtpServer server;
    const std::string text = "line one\nline two\n";
    const std::string archive = ArchiveBytes(1300000);   // several receive blocks and a rest
    const std::string slow = ArchiveBytes(4000);
};

class ServerInterfaceTest : public testsupport::TempDirTest {
protected:
    static void SetUpTestSuite()
    {
        testsupport::EnsureCoreApplication();
        s_Fixture = new Fixture;
        const std::string root = s_Fixture->root.path().toStdString() + "/served";
        WriteFile(root + "/software/distributions.txt", s_Fixture->text);
        WriteFile(root + "/software/comp.zip", s_Fixture->archive);
        WriteFile(root + "/software/stall.zip", s_Fixture->archive);
        WriteFile(root + "/software/slow.zip", s_Fixture->slow);
        s_Fixture->log = s_Fixture->root.path().toStdString() + "/commands.log";
        CFtpServer::Options options;
        options.stallFile = "stall.zip";
        options.trickleFile = "slow.zip";
        options.trickleBlocks = 8;
        options.tricklePauseMs = 300;   // 2.4 s in all, each pause well below the 1 s time-out
        ASSERT_TRUE(s_Fixture->server.Start(root, s_Fixture->log, options));
    }
    static void TearDownTestSuite()
    {
        delete s_Fixture;
        s_Fixture = nullptr;
    }

    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_NE(nullptr, s_Fixture);
        m_Details.SetUserName(CFtpServer::kUser);
        m_Details.SetPassword(CFtpServer::kPassword);
        m_Details.SetServer(Server().Address());
        // Generous, so a busy machine never fails a transfer; the time-out tests shorten it.
        m_Details.SetTransferTimeout(15);
        CNUVOptions::Instance()->m_nLoginTimeout = 15;
        Server().ClearLog();
    }

    static CFtpServer& Server() { return s_Fixture->server; }

    static Fixture* s_Fixture;
    CConnectionDetails m_Details;
};

Fixture* ServerInterfaceTest::s_Fixture = nullptr;

struct Progress {
    int reports = 0;
    int lastDone = 0;
    int lastTotal = 0;
    QString name;
};

TEST_F(ServerInterfaceTest, FileModeStoresTheArchiveAndReportsProgress)
{
    ServerInterface engine(&m_Details);
    Progress progress;
    QObject::connect(&engine, &ServerInterface::ProgressReport,
                     [&](QString name, int done, int total, float) {
                         ++progress.reports;
                         progress.lastDone = done;
                         progress.lastTotal = total;
                         progress.name = name;
                     });
    int completed = 0;
    QObject::connect(&engine, &ServerInterface::DownloadCompleted, [&] { ++completed; });

    ASSERT_EQ(ServerInterface::NO_FTP_ERROR, engine.GetFile("/software/comp.zip", Path(), false));
    EXPECT_EQ(s_Fixture->archive, ReadFile(Path("comp.zip")));
    EXPECT_GT(progress.reports, 1);
    EXPECT_EQ(int(s_Fixture->archive.size()), progress.lastDone);
    EXPECT_EQ(int(s_Fixture->archive.size()), progress.lastTotal);
    EXPECT_EQ("comp.zip", progress.name);
    EXPECT_EQ(1, completed);
    EXPECT_TRUE(engine.IsConnected());   // the log-in announced the on-line state
    EXPECT_EQ(1, Server().Count("RETR"));
    EXPECT_NE(std::string::npos, ReadFile(s_Fixture->log).find("RETR /software/comp.zip\n"));
}

TEST_F(ServerInterfaceTest, MemoryModeKeepsTheTextAndNoFile)
{
    ServerInterface engine(&m_Details);
    ASSERT_EQ(0, engine.GetFile("/software/distributions.txt", Path(), true));
    EXPECT_EQ(s_Fixture->text, engine.GetFileTextData());
    EXPECT_FALSE(Exists(Path("distributions.txt")));
    EXPECT_FALSE(Exists(Path(ServerInterface::kMemoryTempFile)));
}

TEST_F(ServerInterfaceTest, TwoDownloadsShareOneLogIn)
{
    ServerInterface engine(&m_Details);
    ASSERT_EQ(0, engine.GetFile("/software/distributions.txt", Path(), true));
    ASSERT_EQ(0, engine.GetFile("/software/comp.zip", Path(), false)) << engine.GetErrorString();
    EXPECT_EQ(1, Server().Count("USER"));
    EXPECT_EQ(1, Server().Count("PASS"));
    EXPECT_EQ(2, Server().Count("RETR"));

    engine.CloseConnections();
    ASSERT_EQ(0, engine.GetFile("/software/distributions.txt", Path(), true));
    EXPECT_EQ(2, Server().Count("USER"));   // closing really dropped the log-in
}

TEST_F(ServerInterfaceTest, RefusedRequestsSendNothing)
{
    WriteFile(Path("comp.zip"), "mine");
    struct Case {
        const char* name;
        const char* user;
        const char* server;
        const char* path;
        int code;
    };
    const Case cases[] = {
        {"empty path", "tester", "s", "", ServerInterface::NO_FILE_NAME},
        {"target exists", "tester", "s", "/software/comp.zip",
         ServerInterface::FILE_ALREADY_EXISTS},
        {"no user", "", "s", "/software/comp.zip", ServerInterface::NO_CONNECTION_DETAILS},
        {"no server", "tester", "", "/software/x.zip", ServerInterface::NO_CONNECTION_DETAILS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_Details.SetUserName(c.user);
        m_Details.SetServer(*c.server ? Server().Address() : std::string());
        ServerInterface engine(&m_Details);
        EXPECT_EQ(c.code, engine.GetFile(c.path, Path(), false));
    }
    EXPECT_EQ("mine", ReadFile(Path("comp.zip")));
    EXPECT_FALSE(Exists(Path("x.zip")));
    EXPECT_TRUE(Server().Requests().empty());
}

TEST_F(ServerInterfaceTest, MissingRemoteFileFailsWithoutLeavingAFile)
{
    ServerInterface engine(&m_Details);
    EXPECT_EQ(ServerInterface::TRANSFER_FAILED,
              engine.GetFile("/software/missing.zip", Path(), false));
    EXPECT_FALSE(Exists(Path("missing.zip")));
    EXPECT_FALSE(engine.GetErrorString().empty());
    // The connection survives a missing file.
    EXPECT_EQ(0, engine.GetFile("/software/distributions.txt", Path(), true));
    EXPECT_EQ(1, Server().Count("USER"));
}

TEST_F(ServerInterfaceTest, StalledTransferTimesOutAndRemovesThePartialFile)
{
    m_Details.SetTransferTimeout(1);
    ServerInterface engine(&m_Details);
    EXPECT_EQ(ServerInterface::TRANSFER_FAILED,
              engine.GetFile("/software/stall.zip", Path(), false));
    EXPECT_FALSE(Exists(Path("stall.zip")));
    // The time-out closed the connection; the next transfer logs in again and works.
    EXPECT_EQ(0, engine.GetFile("/software/distributions.txt", Path(), true));
    EXPECT_EQ(2, Server().Count("USER"));
}

TEST_F(ServerInterfaceTest, SlowTrickleLongerThanTheTimeOutCompletes)
{
    m_Details.SetTransferTimeout(1);   // each pause of the trickle is well below it
    ServerInterface engine(&m_Details);
    EXPECT_EQ(0, engine.GetFile("/software/slow.zip", Path(), false));
    EXPECT_EQ(s_Fixture->slow, ReadFile(Path("slow.zip")));
}

TEST_F(ServerInterfaceTest, AbortEndsTheWaitAndRemovesThePartialFile)
{
    ServerInterface engine(&m_Details);
    QObject::connect(&engine, &ServerInterface::ProgressReport,
                     [&](QString, int done, int, float) {
                         if (done > 0)
                             engine.Abort();
                     });
    EXPECT_EQ(ServerInterface::ABORTED, engine.GetFile("/software/slow.zip", Path(), false));
    EXPECT_FALSE(Exists(Path("slow.zip")));
}

// The graphical program quits its application on close, which ends every running loop.
TEST_F(ServerInterfaceTest, ApplicationQuitDuringATransferAbortsIt)
{
    ServerInterface engine(&m_Details);
    QObject::connect(&engine, &ServerInterface::ProgressReport, [](QString, int done, int, float) {
        if (done > 0)
            QCoreApplication::quit();
    });
    int result = -1;
    QTimer::singleShot(0, [&] {
        result = engine.GetFile("/software/slow.zip", Path(), false);
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    EXPECT_EQ(ServerInterface::ABORTED, result);
    EXPECT_FALSE(Exists(Path("slow.zip")));
}

TEST_F(ServerInterfaceTest, NetworkTraceKeepsThePasswordOutOfCurlsAccount)
{
    NetTraceOn(true);
    {
        ServerInterface engine(&m_Details);
        EXPECT_EQ(0, engine.GetFile("/software/distributions.txt", Path(), true));
    }   // the engine's end closes the trace file
    NetTraceOn(false);
    const std::string log = ReadFile(Path("FTPLog.txt"));
    const std::string password = CFtpServer::kPassword;
    EXPECT_NE(std::string::npos, log.find("curl > PASS " + std::string(password.size(), '*')));
    // Only the engine's own log-in line names it, in its usual form.
    const size_t line = log.find("user = tester password = " + password + "\n");
    EXPECT_NE(std::string::npos, line);
    EXPECT_EQ(log.find(password), log.rfind(password));
}

// The test's session is the one the transfers after it use; a failed test keeps nothing.
TEST_F(ServerInterfaceTest, ConnectionTestLogsInForTheTransfersAfterIt)
{
    ServerInterface engine(&m_Details);
    EXPECT_EQ(0, engine.TestConnection());
    EXPECT_TRUE(engine.IsConnected());
    EXPECT_EQ(1, Server().Count("USER"));
    EXPECT_EQ(0, Server().Count("RETR"));
    ASSERT_EQ(0, engine.GetFile("/software/distributions.txt", Path(), true));
    EXPECT_EQ(1, Server().Count("USER"));
    engine.CloseConnections();
    EXPECT_EQ(1, Server().Count("QUIT"));

    m_Details.SetPassword("wrong");
    EXPECT_EQ(ServerInterface::TRANSFER_FAILED, engine.TestConnection());
    EXPECT_FALSE(engine.IsConnected());
}

TEST_F(ServerInterfaceTest, ConnectionTestAgainstAClosedPortFails)
{
    m_Details.SetServer("127.0.0.1:" + std::to_string(testsupport::FreeLoopbackPort()));
    ServerInterface engine(&m_Details);
    EXPECT_EQ(ServerInterface::TRANSFER_FAILED, engine.TestConnection());
    EXPECT_FALSE(engine.IsConnected());
}

TEST_F(ServerInterfaceTest, ConnectionTestAgainstASilentServerTimesOut)
{
    SilentServer silent;
    ASSERT_NE(0, silent.port);
    m_Details.SetServer(silent.Address());
    CNUVOptions::Instance()->m_nLoginTimeout = 1;

    ServerInterface engine(&m_Details);
    EXPECT_EQ(ServerInterface::TRANSFER_FAILED, engine.TestConnection());
    EXPECT_FALSE(engine.IsConnected());
}

// A hand-edited time-out too large for the millisecond count must not switch the time-out
// off: a silent server would then hold the caller for ever.
TEST_F(ServerInterfaceTest, HugeTimeOutsAreCappedNotSwitchedOff)
{
    SilentServer silent;
    ASSERT_NE(0, silent.port);
    m_Details.SetServer(silent.Address());
    const std::pair<const char*, bool> cases[] = {{"log-in", true}, {"transfer", false}};
    for (const auto& [name, login] : cases) {
        SCOPED_TRACE(name);
        if (login)
            CNUVOptions::Instance()->ParseText("LOGINTIMEOUT=4294967\n");
        else
            m_Details.SetTransferTimeout(INT_MAX / 100);
        ServerInterface engine(&m_Details);
        bool active = false;
        int interval = 0;
        QTimer::singleShot(300, [&] {
            const QTimer* timer = engine.findChild<QTimer*>("inactivity");
            active = timer && timer->isActive();
            interval = timer ? timer->interval() : 0;
            engine.Abort();
        });
        const int result = login ? engine.TestConnection()
                                 : engine.GetFile("/software/comp.zip", Path(), false);
        EXPECT_EQ(ServerInterface::ABORTED, result);
        EXPECT_TRUE(active);
        EXPECT_EQ(CConnectionDetails::kMaxTimeout * 1000, interval);
    }
}

TEST_F(ServerInterfaceTest, CallFromInsideAWaitIsRefused)
{
    ServerInterface engine(&m_Details);
    int nested = -1;
    QObject::connect(&engine, &ServerInterface::ProgressReport, [&](QString, int, int, float) {
        if (nested == -1)
            nested = engine.GetFile("/software/comp.zip", Path(), true);
    });
    EXPECT_EQ(0, engine.GetFile("/software/distributions.txt", Path(), true));
    EXPECT_EQ(ServerInterface::TRANSFER_FAILED, nested);
    EXPECT_EQ(s_Fixture->text, engine.GetFileTextData());
}

// A transfer cut off half-way keeps what arrived; the next one asks for the rest only. Where
// the rest cannot be had (REST refused, a partial file longer than the file, a joined file
// that fails its digest) the file is fetched whole; a digest that a whole file fails removes it.
TEST_F(ServerInterfaceTest, ResumeContinuesAPartialFileOrFetchesItWhole)
{
    const std::string& archive = s_Fixture->archive;
    const std::string digest = FileSha256(s_Fixture->root.path().toStdString() + "/served/software/comp.zip");
    const std::string wrong(64, '0');
    const struct Case {
        const char* name;
        bool refuseRest;
        std::string part;   // left by an earlier transfer; "drop" cuts the first transfer instead
        std::string sha256;
        int result;
        std::string rest;   // the REST command the server sees, empty for none
        size_t sent;        // bytes of the last transfer
    } cases[] = {
        {"dropped, then resumed", false, "drop", digest, 0, "REST 500000", archive.size() - 500000},
        {"REST refused", true, archive.substr(0, 1000), "", 0, "REST 1000", archive.size()},
        {"part longer than the file", false, archive + "tail", "", 0, "", archive.size()},
        {"joined file fails its digest", false, "XX" + archive.substr(2, 998), digest, 0,
         "REST 1000", archive.size()},
        {"whole file fails its digest", false, "", wrong, ServerInterface::DIGEST_MISMATCH, "",
         archive.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string root = s_Fixture->root.path().toStdString() + "/served";
        CFtpServer server;
        CFtpServer::Options options;
        options.refuseRest = c.refuseRest;
        options.dropFile = "comp.zip";
        options.dropAfter = c.part == "drop" ? 500000 : 0;
        if (c.part != "drop")
            options.dropFile.clear();
        ASSERT_TRUE(server.Start(root, Path("ftp.log"), options));
        m_Details.SetServer(server.Address());
        ::unlink(Path("comp.zip").c_str());
        ServerInterface engine(&m_Details);
        if (c.part == "drop") {
            EXPECT_EQ(ServerInterface::TRANSFER_FAILED,
                      engine.GetFile("/software/comp.zip", Path(), false, c.sha256));
            EXPECT_TRUE(archive.substr(0, 500000) == ReadFile(Path("comp.zip.part")));
            server.ClearLog();
        } else {
            WriteFile(Path("comp.zip.part"), c.part);
        }

        EXPECT_EQ(c.result, engine.GetFile("/software/comp.zip", Path(), false, c.sha256))
            << engine.GetFailureReason();
        EXPECT_TRUE((c.result == 0 ? archive : std::string()) == ReadFile(Path("comp.zip")));
        EXPECT_FALSE(Exists(Path("comp.zip.part")));
        const std::vector<std::string> log = server.Commands();
        EXPECT_EQ(c.rest.empty() ? 0 : 1, server.Count("REST"));
        if (!c.rest.empty()) {
            EXPECT_NE(log.end(), std::find(log.begin(), log.end(), c.rest));
        }
        EXPECT_EQ("SENT comp.zip " + std::to_string(c.sent), log.empty() ? "" : log.back());
        EXPECT_EQ(c.sha256.empty() ? "" : digest, engine.GetReceivedDigest());
    }
}

}  // namespace
