#include "support/testsupport.h"
#include "cmd/exitcodes.h"

#include "core/nuvfunctions.h"
#include "core/base/trace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

void TempDirTest::SetUp()
{
    ASSERT_TRUE(m_Dir.isValid());
    m_PreviousDir = QDir::currentPath().toStdString();
    ASSERT_TRUE(QDir::setCurrent(m_Dir.path()));
}

void TempDirTest::TearDown() { QDir::setCurrent(QString::fromStdString(m_PreviousDir)); }

std::string TempDirTest::Path(const std::string& relative) const
{
    const std::string base = m_Dir.path().toStdString();
    return relative.empty() ? base : base + "/" + relative;
}

void TracedTempDirTest::SetUp()
{
    TempDirTest::SetUp();
    DebugTraceOn();
    DebugTraceReset();
}

void TracedTempDirTest::TearDown()
{
    DebugTraceOff();
    TempDirTest::TearDown();
}

std::string TracedTempDirTest::TraceText() const { return ReadFile(Path("NUVdebugtrace.txt")); }

CaptureOutputModule::CaptureOutputModule() { CNUVFunctions::Instance()->SetOutputModule(this); }

CaptureOutputModule::~CaptureOutputModule() { CNUVFunctions::Instance()->SetOutputModule(nullptr); }

void WriteFile(const std::string& path, const std::string& content)
{
    const QString qpath = QString::fromStdString(path);
    QDir().mkpath(QFileInfo(qpath).absolutePath());
    QFile file(qpath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path;
    ASSERT_EQ(qint64(content.size()), file.write(content.data(), qint64(content.size())));
}

std::string ReadFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::string();
    return file.readAll().toStdString();
}

bool Exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workingDir, const std::string& input, int timeoutMs)
{
    QProcess process;
    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromLocal8Bit(arg.c_str());
    process.setWorkingDirectory(QString::fromStdString(workingDir));
    process.start(QString::fromStdString(program), arguments);
    ProgramRun run;
    if (!process.waitForStarted(10000))
        return run;
    process.write(input.data(), qint64(input.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

ProgramRun RunNuvCmd(const std::vector<std::string>& args, const std::string& workingDir,
                     const std::string& input)
{
    ProgramRun run = RunProgram(NUV_CMD_PATH, args, workingDir, input);
    // Every run of the suite checks that the documented exit-code table knows its code.
    EXPECT_TRUE(run.exitCode < 0 || IsListedExitCode(run.exitCode))
        << "exit code " << run.exitCode << " is missing from the exit-code table";
    return run;
}

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

void WriteUnreachableServerDetails(const std::string& workingDir)
{
    WriteServerDetails(workingDir, "127.0.0.1:" + std::to_string(FreeLoopbackPort()), "genacct1",
                       "harbour");
}

void WriteServerDetails(const std::string& workingDir, const std::string& server,
                        const std::string& user, const std::string& password,
                        const std::string& proxy, int proxyPort, const std::string& proxyUser,
                        const std::string& proxyPassword)
{
    // Nine zero-filled 256-byte records: user, password, server, proxy server, proxy port,
    // proxy user, proxy password, proxy domain, transfer time-out.
    const std::string records[9] = {user, password, server, proxy, std::to_string(proxyPort),
                                    proxyUser, proxyPassword, "", "15"};
    std::string content;
    for (const std::string& record : records) {
        std::string block(256, '\0');
        block.replace(0, record.size(), record);
        content += block;
    }
    WriteFile(workingDir + "/packages/Details.data", content);
}

}  // namespace testsupport
