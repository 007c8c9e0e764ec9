#include "cmd/signalguard.h"

#include "core/base/runstate.h"
#include "core/base/trace.h"
#include "core/nuvfunctions.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the handler may touch: the pipe's write end and the run state's flag.
int g_PipeRead = -1;
int g_PipeWrite = -1;
volatile std::sig_atomic_t* g_Interrupted = nullptr;

extern "C" void OnTerminatingSignal(int signal)
{
    if (*g_Interrupted) {
        // Asked twice: the user wants out now.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    *g_Interrupted = signal;
    const int saved = errno;
    const char byte = char(signal);
    (void)!::write(g_PipeWrite, &byte, 1);
    errno = saved;
}

}  // namespace

CSignalGuard::CSignalGuard()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        Trace("No pipe for the signal guard: signals end the program at once");
        return;
    }
    g_PipeRead = fds[0];
    g_PipeWrite = fds[1];
    g_Interrupted = &CRunState::Instance().m_Interrupted;
    m_Notifier = std::make_unique<QSocketNotifier>(g_PipeRead, QSocketNotifier::Read);
    connect(m_Notifier.get(), &QSocketNotifier::activated, this, &CSignalGuard::OnSignal);
    struct sigaction action = {};
    action.sa_handler = OnTerminatingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;   // the core's calls need not expect EINTR
    for (int signal : kSignals)
        (void)::sigaction(signal, &action, nullptr);
}

CSignalGuard::~CSignalGuard()
{
    if (g_PipeRead < 0)
        return;
    for (int signal : kSignals)
        (void)::signal(signal, SIG_DFL);
    m_Notifier.reset();
    ::close(g_PipeRead);
    ::close(g_PipeWrite);
    g_PipeRead = g_PipeWrite = -1;
}

int CSignalGuard::Received() { return int(CRunState::Instance().m_Interrupted); }

std::string CSignalGuard::Message(int signal)
{
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM"
                       : signal == SIGHUP ? "SIGHUP" : "a signal";
    return std::string("\nInterrupted by ") + name +
           ": the running step was ended and what had finished is recorded. Run the command "
           "again to complete it.\n";
}

void CSignalGuard::OnSignal()
{
    char bytes[16];
    while (::read(g_PipeRead, bytes, sizeof bytes) > 0) {
    }
    Trace("Signal %d received: ending the run", int(CRunState::Instance().m_Interrupted));
    CNUVFunctions::Instance()->Interrupt();
}
