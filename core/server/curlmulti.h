#pragma once

#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <functional>
#include <unordered_set>

/// A curl multi handle driven by the Qt event loop of the calling thread: curl's sockets are
/// watched with socket notifiers and its time-outs with one single-shot timer, so transfers
/// progress whenever that thread runs an event loop. The handle keeps curl's connection
/// cache: a later transfer to the same peer reuses an open, logged-in connection.
/// Destroying the object closes every connection it holds.
class CCurlMulti : public QObject {
public:
    /// Called once per finished transfer with curl's result, outside any curl call, so it
    /// may remove, change and add the handle again.
    using DoneHandler = std::function<void(CURL* easy, CURLcode result)>;

    explicit CCurlMulti(DoneHandler onDone);
    ~CCurlMulti() override;
    CCurlMulti(const CCurlMulti&) = delete;
    CCurlMulti& operator=(const CCurlMulti&) = delete;

    /// Starts a transfer; the easy handle stays the caller's. False when curl refuses it.
    bool Add(CURL* easy);
    /// Stops a transfer that may still run (its connection is closed then) or forgets one
    /// that finished.
    void Remove(CURL* easy);

private:
    static int OnSocket(CURL* easy, curl_socket_t socket, int what, void* self, void* watch);
    static int OnTimer(CURLM* multi, long timeoutMs, void* self);
    void UpdateWatch(curl_socket_t socket, int what, void* watch);
    /// Lets curl act on a socket (or on its time-out) and reports finished transfers.
    void Act(curl_socket_t socket, int events);
    void ReportFinished();
    /// Runs every transfer once, whatever curl last asked to be woken for.
    void Heartbeat();
    /// While no socket is watched: waits briefly on the sockets curl polls itself.
    void WaitForCurlSockets();
    /// Schedules Heartbeat, sooner or later, while running transfers have no socket watched.
    void KickIfIdle(int running);

    CURLM* m_Multi = nullptr;
    QTimer m_Timer;
    QTimer m_Heartbeat;
    QTimer m_Kick;
    int m_Watched = 0;       // sockets curl asked to have watched
    int m_KickMs = 0;        // the delay of the next run while no socket is watched
    std::unordered_set<CURL*> m_Transfers;   // added and not yet removed
    DoneHandler m_OnDone;
    bool m_InCurl = false;
};
