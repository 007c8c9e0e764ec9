// Cache, extraction, installation and removal of one component version.

#include "core/catalogue/cache.h"
#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/distribution.h"
#include "core/base/outputmodule.h"
#include "core/base/runstate.h"
#include "core/operations/componentscriptparser.h"
#include "core/operations/filesync.h"
#include "core/base/fileutils.h"
#include "core/base/processbox.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <sys/stat.h>

namespace {

const char kInstallScope[] = "CComponent::Install()";
const char kInstallExitScope[] = "CComponent::Install()\n\n";
const char kFileList[] = "filelist";

bool IsScriptSuccess(int result) { return result == rc::Success || result == rc::NoScriptFile; }

/// Lists the archive's entries with program and listSwitch and refuses it (95, reason in
/// *why) when one of them would land outside runDir. A failed listing gives the runner's code.
int CheckArchiveEntries(const std::string& runDir, const std::string& program,
                        const std::string& listSwitch, const std::string& archive, int timeout,
                        std::string* why)
{
    std::string listing;
    CProcessBox box(runDir, program, false);
    box.AddArgument(listSwitch);
    box.AddArgument(archive);
    box.SetTimeout(timeout);
    box.CaptureOutput(&listing);
    const int listed = box.Start(true);
    if (listed != rc::Success)
        return listed;
    for (const std::string& entry : SplitLines(listing)) {
        if (!LeavesFolder(entry))
            continue;
        *why = "Archive " + archive + " holds " + entry + ", which lies outside the cache folder";
        Trace("%s", why->c_str());
        return rc::InvalidFile;
    }
    return rc::Success;
}

/// Undoes a failed installation: the installed version's removal, then exactly the files the
/// new file list copied (sync). Entries the copy never reached are left alone: what lies at
/// their place in the root belongs to someone else.
void RollBack(CComponent* component, CFileSync* sync)
{
    (void)component->Uninstall();
    const int removed = sync->RemovePlaced(component->InstallationFolder());
    if (removed != rc::Success)
        Trace("\tRemoving the new files failed %d", removed);
}

int InstallFailed(const CComponent& component, int result)
{
    Trace("\t%s Installation Failed (%d)", component.GetName().c_str(), result);
    ExitScope(kInstallExitScope);
    return result;
}

/// Removes the installed version's files before the new ones are copied.
int RemovePreviousVersion(CComponent* component)
{
    Trace("\tUninstall Previous Installed version");
    int result = component->RunUninstallScript();
    if (!IsScriptSuccess(result)) {
        Trace("\tRuning uninstall script failed %d", result);
    } else {
        CFileSync sync(component->ExtractionFolder());
        sync.SetUninstallListPath(JoinPath(component->InstalledInstallerFolder(), kFileList));
        result = sync.SyncFiles(component->InstallationFolder(), CFileSync::kUninstall);
        if (result != rc::Success) {
            component->SetLastError(sync.ErrorText());
            Trace("\tRuning uninstall SyncFiles failed %d", result);
        }
    }
    if (IsScriptSuccess(result))
        return rc::Success;
    Trace("\tInstall copy tree failed");
    return result;
}

/// The install script of the unpacked archive, looked for as the script runner does.
bool HasInstallScript(const CComponent& component)
{
    const std::string script =
        JoinPath(component.ArchiveInstallerFolder(), component.GetName() + "_install.scr");
    return !FindPathIgnoringCase(script).empty() ||
           !FindPathIgnoringCase(JoinPath(WorkingDirectory(), script)).empty();
}

/// The steps between extraction and clean-up; 0 when the new version is in place.
int InstallExtracted(CComponent* component)
{
    CComponentHolder* holder = component->GetHolder();
    if (holder && !holder->GetInstalledVersion().IsZero()) {
        const int removed = RemovePreviousVersion(component);
        if (removed != rc::Success)
            return removed;
    }

    CFileSync sync(component->ExtractionFolder());
    sync.SetInstallListPath(JoinPath(component->ArchiveInstallerFolder(), kFileList));
    // The unpacked archive goes once the component is in place; until then only its installer
    // folder and the install script (which is told where the archive lies) read it.
    if (!HasInstallScript(*component))
        sync.AllowMoving(component->ArchiveInstallerFolder());
    const int copied = sync.SyncFiles(component->InstallationFolder(), CFileSync::kInstall);
    if (copied != rc::Success) {
        component->SetLastError(sync.ErrorText());
        Trace("copying New Files failed %d", copied);
        RollBack(component, &sync);
        return copied;
    }

    const std::string installed = component->InstalledInstallerFolder();
    (void)MakeDirPath(installed);   // the copy below reports a folder that could not be made
    const int tree = CopyTree(component->ArchiveInstallerFolder() + "/", installed + "/");
    if (!IsScriptSuccess(tree)) {
        Trace("\tInstall copy tree failed %d", tree);
        // Without its installer folder the version could never be uninstalled: take the
        // copied files away again rather than leave them unrecorded.
        RollBack(component, &sync);
        return tree;
    }

    const int script = component->RunInstallScript();
    if (!IsScriptSuccess(script)) {
        Trace("\tRunning install script failed");
        RollBack(component, &sync);
        return script;
    }
    Trace("\tInstall almost completed");
    return rc::Success;
}

}  // namespace

