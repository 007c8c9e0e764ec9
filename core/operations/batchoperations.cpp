// The four batch operations over the marked components of a package.

#include "core/catalogue/cache.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/statefiles.h"
#include "core/base/filewriter.h"
#include "core/base/outputmodule.h"
#include "core/base/nuvresult.h"
#include "core/base/fileutils.h"
#include "core/base/resultcodes.h"
#include "core/base/runstate.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"
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

std::vector<CComponentHolder*> InCatalogueOrder(const CComponentManager& manager)
{
    std::vector<CComponentHolder*> holders;
    for (int i = 0; i < manager.HolderCount(); ++i)
        holders.push_back(manager.GetHolder(i));
    return holders;
}

/// The holders ordered by the size of a list of their current records, smallest first; equal
/// sizes keep catalogue order.
std::vector<CComponentHolder*> HoldersBy(const CComponentManager& manager,
                                         const std::vector<CComponent*>& (CComponent::*list)() const)
{
    std::vector<CComponentHolder*> holders = InCatalogueOrder(manager);
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

void CComponentManager::BeginBatch()
{
    m_bStop = false;
    m_BatchResult = rc::Success;
    m_FailedComponents.clear();
}

bool CComponentManager::RunBatch(const std::vector<CComponentHolder*>& holders, int action,
                                 const char* cancelTrace, bool traceMissing, const BatchStep& step)
{
    for (CComponentHolder* holder : holders) {
        if (m_bStop || CRunState::Instance().m_Interrupted) {
            Trace("%s", cancelTrace);
            m_BatchResult = rc::UserCancelled;
            return false;
        }
        CComponent* record = holder->FindByAction(action);
        if (!record) {
            if (traceMissing)
                Trace("Component was NULL");
            continue;
        }
        if (const int failure = step(*holder, *record); failure != rc::Success) {
            m_FailedComponents.push_back(record->GetName());
            m_BatchResult = failure;
        }
        SaveBatchProgress(action);
    }
    return true;
}

void CComponentManager::ReportBatch(const char* successText, const char* what, int failure)
{
    if (m_BatchResult == rc::Success && successText)
        NUVDisplay("%s", successText);
    else if (m_BatchResult == failure)
        PrintFailures(what, m_FailedComponents);
}

int CComponentManager::DownloadComponents(bool* pStop)
{
    (void)pStop;   // cancelling goes through Stop()
    CTraceScope scope("CComponentManager::DownloadComponents( bool* pStop )");
    BeginBatch();
    const int total = CountAction(*this, CComponent::ActionDownload);
    int counter = 0;
    auto download = [&](CComponentHolder& holder, CComponent& record) {
        ++counter;
        NUVDisplay("Downloading..... %.3d/%.3d:\t%s (v%s)\n", counter, total,
                   record.GetName().c_str(), VersionText(&record).c_str());
        if (record.IsInCache(true)) {
            NUVDisplay("\tAlready present in the cache.\n");
            return rc::Success;
        }
        if (!(record.GetVersion() > holder.GetDownloadedVersion())) {
            NUVDisplay("\tLatest Version Downloaded (%s)\n",
                       holder.GetDownloadedVersion().ToString().c_str());
            return rc::Success;
        }
        const int result = record.Download();
        if (result != rc::Success) {
            NUVDisplay("\tDownloading %s, Failed %s\n", record.GetName().c_str(),
                       CodeText(result).c_str());
            Trace("Download of %s, failed with %d", record.GetName().c_str(), result);
            return rc::DownloadFailed;
        }
        CCacheList::instance()->AddCacheEntry(record.GetPackage(),
                                              m_pDistribution ? m_pDistribution->GetAlias() : "",
                                              GetCacheFolder(record.GetPlatform()) + "/");
        return rc::Success;
    };
    if (!RunBatch(InCatalogueOrder(*this), CComponent::ActionDownload, "User Canceled Download",
                  true, download))
        return m_BatchResult;
    ReportBatch("Download Successful\n", "dowload", rc::DownloadFailed);
    return m_BatchResult = WriteDownloadedState();
}

int CComponentManager::DeleteComponents(bool* pStop)
{
    (void)pStop;
    CTraceScope scope("CComponentManager::DeleteComponents( bool* pStop )");
    BeginBatch();
    const int total = CountAction(*this, CComponent::ActionDelete);
    int counter = 0;
    auto remove = [&](CComponentHolder&, CComponent& record) {
        ++counter;
        NUVDisplay("Deleting........ %.3d/%.3d:\t%s (v%s)\n", counter, total,
                   record.GetName().c_str(), VersionText(&record).c_str());
        Trace("Deleting %s", record.GetName().c_str());
        const int result = record.DeleteFromCache();
        if (result == rc::Success)
            return rc::Success;
        NUVDisplay("\tFailed to delete %s, error %s\n", record.GetName().c_str(),
                   CodeText(result).c_str());
        Trace("Deletion of %s failed %d", record.GetName().c_str(), result);
        return rc::DeletingFromCacheFailed;
    };
    if (!RunBatch(InCatalogueOrder(*this), CComponent::ActionDelete, "User Canceled delete", true,
                  remove))
        return m_BatchResult;
    ReportBatch("Delete Successful\n", "delete", rc::DeletingFromCacheFailed);
    return m_BatchResult = WriteDownloadedState();
}

int CComponentManager::InstallComponents()
{
    CTraceScope scope("CComponentManager::InstallComponents( void )");
    BeginBatch();
    const int total = CountAction(*this, CComponent::ActionInstall);
    const std::string root = m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
    InstallPlan plan;
    if (const int ready = PrepareInstall(root, &plan); ready != rc::Success)
        return m_BatchResult = ready;
    int counter = 0;
    auto install = [&](CComponentHolder& holder, CComponent& record) {
        return InstallOne(holder, record, &counter, total);
    };
    if (!RunBatch(HoldersBy(*this, &CComponent::GetDependencies), CComponent::ActionInstall,
                  "USER CANCELLED OPERATION", false, install))
        return m_BatchResult;
    FinishInstall(plan);
    RecordInstallation(root);
    NUVDisplay("Installation Finished\n");
    if (!m_FailedComponents.empty())
        m_BatchResult = rc::InstallFailed;
    return m_BatchResult;
}

int CComponentManager::PrepareInstall(const std::string& root, InstallPlan* plan)
{
    CDistribution* distribution = m_pDistribution;
    plan->startServices =
        distribution && AnyMarked(*this, CComponent::ActionInstall, NeedsServices);
    if (plan->startServices && !m_bServicesStopped)
        (void)distribution->StopServices();
    plan->needSetup = AnyMarked(*this, CComponent::ActionInstall, NeedsSetup);
    if (CountInstalled() == 0) {
        if (TestRootPermissions(root) != rc::Success) {
            NUVDisplay("Install cannot proceed: Unable to write to %s.  Check access "
                       "permissions.\n", root.c_str());
            return rc::RootNotWritable;
        }
    } else if (plan->needSetup) {
        plan->setupRemoved = true;
        if (!m_bSetupRemoved && distribution)
            (void)distribution->DoR5Remove(true);
    }
    return rc::Success;
}

int CComponentManager::InstallOne(CComponentHolder& holder, CComponent& record, int* counter,
                                  int total)
{
    if (holder.IsCapped() && record.GetVersion() > holder.GetCappedVersion()) {
        NUVDisplay("Skipping installation of %s (v%s) capped at version v%s\n",
                   record.GetName().c_str(), VersionText(&record).c_str(),
                   holder.GetCappedVersion().ToString().c_str());
        return rc::Success;
    }
    Trace("Installing...... %s(v%s)  ( Dependencies = %d, Dependants = %d )",
          record.GetName().c_str(), VersionText(&record).c_str(),
          int(record.GetDependencies().size()), int(record.GetDependants().size()));
    ++*counter;
    NUVDisplay("Installing...... %.3d/%.3d:\t%s (v%s)\n", *counter, total,
               record.GetName().c_str(), VersionText(&record).c_str());
    if (holder.GetInstalledVersion() == record.GetVersion()) {
        NUVDisplay("\tSame Version Installed (%s)\n",
                   holder.GetInstalledVersion().ToString().c_str());
        return rc::Success;
    }
    const int result = record.Install();
    if (result == rc::Success)
        return rc::Success;
    Trace("\tFailed installing %s, %d\n", record.GetName().c_str(), result);
    NUVDisplay("\tInstalling %s unsuccessful, %s\n", record.GetName().c_str(),
               CodeText(result).c_str());
    NUVDisplay("\t%s\n", record.GetLastError().c_str());
    return rc::InstallFailed;
}

void CComponentManager::FinishInstall(const InstallPlan& plan)
{
    CDistribution* distribution = m_pDistribution;
    if (distribution) {
        if (EnvironmentPlatformRoot().empty())
            (void)distribution->DoR5Setup(false);
        else if (plan.needSetup)
            (void)distribution->DoR5Setup(plan.setupRemoved);
    }
    ReportBatch("Install Successful\n", "install", rc::InstallFailed);
    if (plan.startServices)
        m_BatchResult = ServicesStartResult(distribution, rc::InstallFailed, m_BatchResult);
}

void CComponentManager::RecordInstallation(const std::string& root)
{
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
}

int CComponentManager::UninstallComponents()
{
    CTraceScope scope("CComponentManager::UninstallComponents( void )");
    BeginBatch();
    const std::string root = m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
    const int total = CountAction(*this, CComponent::ActionUninstall);
    const UninstallPlan plan = PrepareUninstall(total);
    int counter = 0;
    auto uninstall = [&](CComponentHolder&, CComponent& record) {
        ++counter;
        NUVDisplay("Uninstalling.... %.3d/%.3d:\t%s (v%s)\n", counter, total,
                   record.GetName().c_str(), VersionText(&record).c_str());
        int failure = rc::Success;
        if (const int result = record.Uninstall(); result != rc::Success) {
            NUVDisplay("\tUninstall failed for %s with %s\n", record.GetName().c_str(),
                       CodeText(result).c_str());
            Trace("Uninstalling %s failed %d", record.GetName().c_str(), result);
            failure = rc::UninstallFailed;
        }
        (void)record.SetAction(CComponent::ActionNone);
        return failure;
    };
    if (!RunBatch(HoldersBy(*this, &CComponent::GetDependants), CComponent::ActionUninstall,
                  "NUV UNINSTALL - User cancelled uninstall - ERR_USER_CANCELLED", false,
                  uninstall))
        return m_BatchResult;
    ReportBatch(nullptr, "uninstall", rc::UninstallFailed);
    const bool nothingLeft = RecordUninstallation(root);
    RestorePlatform(plan);
    if (nothingLeft) {
        NUVDisplay("Uninstallation Completed\nLog files");
        NUVDisplay(" and other files created at run-time may still reside in %s\n", root.c_str());
        DestroyInstallationDirFile();
    }
    if (!m_FailedComponents.empty())
        m_BatchResult = rc::InstallFailed;
    return m_BatchResult;
}

CComponentManager::UninstallPlan CComponentManager::PrepareUninstall(int total)
{
    CDistribution* distribution = m_pDistribution;
    UninstallPlan plan;
    plan.everything = total >= CountInstalled();
    if (distribution && plan.everything) {
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
        plan.needServices = AnyMarked(*this, CComponent::ActionUninstall, NeedsServices);
        plan.needSetup = AnyMarked(*this, CComponent::ActionUninstall, NeedsSetup);
        if (plan.needServices)
            m_BatchResult = distribution->StopServices();
        if (plan.needSetup)
            m_BatchResult = distribution->DoR5Remove(true);
        if (AnyMarked(*this, CComponent::ActionInstall, NeedsServices))
            m_bServicesStopped = true;
        if (AnyMarked(*this, CComponent::ActionInstall, NeedsSetup))
            m_bSetupRemoved = true;
    }
    return plan;
}

bool CComponentManager::RecordUninstallation(const std::string& root)
{
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
    return nothingLeft;
}

void CComponentManager::RestorePlatform(const UninstallPlan& plan)
{
    CDistribution* distribution = m_pDistribution;
    if (!distribution || plan.everything)
        return;
    if (plan.needSetup && !m_bSetupRemoved && distribution->DoR5Setup(true) != rc::Success) {
        Trace("DoR5Setup Failed");
        m_BatchResult = rc::InstallFailed;
    }
    if (plan.needServices && !m_bServicesStopped)
        m_BatchResult = ServicesStartResult(distribution, rc::InstallFailed, m_BatchResult);
}

void CComponentManager::DestroyInstallationDirFile()
{
    Trace("CComponentManager::DestroyInstallationDirFile - Deleting Install Directory");
    (void)RemoveFile(CStateFiles::kInstallDirFile);
}
