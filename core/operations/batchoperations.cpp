// The four batch operations over the marked components of a package.

#include "core/catalogue/cache.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/statefiles.h"
#include "core/filewriter.h"
#include "core/nuvfunctions.h"
#include "core/nuvresult.h"
#include "core/operations/fileutils.h"
#include "core/resultcodes.h"
#include "core/textutil.h"
#include "core/trace.h"
#include "portability/platformroot.h"

#include <algorithm>
#include <functional>

namespace {

constexpr size_t kPlatformRootBuffer = 260;
const char kPlatformProcess[] = "velresmgr.exe";

std::string CodeText(int code) { return CNUVResult::Text(code); }

std::string VersionText(const CComponent* record) { return record->GetVersion().ToString(); }

void PrintFailures(const char* what, const std::vector<std::string>& names)
{
    NUVDisplay("\nErrors occurred while trying to %s the following components:\n\n", what);
    for (const std::string& name : names)
        NUVDisplay("%s\n", name.c_str());
    NUVDisplay("\nSee output above for error details.\n");
}

/// The platform root as the environment gives it; empty when the lookup fails.
std::string EnvironmentPlatformRoot()
{
    char buffer[kPlatformRootBuffer] = {};
    if (vel_os_get_platform_root(buffer, sizeof buffer) != 0)
        return std::string();
    return buffer;
}

/// A failed service start is forgiven when the platform process came up all the same.
int ServicesStartResult(CDistribution* distribution, int failureCode, int current)
{
    if (distribution->StartServices() == rc::Success)
        return current;
    Trace("StartServices Failed");
    return IsProcessRunning(kPlatformProcess) ? rc::Success : failureCode;
}

}  // namespace

namespace {

/// Versions carrying action over every holder (all versions counted).
int CountAction(const CComponentManager& manager, int action)
{
    int count = 0;
    for (int i = 0; i < manager.HolderCount(); ++i) {
        const CComponentHolder* holder = manager.GetHolder(i);
        for (int v = 0; v < holder->Count(); ++v)
            if (holder->GetByIndex(v)->GetAction() == action)
                ++count;
    }
    return count;
}

/// Some version carrying action has the flag the test reads.
bool AnyMarked(const CComponentManager& manager, int action,
               const std::function<bool(const CComponent&)>& test)
{
    for (int i = 0; i < manager.HolderCount(); ++i) {
        const CComponentHolder* holder = manager.GetHolder(i);
        for (int v = 0; v < holder->Count(); ++v) {
            const CComponent* record = holder->GetByIndex(v);
            if (record->GetAction() == action && test(*record))
                return true;
        }
    }
    return false;
}

bool NeedsSetup(const CComponent& record) { return record.NeedSetup(); }
bool NeedsServices(const CComponent& record) { return record.NeedStartService(); }

/// The holders ordered by the size of a list of their current records, smallest first; equal
/// sizes keep catalogue order.
std::vector<CComponentHolder*> HoldersBy(const CComponentManager& manager,
                                         const std::vector<CComponent*>& (CComponent::*list)() const)
{
    std::vector<CComponentHolder*> holders;
    for (int i = 0; i < manager.HolderCount(); ++i)
        holders.push_back(manager.GetHolder(i));
    auto size = [list](const CComponentHolder* holder) {
        const CComponent* current = holder->GetCurrent();
        return current ? (current->*list)().size() : size_t(0);
    };
    std::stable_sort(holders.begin(), holders.end(),
                     [&size](const CComponentHolder* a, const CComponentHolder* b) {
                         return size(a) < size(b);
                     });
    return holders;
}

}  // namespace

