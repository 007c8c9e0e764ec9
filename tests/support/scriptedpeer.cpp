#include "support/scriptedpeer.h"

#include "core/base/textutil.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

CScriptedPeer::CScriptedPeer(Script script) : m_Script(std::move(script))
{
    m_Listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_Listener < 0 ||
        ::bind(m_Listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_Listener, 8) != 0 ||
        ::getsockname(m_Listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_Port = ntohs(address.sin_port);
    m_Thread = std::thread([this] { Serve(); });
}

CScriptedPeer::~CScriptedPeer()
{
    m_Stop = true;
    if (m_Thread.joinable())
        m_Thread.join();
    if (m_Listener >= 0)
        ::close(m_Listener);
}

std::vector<CScriptedPeer::Request> CScriptedPeer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Requests;
}

void CScriptedPeer::Serve()
{
    int connection = 0;
    while (!m_Stop) {
        pollfd waiting{m_Listener, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0)
            continue;   // a short poll so that the destructor is never kept waiting
        const int fd = ::accept(m_Listener, nullptr, nullptr);
        if (fd >= 0)
            ServeConnection(fd, ++connection);
    }
}

void CScriptedPeer::ServeConnection(int fd, int connection)
{
    std::string buffer;
    while (!m_Stop) {
        const size_t end = buffer.find("\r\n\r\n");
        if (end != std::string::npos) {
            Request request{connection, buffer.substr(0, end + 4)};
            buffer.erase(0, end + 4);
            int index = 0;
            {
                std::lock_guard<std::mutex> lock(m_Mutex);
                index = int(m_Requests.size());
                m_Requests.push_back(request);
            }
            std::string answer = m_Script(request, index);
            const std::string marker = kThenClose;
            const bool close = answer.size() >= marker.size() &&
                               answer.compare(answer.size() - marker.size(), marker.size(),
                                              marker) == 0;
            if (close)
                answer.erase(answer.size() - marker.size());
            if (answer.empty() || ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL) < 0 ||
                close)
                break;
            continue;
        }
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        buffer.append(chunk, size_t(n));
    }
    ::close(fd);
}

std::string HeaderValue(const std::string& request, const std::string& key)
{
    for (const std::string& line : SplitLines(request)) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && ToLower(line.substr(0, colon)) == ToLower(key))
            return TrimSpaces(line.substr(colon + 1));
    }
    return std::string();
}

std::vector<std::string> HeaderKeys(const std::string& request)
{
    std::vector<std::string> keys;
    const std::vector<std::string> lines = SplitLines(request);
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t colon = lines[i].find(':');
        if (colon != std::string::npos)
            keys.push_back(lines[i].substr(0, colon));
    }
    return keys;
}

}  // namespace testsupport
