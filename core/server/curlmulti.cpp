#include "core/server/curlmulti.h"

#include "core/base/trace.h"

#include <QSocketNotifier>

#include <algorithm>
#include <vector>

namespace {

// This libcurl can leave a transfer with no socket to watch: when an FTP passive-mode reply
// arrives at once it sets up the data connection but starts it only on its next run, and it
// does not report a data connection that is still being made. Only its own time-out (up to
// 200 ms later) would wake it then. While running transfers have no socket watched, curl is
// therefore run again after 0, 1, 2, 4 ... ms (at most kMaxKickMs), which on a loopback or
// local network finds the connection made within a millisecond or two. The heartbeat guards
// against any other gap; it is slow, so a long transfer is not woken for nothing.
constexpr int kMaxKickMs = 64;
constexpr int kHeartbeatMs = 1000;
// curl still polls the sockets it did not report when asked to wait itself; a run that finds
// nothing watched first waits on them this long at most, so that a server's answer wakes the
// transfer at once (the loop stays responsive: the wait is short and ends with the answer).
constexpr int kIdleWaitMs = 5;

/// The two notifiers of one curl socket.
class CSocketWatch : public QObject {
public:
    CSocketWatch(curl_socket_t socket, QObject* parent)
        : QObject(parent), m_Read(qintptr(socket), QSocketNotifier::Read, this),
          m_Write(qintptr(socket), QSocketNotifier::Write, this)
    {
    }
    void Watch(int what)
    {
        m_Read.setEnabled(what == CURL_POLL_IN || what == CURL_POLL_INOUT);
        m_Write.setEnabled(what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
    }

    QSocketNotifier m_Read;
    QSocketNotifier m_Write;
};

}  // namespace

CCurlMulti::CCurlMulti(DoneHandler onDone) : m_OnDone(std::move(onDone))
{
    m_Multi = curl_multi_init();
    m_Timer.setSingleShot(true);
    QObject::connect(&m_Timer, &QTimer::timeout, this,
                     [this] { Act(CURL_SOCKET_TIMEOUT, 0); });
    m_Heartbeat.setInterval(kHeartbeatMs);
    QObject::connect(&m_Heartbeat, &QTimer::timeout, this, [this] { Heartbeat(); });
    m_Kick.setSingleShot(true);
    QObject::connect(&m_Kick, &QTimer::timeout, this, [this] {
        WaitForCurlSockets();
        Heartbeat();
    });
    if (!m_Multi)
        return;
    curl_multi_setopt(m_Multi, CURLMOPT_SOCKETFUNCTION, &CCurlMulti::OnSocket);
    curl_multi_setopt(m_Multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_Multi, CURLMOPT_TIMERFUNCTION, &CCurlMulti::OnTimer);
    curl_multi_setopt(m_Multi, CURLMOPT_TIMERDATA, this);
}

CCurlMulti::~CCurlMulti()
{
    m_Timer.stop();
    m_Heartbeat.stop();
    m_Kick.stop();
    if (m_Multi)
        curl_multi_cleanup(m_Multi);   // closes the cached connections
    m_OnDone = nullptr;
}

bool CCurlMulti::Add(CURL* easy)
{
    if (!m_Multi)
        return false;
    const CURLMcode code = curl_multi_add_handle(m_Multi, easy);
    if (code != CURLM_OK) {
        NetTrace("curl_multi_add_handle failed: %s", curl_multi_strerror(code));
        return false;
    }
    m_Transfers.insert(easy);
    m_Heartbeat.start();
    return true;   // curl asks for a zero time-out, which starts the transfer from the loop
}

void CCurlMulti::Remove(CURL* easy)
{
    if (!m_Multi || !easy)
        return;
    const CURLMcode code = curl_multi_remove_handle(m_Multi, easy);
    if (code != CURLM_OK) {
        NetTrace("curl_multi_remove_handle failed: %s", curl_multi_strerror(code));
        return;
    }
    m_Transfers.erase(easy);
    if (m_Transfers.empty()) {
        m_Heartbeat.stop();
        m_Kick.stop();
    }
}

void CCurlMulti::Heartbeat()
{
    if (!m_Multi || m_InCurl)
        return;
    int running = 0;
    m_InCurl = true;
    const CURLMcode code = curl_multi_perform(m_Multi, &running);
    m_InCurl = false;
    if (code != CURLM_OK)
        NetTrace("curl_multi_perform failed: %s", curl_multi_strerror(code));
    ReportFinished();
    KickIfIdle(running);
}

void CCurlMulti::WaitForCurlSockets()
{
    if (!m_Multi || m_InCurl)
        return;
    int ready = 0;
    m_InCurl = true;
    const CURLMcode code = curl_multi_wait(m_Multi, nullptr, 0, kIdleWaitMs, &ready);
    m_InCurl = false;
    if (code == CURLM_OK && ready > 0)
        m_KickMs = 0;   // an answer came: the next gap starts with short kicks again
}

int CCurlMulti::OnSocket(CURL*, curl_socket_t socket, int what, void* self, void* watch)
{
    static_cast<CCurlMulti*>(self)->UpdateWatch(socket, what, watch);
    return 0;
}

void CCurlMulti::UpdateWatch(curl_socket_t socket, int what, void* context)
{
    auto* watch = static_cast<CSocketWatch*>(context);
    if (what == CURL_POLL_REMOVE) {
        if (watch) {
            --m_Watched;
            // The removal may come from inside this watch's own notifier slot.
            watch->Watch(0);
            watch->deleteLater();   // curl forgets the socket's context itself
        }
        return;
    }
    if (!watch) {
        watch = new CSocketWatch(socket, this);   // owned by this object, freed on removal
        QObject::connect(&watch->m_Read, &QSocketNotifier::activated, this,
                         [this, socket] { Act(socket, CURL_CSELECT_IN); });
        QObject::connect(&watch->m_Write, &QSocketNotifier::activated, this,
                         [this, socket] { Act(socket, CURL_CSELECT_OUT); });
        curl_multi_assign(m_Multi, socket, watch);
        ++m_Watched;
    }
    watch->Watch(what);
}

int CCurlMulti::OnTimer(CURLM*, long timeoutMs, void* self)
{
    QTimer& timer = static_cast<CCurlMulti*>(self)->m_Timer;
    if (timeoutMs < 0)
        timer.stop();
    else
        timer.start(int(timeoutMs));   // a new value replaces the old one
    return 0;
}

void CCurlMulti::Act(curl_socket_t socket, int events)
{
    if (!m_Multi)
        return;
    if (m_InCurl) {
        // A slot run from inside curl spun an event loop; curl cannot be entered again.
        // The notifiers are level-triggered and the timer is restarted, so nothing is lost.
        if (socket == CURL_SOCKET_TIMEOUT)
            m_Timer.start(0);
        return;
    }
    int running = 0;
    m_InCurl = true;
    const CURLMcode code = curl_multi_socket_action(m_Multi, socket, events, &running);
    m_InCurl = false;
    if (code != CURLM_OK)
        NetTrace("curl_multi_socket_action failed: %s", curl_multi_strerror(code));
    ReportFinished();
    KickIfIdle(running);
}

void CCurlMulti::KickIfIdle(int running)
{
    if (running == 0 || m_Watched > 0) {
        m_KickMs = 0;
        return;
    }
    m_Kick.start(m_KickMs);
    m_KickMs = std::min(std::max(1, m_KickMs * 2), kMaxKickMs);
}

void CCurlMulti::ReportFinished()
{
    // Copy first: the handler may remove and add handles, which ends curl's message list.
    std::vector<std::pair<CURL*, CURLcode>> finished;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m_Multi, &left)) {
        if (message->msg == CURLMSG_DONE)
            finished.emplace_back(message->easy_handle, message->data.result);
    }
    for (const auto& [easy, result] : finished) {
        if (m_OnDone)
            m_OnDone(easy, result);
    }
}