int CComponentManager::DownloadComponents(bool* pStop)
{
    (void)pStop;   // cancelling goes through Stop()
    CTraceScope scope("CComponentManager::DownloadComponents( bool* pStop )");
    m_bStop = false;
    m_BatchResult = rc::Success;
    m_FailedComponents.clear();
    const int total = CountAction(*this, CComponent::ActionDownload);
    int counter = 0;
    for (const auto& holder : m_Holders) {
        if (m_bStop) {
            Trace("User Canceled Download");
            return m_BatchResult = rc::UserCancelled;
        }
        CComponent* record = holder->FindByAction(CComponent::ActionDownload);
        if (!record) {
            Trace("Component was NULL");
            continue;
        }
        ++counter;
        NUVDisplay("Downloading..... %.3d/%.3d:\t%s (v%s)\n", counter, total,
                   record->GetName().c_str(), VersionText(record).c_str());
        if (record->IsInCache(true)) {
            NUVDisplay("\tAlready present in the cache.\n");
            continue;
        }
        if (!(record->GetVersion() > holder->GetDownloadedVersion())) {
            NUVDisplay("\tLatest Version Downloaded (%s)\n",
                       holder->GetDownloadedVersion().ToString().c_str());
            continue;
        }
        const int result = record->Download();
        if (result != rc::Success) {
            NUVDisplay("\tDownloading %s, Failed %s\n", record->GetName().c_str(),
                       CodeText(result).c_str());
            Trace("Download of %s, failed with %d", record->GetName().c_str(), result);
            m_FailedComponents.push_back(record->GetName());
            m_BatchResult = rc::DownloadFailed;
            continue;
        }
        CCacheList::instance()->AddCacheEntry(record->GetPackage(),
                                              m_pDistribution ? m_pDistribution->GetAlias() : "",
                                              GetCacheFolder(record->GetPlatform()) + "/");
    }
    if (m_BatchResult == rc::Success)
        NUVDisplay("Download Successful\n");
    else
        PrintFailures("dowload", m_FailedComponents);
    return m_BatchResult = WriteDownloadedState();
}

int CComponentManager::DeleteComponents(bool* pStop)
{
    (void)pStop;
    CTraceScope scope("CComponentManager::DeleteComponents( bool* pStop )");
    m_bStop = false;
    m_BatchResult = rc::Success;
    m_FailedComponents.clear();
    const int total = CountAction(*this, CComponent::ActionDelete);
    int counter = 0;
    for (const auto& holder : m_Holders) {
        if (m_bStop) {
            Trace("User Canceled delete");
            return m_BatchResult = rc::UserCancelled;
        }
        CComponent* record = holder->FindByAction(CComponent::ActionDelete);
        if (!record) {
            Trace("Component was NULL");
            continue;
        }
        ++counter;
        NUVDisplay("Deleting........ %.3d/%.3d:\t%s (v%s)\n", counter, total,
                   record->GetName().c_str(), VersionText(record).c_str());
        Trace("Deleting %s", record->GetName().c_str());
        const int result = record->DeleteFromCache();
        if (result != rc::Success) {
            NUVDisplay("\tFailed to delete %s, error %s\n", record->GetName().c_str(),
                       CodeText(result).c_str());
            Trace("Deletion of %s failed %d", record->GetName().c_str(), result);
            m_FailedComponents.push_back(record->GetName());
            m_BatchResult = rc::DeletingFromCacheFailed;
        }
    }
    if (m_BatchResult == rc::Success)
        NUVDisplay("Delete Successful\n");
    else
        PrintFailures("delete", m_FailedComponents);
    return m_BatchResult = WriteDownloadedState();
}