std::string CComponent::ExtractionFolder() const
{
    return JoinPath(GetCacheFolder(m_Platform), m_Name);
}

std::string CComponent::ArchiveInstallerFolder() const
{
    const std::string path = JoinPath(JoinPath(ExtractionFolder(), "installer"), m_Name);
    const std::string found = FindPathIgnoringCase(path);
    return found.empty() ? path : found;
}

std::string CComponent::InstalledInstallerFolder() const
{
    return JoinPath(JoinPath(InstallationFolder(), "installer"), m_Name);
}

std::string CComponent::InstallationFolder() const
{
    return m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
}

int CComponent::DeleteFromCache()
{
    const std::string path = ArchivePath();
    if (path.empty())
        return rc::InvalidComponentFileName;   // no archive of ours could be named
    (void)RemoveFile(path + kPartialSuffix);   // a started download of it is no use either
    const int result = RemoveFile(path);
    if ((result == rc::Success || result == rc::FileDoesNotExist) && m_pHolder)
        m_pHolder->SetDownloadedVersion(CVersion());
    return result;
}

int CComponent::Extract()
{
    CTraceScope scope("CComponent::Extract()");
    Trace("m_Extention = %s", m_Extention.c_str());
    if (!IsSinglePathSegment(m_Name))
        return rc::ComponentNameInvalid;
    if (!HasArchive())
        return rc::InvalidComponentFileName;
    if (m_Extention == ".zip")
        return ExtractZIP();
    if (m_Extention == ".tgz")
        return ExtractTGZ();
    return ExtractWindows();
}

namespace {

/// Unpacks a component archive with an archive program in the cache folder after checking its
/// entries; why receives the reason of a refusal.
int UnpackArchive(const CComponent& component, const std::string& program,
                  const std::string& listSwitch, const std::string& extractSwitch, int timeout,
                  std::string* why)
{
    const std::string cacheFolder = JoinPath(WorkingDirectory(), GetCacheFolder(component.GetPlatform()));
    const std::string archive = JoinPath(cacheFolder, component.ArchiveName());
    (void)DeleteFileTree(component.ExtractionFolder());   // a missing folder is no error
    const std::string runDir = cacheFolder + "/";
    const std::string found = CProcessBox::FindProgram(program);
    Trace("Run Dir %s", runDir.c_str());
    Trace("ZipPath %s", (found.empty() ? program : found).c_str());
    Trace("FilePath %s", archive.c_str());
    int result = CheckArchiveEntries(runDir, program, listSwitch, archive, timeout, why);
    if (result == rc::Success) {
        CProcessBox box(runDir, program, false);
        box.AddArgument(extractSwitch);
        box.AddArgument(archive);
        box.SetTimeout(timeout);
        result = box.Start(true);
    }
    if (result != rc::Success)
        Trace("\tExtract failed %d", result);
    return result;
}

}  // namespace

int CComponent::ExtractZIP()
{
    CTraceScope scope("CComponent::ExtractZIP()");
    std::string why;
    const int result = UnpackArchive(*this, "unzip", "-Z1", "-o", m_ExtractTimeout, &why);
    if (!why.empty())
        SetLastError(why);
    return result;
}

int CComponent::ExtractTGZ()
{
    CTraceScope scope("CComponent::ExtractTGZ()");
    std::string why;
    const int result = UnpackArchive(*this, "tar", "-tzf", "-xzf", m_ExtractTimeout, &why);
    if (!why.empty())
        SetLastError(why);
    return result;
}

int CComponent::ExtractWindows()
{
    Trace("ExtractWindows");
    const std::string archive = ArchivePath();
    (void)DeleteFileTree(ExtractionFolder());
    // Archives arrive from the server without their execute bit.
    struct stat st;
    if (::stat(archive.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) == 0)
        (void)::chmod(archive.c_str(), (st.st_mode & 07777) | S_IXUSR);
    CProcessBox box(GetCacheFolder(m_Platform), archive, false);
    box.AddArgument("-o");
    box.SetTimeout(m_ExtractTimeout);
    return box.Start(true);
}

