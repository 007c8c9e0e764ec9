#include "core/base/processbox.h"

#include "core/base/fileutils.h"
#include "core/base/outputmodule.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kStartWait = 30000;
// How long a child asked to terminate gets before it is killed, and then to be reaped.
constexpr int kTerminateGrace = 3000;

bool IsExecutableFile(const std::string& path)
{
    return IsRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

// A set-up or service script shipped without its execute bit still runs, through the shell.
bool IsReadableScript(const std::string& path)
{
    return IsRegularFile(path) && ::access(path.c_str(), X_OK) != 0 &&
           ::access(path.c_str(), R_OK) == 0;
}

QString ToQt(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

struct Command {
    std::string program;
    std::vector<std::string> arguments;
};

// The program as the child is started: a relative path made absolute against the tool's own
// folder (the child's working directory differs), a bare name searched for, a script without
// execute bit handed to /bin/sh.
Command ResolveCommand(const std::string& executable, const std::vector<std::string>& arguments)
{
    std::string program = executable;
    if (program.find('/') == std::string::npos) {
        const std::string found = CProcessBox::FindProgram(program);
        if (!found.empty())
            program = found;
    } else if (program[0] != '/') {
        program = JoinPath(WorkingDirectory(), program);
    }
    if (!IsReadableScript(program))
        return {program, arguments};
    Command command{"/bin/sh", {program}};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    return command;
}

}  // namespace

CProcessBox::CProcessBox(const std::string& workingDir, const std::string& executable,
                         bool echoOutput)
    : m_WorkingDir(workingDir), m_Executable(executable), m_EchoOutput(echoOutput)
{
}

CProcessBox::CProcessBox(const std::string& workingDir, const std::string& executable,
                         const std::vector<std::string>& arguments, bool echoOutput)
    : m_WorkingDir(workingDir), m_Executable(executable), m_Arguments(arguments),
      m_EchoOutput(echoOutput)
{
}

CProcessBox::~CProcessBox() = default;

void CProcessBox::AddArgument(const std::string& argument) { m_Arguments.push_back(argument); }

void CProcessBox::SetTimeout(int milliseconds) { m_ProcessTimeout = milliseconds; }

std::string CProcessBox::FindProgram(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return std::string();
    const std::string workingDir = WorkingDirectory();
    // The "zip" folder holds the tool's own zip and unzip; nothing else is taken from it.
    std::vector<std::string> candidates;
    if (name == "zip" || name == "unzip")
        candidates.push_back(JoinPath(JoinPath(workingDir, "zip"), name));
    candidates.push_back(JoinPath(workingDir, name));
    for (const std::string& candidate : candidates) {
        if (IsExecutableFile(candidate))
            return candidate;
    }
    const char* path = std::getenv("PATH");
    if (!path)
        return std::string();
    for (const std::string& folder : SplitFields(path, ':')) {
        const std::string candidate = JoinPath(folder, name);
        if (IsExecutableFile(candidate))
            return candidate;
    }
    return std::string();
}

int CProcessBox::Start(bool wait)
{
    CTraceScope scope("CProcessBox::Start");
    (void)wait;   // every caller waits; the runner has no detached mode
    m_pProcess = std::make_unique<QProcess>();
    connect(m_pProcess.get(), &QProcess::readyReadStandardOutput, this,
            &CProcessBox::SLOTReadSTDOutput);
    const int result = Run();
    disconnect(m_pProcess.get(), &QProcess::readyReadStandardOutput, this,
               &CProcessBox::SLOTReadSTDOutput);
    // Standard error is never shown to the user, but support wants it in the trace.
    if (m_pProcess->isOpen()) {
        const QByteArray errors = m_pProcess->readAllStandardError();
        if (!errors.isEmpty())
            Trace("Standard error: %s", errors.constData());
    }
    m_pProcess.reset();
    return result;
}

int CProcessBox::Run()
{
    if (m_WorkingDir.empty())
        return rc::ProcessPathNotSet;
    m_pProcess->setWorkingDirectory(ToQt(m_WorkingDir));
    if (m_Executable.empty())
        return rc::ExecutablePathNotSet;
    Trace("Executable: %s", ("\"" + m_Executable + "\"").c_str());
    for (const std::string& argument : m_Arguments)
        Trace("Args: %s", argument.c_str());

    const Command command = ResolveCommand(m_Executable, m_Arguments);
    if (command.program != m_Executable)
        Trace("Program: %s", command.program.c_str());
    QStringList arguments;
    for (const std::string& argument : command.arguments)
        arguments << ToQt(argument);
    // The child must never wait for input nobody will type.
    m_pProcess->setStandardInputFile(QProcess::nullDevice());
    m_pProcess->start(ToQt(command.program), arguments);
    // A program that cannot be executed is reported at once through the start pipe, so this
    // waits the full time only for a child that hangs in starting.
    if (!m_pProcess->waitForStarted(kStartWait)) {
        Trace("Process never started");
        return rc::ChildFailedToStart;
    }

    Trace("Start m_pProcess : m_ProcessTimeout: %d", m_ProcessTimeout);
    const bool finished = WaitForChild();
    if (!finished) {
        Trace("5 min timeout");
        StopChild();
        return rc::ProcessTimedOut;
    }
    Trace("End m_pProcess : m_ProcessTimeout: %d", m_ProcessTimeout);
    SLOTReadSTDOutput();   // whatever arrived with the end of the child
    WatchLines(QByteArray(), true);
    if (m_pProcess->exitStatus() == QProcess::CrashExit) {
        Trace("Process ended by a signal");
        return rc::ProcessFailed;
    }
    const int exitCode = m_pProcess->exitCode();
    if (exitCode != 0) {
        Trace("Process Exitcode %d", exitCode);
        return rc::ProcessFailed;
    }
    return rc::Success;
}

bool CProcessBox::WaitForChild()
{
    if (!QCoreApplication::instance()) {
        // Without an application object there is no event loop to spin; output still
        // arrives through the slot while the process object waits.
        const bool finished = m_pProcess->waitForFinished(m_ProcessTimeout);
        Trace("TimeoutTimer.isActive():%d  m_ProcessTimeout:%d", finished ? 1 : 0,
              m_ProcessTimeout);
        return finished;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(m_pProcess.get(), &QProcess::finished, &loop, &QEventLoop::quit);
    if (m_ProcessTimeout != -1) {
        Trace("Start process timeout : %d", m_ProcessTimeout);
        timer.start(m_ProcessTimeout);
    }
    // The child may already be gone; its finished signal would then have been missed.
    if (m_pProcess->state() != QProcess::NotRunning)
        loop.exec();
    disconnect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    disconnect(m_pProcess.get(), &QProcess::finished, &loop, &QEventLoop::quit);
    Trace("TimeoutTimer.isActive():%d  m_ProcessTimeout:%d", timer.isActive() ? 1 : 0,
          m_ProcessTimeout);
    // The loop can also end because the application is quitting; a child still running then
    // is stopped like one that ran out of time rather than reported as a success.
    const bool running = m_pProcess->state() != QProcess::NotRunning;
    timer.stop();
    return !running;
}

void CProcessBox::StopChild()
{
    m_pProcess->terminate();
    if (m_pProcess->waitForFinished(kTerminateGrace))
        return;
    Trace("Child ignored the request to terminate; killing it");
    m_pProcess->kill();
    (void)m_pProcess->waitForFinished(kTerminateGrace);   // the destructor reaps it otherwise
}

void CProcessBox::WatchLines(const QByteArray& data, bool ended)
{
    if (!m_LineWatcher)
        return;
    m_PartialLine.append(data.constData(), size_t(data.size()));
    size_t start = 0;
    for (size_t end = m_PartialLine.find('\n'); end != std::string::npos;
         end = m_PartialLine.find('\n', start)) {
        std::string line = m_PartialLine.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_LineWatcher(line);
        start = end + 1;
    }
    m_PartialLine.erase(0, start);
    if (ended && !m_PartialLine.empty()) {
        m_LineWatcher(m_PartialLine);
        m_PartialLine.clear();
    }
}

void CProcessBox::SLOTReadSTDOutput()
{
    if (!m_pProcess)
        return;
    // Always read, so a child with much to say never blocks on a full pipe.
    const QByteArray data = m_pProcess->readAllStandardOutput();
    if (m_pCapture)
        m_pCapture->append(data.constData(), size_t(data.size()));
    WatchLines(data, false);
    if (!m_EchoOutput)
        return;
    NUVOutputModule* module = GetOutputModule();
    if (!module)
        return;
    const std::string text(data.constData(), qstrnlen(data.constData(), uint(data.size())));
    // The module's buffer holds 4095 characters; longer output is shown in pieces rather
    // than cut.
    const size_t piece = NUVOutputModule::kBufferSize - 1;
    for (size_t at = 0; at < text.size(); at += piece)
        module->Display("%s", text.substr(at, piece).c_str());
}
