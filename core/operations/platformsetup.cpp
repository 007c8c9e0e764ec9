// The platform's set-up program and service scripts, run for a distribution.

#include "core/catalogue/distribution.h"
#include "core/base/fileutils.h"
#include "core/base/processbox.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <cstdio>

namespace {

const char kRootWord[] = "$TESSOM_ROOT";
const char kSetupProgram[] = "r5install";

struct ServiceProgram {
    std::string workingDir;
    std::string program;
};

/// The service script P below root: its own folder is the working directory. Names written
/// on a system that ignores case are found as they lie on disk.
ServiceProgram LocateServiceProgram(const std::string& root, const std::string& script)
{
    const size_t slash = script.rfind('/');
    ServiceProgram where{root, JoinPath(root, script)};
    if (slash != std::string::npos) {
        where.workingDir = JoinPath(root, script.substr(0, slash));
        where.program = JoinPath(where.workingDir, script.substr(slash + 1));
    }
    const std::string found = FindPathIgnoringCase(where.program);
    if (found.empty() || found == where.program)
        return where;
    if (slash != std::string::npos)
        where.workingDir = DirName(found);
    where.program = found;
    return where;
}

/// A program below root named in a set-up line: the exact name first, else the one name that
/// differs only in case; quotes around the word are dropped.
std::string SetupProgramPath(const std::string& root, const std::string& word)
{
    const std::string path = JoinPath(root, WithoutQuotes(word));
    const std::string found = FindPathIgnoringCase(path);
    return found.empty() ? path : found;
}

std::string ReplaceRoot(const std::string& word, const std::string& root)
{
    return word == kRootWord ? root : word;
}

int RunSetupChild(const std::string& root, const std::string& program,
                  const std::vector<std::string>& arguments, int timeout)
{
    CProcessBox box(root, program, arguments, true);
    box.SetTimeout(timeout);
    return box.Start(true);
}

bool CanRead(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

}  // namespace

int CDistribution::StopServices()
{
    CTraceScope scope("CDistribution::StopServices()");
    if (m_Stop.empty())
        return rc::Success;
    m_Stop = ToNativeSeparators(m_Stop);
    const ServiceProgram where = LocateServiceProgram(m_TessomRoot, m_Stop);
    Trace("ProcessRunPath = %s\nProcessAppPath= %s", where.workingDir.c_str(), where.program.c_str());
    CProcessBox box(where.workingDir, where.program, true);
    return box.Start(true);
}

int CDistribution::StartServices()
{
    CTraceScope scope("CDistribution::StartServices()");
    if (m_Start.empty())
        return rc::Success;
    m_Start = ToNativeSeparators(m_Start);
    const ServiceProgram where = LocateServiceProgram(m_TessomRoot, m_Start);
    if (!CanRead(where.program))
        return rc::NoStopServiceScript;
    CProcessBox box(where.workingDir, where.program, true);
    return box.Start(true);
}

int CDistribution::DoR5Setup(bool upgrade)
{
    CTraceScope scope("CDistribution::DoR5Setup( bool Upgrade )");
    m_Setup = ToNativeSeparators(m_Setup);
    const std::vector<std::string> words = SplitFields(m_Setup, ' ');
    if (words.empty())
        return rc::NoCommandsSpecified;
    const std::string program = SetupProgramPath(m_TessomRoot, words[0]);
    std::vector<std::string> arguments;
    if (ToLower(words[0]) == kSetupProgram) {
        if (words.size() != 3)
            return rc::R5SetupSyntaxError;
        // Set-up programs of an old base know no upgrade: they get a normal set-up.
        if (upgrade && IsOldBase())
            upgrade = false;
        if (upgrade)
            arguments = {"-upgrade"};
        else
            arguments = {words[1], ReplaceRoot(words[2], m_TessomRoot)};
    } else {
        for (size_t i = 1; i < words.size(); ++i)
            arguments.push_back(ReplaceRoot(words[i], m_TessomRoot));
    }
    return RunSetupChild(m_TessomRoot, program, arguments, -1);
}

int CDistribution::DoR5Remove(bool stop)
{
    CTraceScope scope("CDistribution::DoR5Remove( bool Stop )");
    const std::vector<std::string> words = SplitFields(m_Remove, ' ');
    if (words.empty())
        return rc::NoCommandsSpecified;
    if (ToLower(words[0]) == kSetupProgram) {
        if (words.size() != 2)
            return rc::R5SetupSyntaxError;
        std::string action = words[1];
        if (!IsOldBase())
            action = stop ? "-stop" : "-total_uninstall";
        return RunSetupChild(m_TessomRoot, SetupProgramPath(m_TessomRoot, words[0]), {action},
                             CProcessBox::kDefaultTimeout);
    }
    std::vector<std::string> arguments;
    for (size_t i = 1; i < words.size(); ++i)
        arguments.push_back(ReplaceRoot(words[i], m_TessomRoot));
    return RunSetupChild(m_TessomRoot,
                         SetupProgramPath(m_TessomRoot, ToNativeSeparators(words[0])), arguments,
                         -1);
}
