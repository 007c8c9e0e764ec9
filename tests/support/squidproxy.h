#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <string>

#include "support/testsupport.h"

namespace testsupport {

/// A real squid on a free loopback port that demands NTLM proxy authentication through its
/// ntlm_fake_auth helper (which accepts any user) and fetches ftp:// URLs for its clients.
/// Runs in the foreground with its configuration, logs and pid file in a folder of its own;
/// stopped by process id when the object goes.
class CSquidProxy {
public:
    CSquidProxy() = default;
    ~CSquidProxy();
    CSquidProxy(const CSquidProxy&) = delete;
    CSquidProxy& operator=(const CSquidProxy&) = delete;

    /// Starts squid and waits until it accepts connections (30 s at most). A refused user
    /// (as ntlm_fake_auth reports it, without domain) is denied with a new authentication
    /// demand, as a proxy does with credentials it does not accept.
    bool Start(const std::string& refusedUser = "refused");
    void Stop();

    int Port() const { return m_Port; }
    /// squid's access log: one line per request it handled, "client-port status user URL"
    /// (user "-" before authentication), so requests on one connection share the port.
    std::string AccessLog() const;
    std::string AccessLogPath() const;
    /// What squid wrote to its standard error (its cache log), for failure messages.
    std::string Diagnostics();

private:
    QTemporaryDir m_Dir;
    QProcess m_Process;
    std::string m_Output;
    int m_Port = 0;
};

}  // namespace testsupport
