#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

/// Turns SIGINT, SIGTERM and SIGHUP into an orderly end of the run. The handler only records
/// the signal in the run state and writes its number to a pipe; the pipe's notifier, running
/// in whichever event loop is spinning (a transfer's, a child's), asks the core to end the
/// running transfer and stop its batch, so that what finished is recorded and the program can
/// say why it ended. A second signal ends the process the default way. One per process.
class CSignalGuard : public QObject {
    Q_OBJECT
public:
    CSignalGuard();
    ~CSignalGuard() override;
    CSignalGuard(const CSignalGuard&) = delete;
    CSignalGuard& operator=(const CSignalGuard&) = delete;

    /// The number of the first signal received, 0 while none came.
    static int Received();
    /// The line NUV_CMD prints before it ends after signal.
    static std::string Message(int signal);

private:
    void OnSignal();

    std::unique_ptr<QSocketNotifier> m_Notifier;
};