int CComponentManager::InstallComponents()
{
    CTraceScope scope("CComponentManager::InstallComponents( void )");
    m_BatchResult = rc::Success;
    m_bStop = false;
    m_FailedComponents.clear();
    const int total = CountAction(*this, CComponent::ActionInstall);
    CDistribution* distribution = m_pDistribution;
    const std::string root = distribution ? distribution->GetTessomRoot() : std::string();

    const bool startServices = distribution && AnyMarked(*this, CComponent::ActionInstall, NeedsServices);
    if (startServices && !m_bServicesStopped)
        (void)distribution->StopServices();

    const bool needSetup = AnyMarked(*this, CComponent::ActionInstall, NeedsSetup);
    bool setupRemoved = false;
    if (CountInstalled() == 0) {
        if (CNUVFunctions::Instance()->TestTessomRootPermissions(root) != rc::Success) {
            NUVDisplay("Install cannot proceed: Unable to write to %s.  Check access "
                       "permissions.\n", root.c_str());
            return m_BatchResult = rc::RootNotWritable;
        }
    } else if (needSetup) {
        setupRemoved = true;
        if (!m_bSetupRemoved && distribution)
            (void)distribution->DoR5Remove(true);
    }

    int counter = 0;
    for (CComponentHolder* holder : HoldersBy(*this, &CComponent::GetDependencies)) {
        if (m_bStop) {
            Trace("USER CANCELLED OPERATION");
            return m_BatchResult = rc::UserCancelled;
        }
        CComponent* record = holder->FindByAction(CComponent::ActionInstall);
        if (!record)
            continue;
        if (holder->IsCapped() && record->GetVersion() > holder->GetCappedVersion()) {
            NUVDisplay("Skipping installation of %s (v%s) capped at version v%s\n",
                       record->GetName().c_str(), VersionText(record).c_str(),
                       holder->GetCappedVersion().ToString().c_str());
            continue;
        }
        Trace("Installing...... %s(v%s)  ( Dependencies = %d, Dependants = %d )",
              record->GetName().c_str(), VersionText(record).c_str(),
              int(record->GetDependencies().size()), int(record->GetDependants().size()));
        ++counter;
        NUVDisplay("Installing...... %.3d/%.3d:\t%s (v%s)\n", counter, total,
                   record->GetName().c_str(), VersionText(record).c_str());
        if (holder->GetInstalledVersion() == record->GetVersion()) {
            NUVDisplay("\tSame Version Installed (%s)\n",
                       holder->GetInstalledVersion().ToString().c_str());
            continue;
        }
        const int result = record->Install();
        if (result != rc::Success) {
            Trace("\tFailed installing %s, %d\n", record->GetName().c_str(), result);
            NUVDisplay("\tInstalling %s unsuccessful, %s\n", record->GetName().c_str(),
                       CodeText(result).c_str());
            NUVDisplay("\t%s\n", record->GetLastError().c_str());
            m_FailedComponents.push_back(record->GetName());
            m_BatchResult = rc::InstallFailed;
        }
    }

    if (distribution) {
        if (EnvironmentPlatformRoot().empty())
            (void)distribution->DoR5Setup(false);
        else if (needSetup)
            (void)distribution->DoR5Setup(setupRemoved);
    }
    if (m_BatchResult == rc::Success)
        NUVDisplay("Install Successful\n");
    else if (m_BatchResult == rc::InstallFailed)
        PrintFailures("install", m_FailedComponents);
    if (startServices)
        m_BatchResult = ServicesStartResult(distribution, rc::InstallFailed, m_BatchResult);

    if (WriteDownloadedState() != rc::Success) {
        Trace("SaveDownloadedComponentList Failed");
        m_BatchResult = rc::InstallFailed;
    }
    // A package whose every installation failed is not installed: recording it would lock the
    // machine to it, and "-uninstall" would find nothing to remove the record with.
    const bool anythingInstalled = CountInstalled() > 0;
    if (anythingInstalled && WriteInstalledState() != rc::Success) {
        Trace("SaveInstalledComponentList Failed");
        m_BatchResult = rc::InstallFailed;
    }
    m_bServicesStopped = false;
    m_bSetupRemoved = false;
    if (anythingInstalled) {
        if (!WriteFileAtomically(CStateFiles::kInstallDirFile, root + "\n"))
            Trace("Cannot write %s", CStateFiles::kInstallDirFile);
    } else {
        (void)RemoveFile(InstalledStatePath());
        DestroyInstallationDirFile();
    }
    NUVDisplay("Installation Finished\n");
    if (!m_FailedComponents.empty())
        m_BatchResult = rc::InstallFailed;
    return m_BatchResult;
}

