#pragma once

#include <QProcess>

#include <string>
#include <vector>

namespace testsupport {

/// A real FTP server (pyftpdlib) on a free loopback port, serving one folder to one user and
/// logging every command it receives and, as "SENT <name> <bytes>", every file transfer.
/// Stopped by process id when the object goes.
class CFtpServer {
public:
    static constexpr const char* kUser = "tester";
    static constexpr const char* kPassword = "secret";

    struct Options {
        std::string stallFile;     // base name announced and never sent
        std::string trickleFile;   // base name sent in blocks with pauses
        int trickleBlocks = 8;
        int tricklePauseMs = 300;
        std::string dropFile;      // base name whose first transfer is cut off after dropAfter
        int dropAfter = 0;         // bytes
        bool refuseRest = false;   // REST is answered 502
    };

    CFtpServer() = default;
    ~CFtpServer();
    CFtpServer(const CFtpServer&) = delete;
    CFtpServer& operator=(const CFtpServer&) = delete;

    /// Serves root; logs to logFile. False when the server did not come up in 15 s.
    bool Start(const std::string& root, const std::string& logFile, const Options& options);
    bool Start(const std::string& root, const std::string& logFile)
    {
        return Start(root, logFile, Options());
    }
    void Stop();

    int Port() const { return m_Port; }
    /// "127.0.0.1:port", as a server name of the connection details.
    std::string Address() const;
    /// The command lines received so far, in order.
    std::vector<std::string> Commands() const;
    /// The commands that asked something of the server: Commands() without "QUIT" and without
    /// the "SENT" records. The server logs a session's QUIT and its last transfer record
    /// after it answered, so those of a session that ended before ClearLog() may come later.
    std::vector<std::string> Requests() const;
    /// How many received commands start with word (e.g. "USER", "RETR").
    int Count(const std::string& word) const;
    /// Forgets the commands received so far.
    void ClearLog() const;

private:
    QProcess m_Process;
    std::string m_LogFile;
    int m_Port = 0;
};

}  // namespace testsupport
