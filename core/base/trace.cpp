#include "core/base/trace.h"

#include "core/base/textutil.h"

#include <QTime>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kTraceBuffer = 1024;
const char kDebugTraceFile[] = "NUVdebugtrace.txt";
const char kNetTraceFile[] = "FTPLog.txt";

struct TraceState {
    std::mutex mutex;
    // Read before the mutex is taken (an off trace builds nothing), so they must be safe to
    // read while another thread switches them.
    std::atomic<bool> debugOn{false};
    std::atomic<bool> netOn{false};
    FILE* netFile = nullptr;
};

TraceState& State()
{
    static TraceState state;
    return state;
}

// Qt 4's "z" gave milliseconds without leading zeros; Qt 6's does not, so it is built here.
std::string TimeStamp()
{
    const QTime now = QTime::currentTime();
    return Format(32, "%02d:%02d:%02d.%d", now.hour(), now.minute(), now.second(), now.msec());
}

// The traces carry log-in details: only the owner may read them (a file left open to all by
// an earlier version is tightened too), and a link planted under their name is refused
// rather than followed.
FILE* OpenTraceFile(const char* name, bool truncate)
{
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW |
                                    (truncate ? O_TRUNC : O_APPEND),
                          0600);
    if (fd < 0)
        return nullptr;
    (void)::fchmod(fd, 0600);
    FILE* file = ::fdopen(fd, truncate ? "w" : "a");
    if (!file)
        ::close(fd);
    return file;
}

void WriteLine(FILE* file, const std::string& message)
{
    std::fprintf(file, "[%s]:%s\n", TimeStamp().c_str(), message.c_str());
    std::fflush(file);
}

void WriteDebugLine(const std::string& message)
{
    TraceState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.debugOn)
        return;
    FILE* file = OpenTraceFile(kDebugTraceFile, false);
    if (!file)
        return;
    WriteLine(file, message);
    std::fclose(file);
}

}  // namespace

void Trace(const char* format, ...)
{
    if (!State().debugOn)
        return;
    va_list args;
    va_start(args, format);
    const std::string message = FormatV(kTraceBuffer, format, args);
    va_end(args);
    WriteDebugLine(message);
}

void NetTrace(const char* format, ...)
{
    TraceState& state = State();
    if (!state.netOn)
        return;
    if (!state.netFile)
        state.netFile = OpenTraceFile(kNetTraceFile, true);
    if (!state.netFile)
        return;
    va_list args;
    va_start(args, format);
    const std::string message = FormatV(kTraceBuffer, format, args);
    va_end(args);
    WriteLine(state.netFile, message);
}

void EnterScope(const char* name)
{
    if (State().debugOn)
        WriteDebugLine(std::string("ENTER >>>") + name);
}

void ExitScope(const char* name)
{
    if (State().debugOn)
        WriteDebugLine(std::string("EXIT <<<") + name);
}

void DebugTraceOn()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().debugOn = true;
}

void DebugTraceOff()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().debugOn = false;
}

bool IsDebugTraceOn() { return State().debugOn; }

void DebugTraceReset()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    if (!State().debugOn)
        return;
    if (FILE* file = OpenTraceFile(kDebugTraceFile, true))
        std::fclose(file);
}

void DebugTraceClose()
{
    // Lines are written with their own open and close; nothing stays open between them.
}

void NetTraceOn(bool on) { State().netOn = on; }

bool IsNetTraceOn() { return State().netOn; }

void NetTraceClose()
{
    TraceState& state = State();
    if (state.netFile)
        std::fclose(state.netFile);
    state.netFile = nullptr;
}
