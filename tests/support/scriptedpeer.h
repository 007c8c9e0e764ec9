#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

/// A scripted HTTP peer on a free loopback port, served by a thread of its own so that the
/// code under test can block in its event loop meanwhile. Each request (read up to its
/// blank line) is recorded with the number of the connection it came on, and answered with
/// what the script returns for it; an empty answer closes the connection without a reply.
class CScriptedPeer {
public:
    struct Request {
        int connection = 0;   // 1 for the first accepted connection, and so on
        std::string text;     // request line and header lines, CR LF kept
    };
    /// An answer that ends with this marker is sent without it and the connection closed.
    static constexpr const char* kThenClose = "<then close>";
    /// Gets the request and the number of requests before it; returns the raw answer.
    using Script = std::function<std::string(const Request& request, int index)>;

    explicit CScriptedPeer(Script script);
    ~CScriptedPeer();
    CScriptedPeer(const CScriptedPeer&) = delete;
    CScriptedPeer& operator=(const CScriptedPeer&) = delete;

    int Port() const { return m_Port; }
    std::vector<Request> Requests() const;

private:
    void Serve();
    void ServeConnection(int fd, int connection);

    Script m_Script;
    int m_Listener = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    mutable std::mutex m_Mutex;
    std::vector<Request> m_Requests;
    std::thread m_Thread;
};

/// The value of a header line ("Key: value") in a recorded request; keys ignore case.
std::string HeaderValue(const std::string& request, const std::string& key);
/// The header keys of a recorded request, in order.
std::vector<std::string> HeaderKeys(const std::string& request);

}  // namespace testsupport
