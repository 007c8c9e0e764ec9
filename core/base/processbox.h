#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QByteArray;
class QProcess;

/// Runs one external program to completion: working directory, arguments, a time limit and,
/// when asked, the child's standard output echoed through the output module. The one way the
/// tool starts a program (unzip, zip, tar, set-up, services, script exec lines, archives).
class CProcessBox : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeout = 300000;

    CProcessBox(const std::string& workingDir, const std::string& executable, bool echoOutput);
    CProcessBox(const std::string& workingDir, const std::string& executable,
                const std::vector<std::string>& arguments, bool echoOutput);
    ~CProcessBox() override;

    void AddArgument(const std::string& argument);
    /// Milliseconds; -1 waits for ever.
    void SetTimeout(int milliseconds);
    /// Appends everything the child writes to standard output to *sink as well (not owned;
    /// must outlive Start).
    void CaptureOutput(std::string* sink) { m_pCapture = sink; }
    /// Hands each complete line the child writes to standard output (without its line end) to
    /// watcher as it arrives; a last line without line end is handed over when the child ends.
    void WatchOutputLines(std::function<void(const std::string& line)> watcher)
    {
        m_LineWatcher = std::move(watcher);
    }

    /// Runs the child and waits in a nested event loop (the caller's events keep flowing).
    /// The program path is taken unquoted: a relative path with "/" is taken against the
    /// tool's working directory, a bare name is looked up with FindProgram, and a readable
    /// file without execute permission runs as "/bin/sh FILE ARGS". Standard input is empty.
    /// 0; 42 no working directory; 43 no executable; 44 the child did not start (missing
    /// program: at once); 45 time limit reached (the child is terminated, then killed);
    /// 109 non-zero exit code or the child died from a signal.
    int Start(bool wait = true);

    /// A bare program name as the runner finds it: for "zip" and "unzip" the "zip" folder
    /// below the working directory first; then the working directory, then PATH; empty when
    /// none has an executable of that name.
    static std::string FindProgram(const std::string& name);

public Q_SLOTS:
    void SLOTReadSTDOutput();

private:
    /// The steps of Start between creating and deleting the process object.
    int Run();
    /// Spins the nested loop until the child ends or the time limit runs out; true when the
    /// child ended.
    bool WaitForChild();
    /// Passes the complete lines of data (and, at the end, the rest) to the line watcher.
    void WatchLines(const QByteArray& data, bool ended);
    /// SIGTERM, then SIGKILL when the child does not end in time; the child is reaped.
    void StopChild();

    std::string m_WorkingDir;
    std::string m_Executable;
    std::vector<std::string> m_Arguments;
    std::unique_ptr<QProcess> m_pProcess;
    int m_ProcessTimeout = kDefaultTimeout;
    bool m_EchoOutput = false;
    std::string* m_pCapture = nullptr;   // not owned
    std::function<void(const std::string& line)> m_LineWatcher;
    std::string m_PartialLine;   // output after the last line end, for the watcher
};