int CComponentManager::UninstallComponents()
{
    CTraceScope scope("CComponentManager::UninstallComponents( void )");
    m_bStop = false;
    m_BatchResult = rc::Success;
    m_FailedComponents.clear();
    CDistribution* distribution = m_pDistribution;
    const std::string root = distribution ? distribution->GetTessomRoot() : std::string();
    const int installed = CountInstalled();
    const int total = CountAction(*this, CComponent::ActionUninstall);
    const bool everything = total >= installed;

    bool needServices = false;
    bool needSetup = false;
    if (distribution && everything) {
        if (distribution->HasSetup()) {
            const int stopped = distribution->StopServices();
            if (stopped != rc::Success)
                Trace("NUV UNINSTALL - STOP SERVICES Failed %d", stopped);
        }
        if (distribution->HasStart()) {
            const int removed = distribution->DoR5Remove(false);
            if (removed != rc::Success)
                Trace("NUV UNINSTALL - DoR5Remove Failed %d", removed);
        }
    } else if (distribution) {
        needServices = AnyMarked(*this, CComponent::ActionUninstall, NeedsServices);
        needSetup = AnyMarked(*this, CComponent::ActionUninstall, NeedsSetup);
        if (needServices)
            m_BatchResult = distribution->StopServices();
        if (needSetup)
            m_BatchResult = distribution->DoR5Remove(true);
        if (AnyMarked(*this, CComponent::ActionInstall, NeedsServices))
            m_bServicesStopped = true;
        if (AnyMarked(*this, CComponent::ActionInstall, NeedsSetup))
            m_bSetupRemoved = true;
    }

    int counter = 0;
    for (CComponentHolder* holder : HoldersBy(*this, &CComponent::GetDependants)) {
        if (m_bStop) {
            Trace("NUV UNINSTALL - User cancelled uninstall - ERR_USER_CANCELLED");
            return m_BatchResult = rc::UserCancelled;
        }
        CComponent* record = holder->FindByAction(CComponent::ActionUninstall);
        if (!record)
            continue;
        ++counter;
        NUVDisplay("Uninstalling.... %.3d/%.3d:\t%s (v%s)\n", counter, total,
                   record->GetName().c_str(), VersionText(record).c_str());
        const int result = record->Uninstall();
        if (result != rc::Success) {
            NUVDisplay("\tUninstall failed for %s with %s\n", record->GetName().c_str(),
                       CodeText(result).c_str());
            Trace("Uninstalling %s failed %d", record->GetName().c_str(), result);
            m_FailedComponents.push_back(record->GetName());
            m_BatchResult = rc::UninstallFailed;
        }
        (void)record->SetAction(CComponent::ActionNone);
    }
    if (m_BatchResult == rc::UninstallFailed)
        PrintFailures("uninstall", m_FailedComponents);

    if (WriteInstalledState() != rc::Success) {
        Trace("SaveInstalledComponentList Failed");
        m_BatchResult = rc::InstallFailed;
    }
    const bool nothingLeft = CountInstalled() == 0;
    if (nothingLeft)
        (void)RemoveFile(InstalledStatePath());
    if (ClearEmptyFolders(root) != rc::Success) {
        Trace("ClearEmptyFolders Failed");
        m_BatchResult = rc::InstallFailed;
    }
    if (distribution && !everything && needSetup && !m_bSetupRemoved &&
        distribution->DoR5Setup(true) != rc::Success) {
        Trace("DoR5Setup Failed");
        m_BatchResult = rc::InstallFailed;
    }
    if (distribution && !everything && needServices && !m_bServicesStopped)
        m_BatchResult = ServicesStartResult(distribution, rc::InstallFailed, m_BatchResult);
    if (nothingLeft) {
        NUVDisplay("Uninstallation Completed\nLog files");
        NUVDisplay(" and other files created at run-time may still reside in %s\n", root.c_str());
        DestroyInstallationDirFile();
    }
    if (!m_FailedComponents.empty())
        m_BatchResult = rc::InstallFailed;
    return m_BatchResult;
}

void CComponentManager::DestroyInstallationDirFile()
{
    Trace("CComponentManager::DestroyInstallationDirFile - Deleting Install Directory");
    (void)RemoveFile(CStateFiles::kInstallDirFile);
}
