#pragma once

#include "core/base/outputmodule.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

/// A fresh temporary folder made the current directory for one test; the previous directory
/// is restored and the folder removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    /// Absolute path below the temporary folder.
    std::string Path(const std::string& relative = std::string()) const;

    QTemporaryDir m_Dir;
    std::string m_PreviousDir;
};

/// A TempDirTest with the debug trace switched on and emptied, so tests can check trace lines.
class TracedTempDirTest : public TempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;
    /// The debug trace written so far.
    std::string TraceText() const;
};

/// Collects everything the core displays; registered with the facade while it lives.
class CaptureOutputModule : public NUVOutputModule {
public:
    CaptureOutputModule();
    ~CaptureOutputModule() override;
    std::string m_Text;

protected:
    void DisplayText(const std::string& text) override { m_Text += text; }
};

/// Writes content to path (folders created), failing the test on error.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// Runs a program with arguments in workingDir, feeding input on standard input (closed
/// afterwards), and waits up to timeoutMs.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workingDir, const std::string& input = std::string(),
                      int timeoutMs = 60000);

/// NUV_CMD of this build, run in workingDir. Fails the test when the exit code is not in the
/// exit-code table of the documents.
ProgramRun RunNuvCmd(const std::vector<std::string>& args, const std::string& workingDir,
                     const std::string& input = std::string());

/// A loopback TCP port that was free a moment ago (nothing listens on it).
int FreeLoopbackPort();

/// Writes workingDir/packages/Details.data naming the first generic log-in and a loopback
/// port nobody listens on, so start-up decides "off-line" at once without leaving the machine.
void WriteUnreachableServerDetails(const std::string& workingDir);

/// Writes workingDir/packages/Details.data for the given server and log-in, and optionally a
/// proxy with its log-in (domain empty, transfer time-out 15 s).
void WriteServerDetails(const std::string& workingDir, const std::string& server,
                        const std::string& user, const std::string& password,
                        const std::string& proxy = std::string(), int proxyPort = 80,
                        const std::string& proxyUser = std::string(),
                        const std::string& proxyPassword = std::string());

}  // namespace testsupport
