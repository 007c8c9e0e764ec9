#include "core/packagefiles/deltapackagezipper.h"

#include "core/base/fileutils.h"
#include "core/base/processbox.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"
#include "core/packagefiles/packagefilearchive.h"

namespace {

// Files and folders below folder: what "zip -r" adds, for its progress.
int CountEntries(const std::string& folder)
{
    int count = 0;
    for (const std::string& name : ListEntries(folder)) {
        const std::string path = JoinPath(folder, name);
        count += 1 + (IsFolder(path) && !IsLink(path) ? CountEntries(path) : 0);
    }
    return count;
}

}  // namespace

CDeltaPackageZipper::CDeltaPackageZipper(const std::string& deltaFilePath)
    : m_DeltaFilePath(deltaFilePath)
{
}

int CDeltaPackageZipper::CreateZipFile()
{
    CTraceScope scope("NUV_ERROR CDeltaPackageZipper::CreateZipFile()");
    // The zip program would add to an older file instead of replacing it.
    if (int result = RemoveFile(m_DeltaFilePath);
        result != rc::Success && result != rc::FileDoesNotExist)
        Trace("Cannot remove %s: %d", m_DeltaFilePath.c_str(), result);

    const std::string workingDir = WorkingDirectory();
    const std::string runPath = JoinPath(workingDir, "delta");
    const std::string appPath = JoinPath(JoinPath(workingDir, "zip"), "zip");
    const std::string target = JoinPath("..", m_DeltaFilePath);
    Trace("CurDir %s", workingDir.c_str());
    Trace("ProcessRunPath: %s", runPath.c_str());
    Trace("ProcessAppPath: %s", appPath.c_str());
    Trace("DeltaFilePath: %s", target.c_str());

    // The runner finds the zip program in the "zip" folder first, then on the search path.
    CProcessBox box(runPath, "zip", {target, "-r", "./"}, false);
    const int result = RunWithEntryProgress(box, CountEntries(runPath), "Creating " + m_DeltaFilePath);
    Trace("zip of %s ended with %d", m_DeltaFilePath.c_str(), result);
    return rc::Success;
}