int CComponent::CleanUpExtraction()
{
    CTraceScope scope("CComponent::CleanUpExtraction()");
    const int result =
        IsSinglePathSegment(m_Name) ? DeleteFileTree(ExtractionFolder()) : rc::InvalidTreeName;
    if (result == rc::Success)
        return rc::Success;
    Trace("\tClean up Failed %d", result);
    return rc::DeletingTemporaryFilesFailed;
}

int CComponent::RunInstallScript()
{
    CComponentScriptParser parser(JoinPath(ArchiveInstallerFolder(), m_Name + "_install.scr"),
                                  InstallationFolder());
    (void)parser.AddVariable("TESSOM_ROOT=" + InstallationFolder());
    (void)parser.AddVariable("INSTALL_DIR=" + ExtractionFolder());
    return parser.Run();
}

int CComponent::RunUninstallScript()
{
    CComponentScriptParser parser(JoinPath(InstalledInstallerFolder(), m_Name + "_uninstall.scr"),
                                  InstallationFolder());
    (void)parser.AddVariable("TESSOM_ROOT=" + InstallationFolder());
    (void)parser.AddVariable("INSTALL_DIR=" + ExtractionFolder());
    return parser.Run();
}

int CComponent::Install()
{
    EnterScope(kInstallScope);
    SetLastError(std::string());   // a failure line must not show an earlier failure's text
    if (!m_Included)
        return InstallFailed(*this, rc::NotIncluded);
    // Without a root every path below would start at the file-system root.
    if (InstallationFolder().empty())
        return InstallFailed(*this, rc::RootEmpty);
    if (!IsSinglePathSegment(m_Name))
        return InstallFailed(*this, rc::ComponentNameInvalid);
    bool downloaded = false;   // and matched its digest while it arrived
    if (!IsInCache(true)) {
        if (CRunState::Instance().m_bOnline) {
            const int fetched = Download();   // otherwise the second cache check decides
            if (fetched == rc::ChecksumMismatch)
                return InstallFailed(*this, fetched);
            downloaded = fetched == rc::Success;
        } else {   // a name the catalogue left empty is shown as derived rather than blank
            NUVDisplay("Failed to find %s in the cache, working offline skipping download "
                       "attempt\n", (m_Package.empty() ? ArchiveName() : m_Package).c_str());
        }
    }
    if (!IsInCache(true))
        return InstallFailed(*this, rc::NotDownloaded);
    if (!downloaded) {
        const int verified = VerifyCachedArchive();
        if (verified != rc::Success)
            return InstallFailed(*this, verified);
    }

    int result = Extract();
    if (result == rc::ProcessTimedOut) {
        Trace("\tExtraction of %s timeout - retry", m_Package.c_str());
        result = Extract();
    }
    if (result == rc::Success)
        result = InstallExtracted(this);
    if (CleanUpExtraction() != rc::Success)
        Trace("\tClean Up Extraction failed");
    if (result != rc::Success)
        return InstallFailed(*this, result);
    if (m_pHolder)
        m_pHolder->SetInstalledVersion(m_Version);
    Trace("\t%s Installed", m_Name.c_str());
    ExitScope(kInstallExitScope);
    return rc::Success;
}

int CComponent::Uninstall()
{
    CTraceScope scope("CComponent::Uninstall()");
    Trace("Uninstalling %s", m_Name.c_str());
    if (InstallationFolder().empty())
        return rc::RootEmpty;
    if (!IsSinglePathSegment(m_Name))
        return rc::ComponentNameInvalid;
    int result = RunUninstallScript();
    if (!IsScriptSuccess(result)) {
        Trace("Running Uninstall Script failed");
        return result;
    }
    CFileSync sync(ExtractionFolder());
    sync.SetUninstallListPath(JoinPath(InstalledInstallerFolder(), kFileList));
    result = sync.SyncFiles(InstallationFolder(), CFileSync::kUninstall);
    if (result != rc::Success) {
        SetLastError(sync.ErrorText());
        Trace("UnSync Files failed");
        return result;
    }
    result = DeleteFileTree(InstalledInstallerFolder());
    if (result != rc::Success) {
        Trace("Delete File Tree failed :(");
        return result;
    }
    if (m_pHolder)
        m_pHolder->SetInstalledVersion(CVersion());
    return rc::Success;
}
