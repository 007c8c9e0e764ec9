#include "support/squidproxy.h"

#include "support/testsupport.h"

#include <QFile>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

const char kHelper[] = "/usr/lib/squid/ntlm_fake_auth";
const char kReady[] = "Accepting HTTP Socket connections";

bool CanConnect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

}  // namespace


CSquidProxy::~CSquidProxy() { Stop(); }

bool CSquidProxy::Start(const std::string& refusedUser)
{
    if (!m_Dir.isValid())
        return false;
    // squid drops root rights to its own user, which must still write its logs here.
    QFile::setPermissions(m_Dir.path(), QFileDevice::Permissions(0x7777));
    const std::string dir = m_Dir.path().toStdString();
    m_Port = FreeLoopbackPort();
    const std::string config =
        "http_port 127.0.0.1:" + std::to_string(m_Port) + "\n"
        "pid_filename " + dir + "/squid.pid\n"
        "cache_log " + dir + "/cache.log\n"
        "logformat nuv %>p %>Hs %un %ru\n"
        "access_log stdio:" + dir + "/access.log nuv\n"
        "cache_store_log none\n"
        "coredump_dir " + dir + "\n"
        "cache deny all\n"
        "visible_hostname nuv-test-proxy\n"
        "shutdown_lifetime 0 seconds\n"
        "pinger_enable off\n"
        "auth_param ntlm program " + kHelper + " -S\n"
        "auth_param ntlm children 2\n"
        "acl refused proxy_auth " + refusedUser + "\n"
        "acl authed proxy_auth REQUIRED\n"
        "http_access deny refused\n"
        "http_access allow authed\n"
        "http_access deny all\n";
    WriteFile(dir + "/squid.conf", config);
    m_Process.setProcessChannelMode(QProcess::MergedChannels);
    m_Process.start("squid", {"-N", "-d", "1", "-f", QString::fromStdString(dir + "/squid.conf")});
    if (!m_Process.waitForStarted(15000))
        return false;
    while (m_Output.find(kReady) == std::string::npos) {
        if (!m_Process.waitForReadyRead(30000))
            return false;
        m_Output += m_Process.readAll().toStdString();
    }
    // squid reports the port a moment before it accepts on it: try until it does, waiting on
    // squid's own output in between.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (CanConnect(m_Port))
            return true;
        if (m_Process.state() == QProcess::NotRunning)
            return false;
        if (m_Process.waitForReadyRead(100))
            m_Output += m_Process.readAll().toStdString();
    }
    return false;
}

void CSquidProxy::Stop()
{
    if (m_Process.state() == QProcess::NotRunning)
        return;
    m_Process.terminate();   // SIGTERM to this process id only; its helpers end with it
    if (!m_Process.waitForFinished(15000)) {
        m_Process.kill();
        m_Process.waitForFinished(5000);
    }
}

std::string CSquidProxy::AccessLog() const { return ReadFile(AccessLogPath()); }

std::string CSquidProxy::AccessLogPath() const
{
    return m_Dir.path().toStdString() + "/access.log";
}

std::string CSquidProxy::Diagnostics()
{
    m_Output += m_Process.readAll().toStdString();
    return m_Output;
}

}  // namespace testsupport
