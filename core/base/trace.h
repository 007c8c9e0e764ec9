#pragma once

#include <cstdarg>

// Two diagnostic traces, both off at start. The debug trace ("NUVdebugtrace.txt") is opened
// per line under a process-wide mutex; the network trace ("FTPLog.txt") is truncated on its
// first line and kept open. Lines are "[hh:mm:ss.z]:message" with messages cut to 1023 bytes.
// Both files are relative to the working directory, readable by the owner only (they may
// hold log-in details) and never opened through a symbolic link.

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void NetTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// "ENTER >>>" + name; nothing is built when the debug trace is off.
void EnterScope(const char* name);
/// "EXIT <<<" + name.
void ExitScope(const char* name);

void DebugTraceOn();
/// Switches the debug trace off again (tests; the programs never do).
void DebugTraceOff();
bool IsDebugTraceOn();
/// Truncates the trace file when the trace is on.
void DebugTraceReset();
void DebugTraceClose();
void NetTraceOn(bool on);
bool IsNetTraceOn();
/// Closes the network trace file (the next line truncates it again); for tests and exit.
void NetTraceClose();

/// Writes the scope lines around a block.
class CTraceScope {
public:
    explicit CTraceScope(const char* name) : m_Name(name) { EnterScope(m_Name); }
    ~CTraceScope() { ExitScope(m_Name); }
    CTraceScope(const CTraceScope&) = delete;
    CTraceScope& operator=(const CTraceScope&) = delete;

private:
    const char* m_Name;
};
