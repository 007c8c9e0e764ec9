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
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

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

/// The names a holder's batch record depends on: the record carrying the action, otherwise
/// the current one (a holder outside the batch still links the ones around it).
std::vector<std::string> DependencyNames(const CComponentHolder& holder, int action)
{
    const CComponent* record = holder.FindByAction(action);
    if (!record)
        record = holder.GetCurrent();
    return record ? record->ParseDepends() : std::vector<std::string>();
}

/// The holders in dependency order: for an install every holder after the holders it depends
/// on, for an uninstall before them. Among the holders free to go, the smaller list of their
/// current records (dependencies for an install, dependants for an uninstall) goes first, then
/// catalogue order. A dependency cycle is broken at the first of its holders by that rule.
std::vector<CComponentHolder*> DependencyOrder(const CComponentManager& manager, int action)
{
    const bool install = action == CComponent::ActionInstall;
    const std::vector<CComponentHolder*> holders = InCatalogueOrder(manager);
    const size_t n = holders.size();
    std::unordered_map<const CComponentHolder*, size_t> index;
    for (size_t i = 0; i < n; ++i)
        index[holders[i]] = i;
    // after[i]: the holders that may go only once holder i went; waiting[i]: how many holder i
    // still waits for.
    std::vector<std::vector<size_t>> after(n);
    std::vector<size_t> waiting(n, 0);
    for (size_t i = 0; i < n; ++i) {
        std::unordered_set<size_t> seen;
        for (const std::string& name : DependencyNames(*holders[i], action)) {
            const CComponentHolder* dependency = manager.FindHolder(name);
            if (!dependency || dependency == holders[i])
                continue;
            const size_t d = index.at(dependency);
            if (!seen.insert(d).second)
                continue;
            const size_t first = install ? d : i;
            const size_t second = install ? i : d;
            after[first].push_back(second);
            ++waiting[second];
        }
    }
    auto key = [&](size_t i) {
        const CComponent* current = holders[i]->GetCurrent();
        const size_t size = !current ? 0
                            : install ? current->GetDependencies().size()
                                      : current->GetDependants().size();
        return std::make_pair(size, i);
    };
    std::set<std::pair<size_t, size_t>> ready, remaining;
    for (size_t i = 0; i < n; ++i) {
        remaining.insert(key(i));
        if (waiting[i] == 0)
            ready.insert(key(i));
    }
    std::vector<CComponentHolder*> order;
    order.reserve(n);
    while (!remaining.empty()) {
        const size_t next = ready.empty() ? remaining.begin()->second : ready.begin()->second;
        ready.erase(key(next));
        remaining.erase(key(next));
        order.push_back(holders[next]);
        for (size_t later : after[next])
            if (waiting[later] > 0 && --waiting[later] == 0 && remaining.count(key(later)))
                ready.insert(key(later));
    }
    return order;
}

/// The first name record depends on that failed earlier in this batch; empty when none did.
std::string FailedDependency(const CComponent& record, const std::vector<std::string>& failed)
{
    for (const std::string& name : record.ParseDepends())
        if (name != record.GetName() && std::find(failed.begin(), failed.end(), name) != failed.end())
            return name;
    return std::string();
}

}  // namespace

int CComponentManager::CountAction(int action) const { return ::CountAction(*this, action); }

std::vector<CComponentHolder*> CComponentManager::BatchOrder(int action) const
{
    if (action == CComponent::ActionInstall || action == CComponent::ActionUninstall)
        return DependencyOrder(*this, action);
    return InCatalogueOrder(*this);
}

CComponentManager::InstallPlan CComponentManager::PlanInstall(int installed, bool servicesStopped,
                                                              bool setupRemoved) const
{
    InstallPlan plan;
    plan.firstInstall = installed == 0;
    plan.startServices =
        m_pDistribution && AnyMarked(*this, CComponent::ActionInstall, NeedsServices);
    plan.stopServices = plan.startServices && !servicesStopped;
    plan.needSetup = AnyMarked(*this, CComponent::ActionInstall, NeedsSetup);
    if (!plan.firstInstall && plan.needSetup) {
        plan.setupRemoved = true;
        plan.removeSetup = !setupRemoved && m_pDistribution;
    }
    return plan;
}

CComponentManager::SetupStep CComponentManager::SetupAfterInstall(const InstallPlan& plan) const
{
    if (!m_pDistribution)
        return SetupStep::None;
    if (EnvironmentPlatformRoot().empty())
        return SetupStep::Fresh;
    if (!plan.needSetup)
        return SetupStep::None;
    return plan.setupRemoved ? SetupStep::Upgrade : SetupStep::Fresh;
}

CComponentManager::UninstallPlan CComponentManager::PlanUninstall(int total) const
{
    UninstallPlan plan;
    plan.everything = total >= CountInstalled();
    if (!m_pDistribution)
        return plan;
    if (plan.everything) {
        plan.servicesStopped = m_pDistribution->HasSetup();
        plan.removeAll = m_pDistribution->HasStart();
        return plan;
    }
    plan.needServices = AnyMarked(*this, CComponent::ActionUninstall, NeedsServices);
    plan.needSetup = AnyMarked(*this, CComponent::ActionUninstall, NeedsSetup);
    plan.leaveServicesStopped = AnyMarked(*this, CComponent::ActionInstall, NeedsServices);
    plan.leaveSetupRemoved = AnyMarked(*this, CComponent::ActionInstall, NeedsSetup);
    return plan;
}

void CComponentManager::BeginBatch()
{
    m_bStop = false;
    m_BatchResult = rc::Success;
    m_FailedComponents.clear();
    m_bStateNotSaved = false;
    m_LastProgressSave = std::chrono::steady_clock::now();
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
    else if (m_BatchResult == failure && !m_FailedComponents.empty())
        PrintFailures(what, m_FailedComponents);
}

int CComponentManager::DownloadComponents(bool* pStop)
{
    (void)pStop;   // cancelling goes through Stop()
    CTraceScope scope("CComponentManager::DownloadComponents( bool* pStop )");
    BeginBatch();
    const int total = CountAction(CComponent::ActionDownload);
    int counter = 0;
    // Each archive is synced to the disk while the next one arrives; it counts as downloaded
    // (in the state saved after every component, and in the cache list) only once it is
    // there under its name.
    auto displayFailure = [](const CComponent& record, int result) {
        NUVDisplay("\tDownloading %s, Failed %s\n", record.GetName().c_str(),
                   CodeText(result).c_str());
    };
    CComponent* completing = nullptr;
    auto finishPrevious = [&]() {
        CComponent* record = std::exchange(completing, nullptr);
        if (!record)
            return;
        if (const int result = record->FinishDownload(); result != rc::Success) {
            displayFailure(*record, result);
            m_FailedComponents.push_back(record->GetName());
            m_BatchResult = rc::DownloadFailed;
            return;
        }
        CCacheList::instance()->AddCacheEntry(record->GetPackage(),
                                              m_pDistribution ? m_pDistribution->GetAlias() : "",
                                              GetCacheFolder(record->GetPlatform()) + "/");
    };
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
        const int result = record.Download(true);
        finishPrevious();
        if (result != rc::Success) {
            displayFailure(record, result);
            Trace("Download of %s, failed with %d", record.GetName().c_str(), result);
            return rc::DownloadFailed;
        }
        completing = &record;
        return rc::Success;
    };
    const bool ran = RunBatch(BatchOrder(CComponent::ActionDownload), CComponent::ActionDownload,
                              "User Canceled Download", true, download);
    finishPrevious();
    if (!ran) {
        if (WriteDownloadedState() != rc::Success)   // what finished before the stop
            Trace("Saving the downloaded state of a cancelled download failed");
        return m_BatchResult;
    }
    ReportBatch("Download Successful\n", "dowload", rc::DownloadFailed);
    return m_BatchResult = WriteDownloadedState();
}

int CComponentManager::DeleteComponents(bool* pStop)
{
    (void)pStop;
    CTraceScope scope("CComponentManager::DeleteComponents( bool* pStop )");
    BeginBatch();
    const int total = CountAction(CComponent::ActionDelete);
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
    if (!RunBatch(BatchOrder(CComponent::ActionDelete), CComponent::ActionDelete, "User Canceled delete", true,
                  remove))
        return m_BatchResult;
    ReportBatch("Delete Successful\n", "delete", rc::DeletingFromCacheFailed);
    return m_BatchResult = WriteDownloadedState();
}

int CComponentManager::InstallComponents()
{
    CTraceScope scope("CComponentManager::InstallComponents( void )");
    BeginBatch();
    const int total = CountAction(CComponent::ActionInstall);
    const std::string root = m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
    InstallPlan plan;
    if (const int ready = PrepareInstall(root, &plan); ready != rc::Success)
        return m_BatchResult = ready;
    int counter = 0;
    auto install = [&](CComponentHolder& holder, CComponent& record) {
        return InstallOne(holder, record, &counter, total);
    };
    if (!RunBatch(BatchOrder(CComponent::ActionInstall), CComponent::ActionInstall,
                  "USER CANCELLED OPERATION", false, install))
        return m_BatchResult;
    FinishInstall(plan, root);
    NUVDisplay("Installation Finished\n");
    if (!m_FailedComponents.empty())
        m_BatchResult = rc::InstallFailed;
    return m_BatchResult;
}

int CComponentManager::PrepareInstall(const std::string& root, InstallPlan* plan)
{
    *plan = PlanInstall(CountInstalled(), m_bServicesStopped, m_bSetupRemoved);
    // The root is tested before the services stop: a batch that cannot start must not leave
    // the platform down.
    if (plan->firstInstall && !RootWritable(root, "Install"))
        return rc::RootNotWritable;
    if (plan->stopServices)
        (void)m_pDistribution->StopServices();
    if (plan->removeSetup)
        (void)m_pDistribution->DoR5Remove(true);
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
    // On top of a dependency that did not go in, the component would be installed broken.
    if (const std::string failed = FailedDependency(record, m_FailedComponents); !failed.empty()) {
        Trace("\tNot installing %s, its dependency %s failed", record.GetName().c_str(),
              failed.c_str());
        NUVDisplay("\tInstalling %s skipped, it depends on %s which failed to install\n",
                   record.GetName().c_str(), failed.c_str());
        return rc::InstallFailed;
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

bool CComponentManager::RootWritable(const std::string& root, const char* batch)
{
    if (TestRootPermissions(root) == rc::Success)
        return true;
    NUVDisplay("%s cannot proceed: Unable to write to %s.  Check access permissions.\n", batch,
               root.c_str());
    return false;
}

void CComponentManager::FinishInstall(const InstallPlan& plan, const std::string& root)
{
    CDistribution* distribution = m_pDistribution;
    if (const SetupStep setup = SetupAfterInstall(plan); setup != SetupStep::None)
        (void)distribution->DoR5Setup(setup == SetupStep::Upgrade);
    // Saved before the summary: a batch whose record could not be written is no success.
    RecordInstallation(root);
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
    bool recorded = true;
    if (anythingInstalled && WriteInstalledState() != rc::Success) {
        Trace("SaveInstalledComponentList Failed");
        m_BatchResult = rc::InstallFailed;
        recorded = false;
    }
    m_bServicesStopped = false;
    m_bSetupRemoved = false;
    if (!anythingInstalled) {
        RemoveInstalledState();
        DestroyInstallationDirFile();
    } else if (recorded && !SaveFile(CStateFiles::kInstallDirFile, root + "\n")) {
        // Without its installed-state file the root is not recorded as this package's.
        Trace("Cannot write %s", CStateFiles::kInstallDirFile);
        m_bStateNotSaved = true;
        m_BatchResult = rc::InstallFailed;
    }
}

void CComponentManager::RemoveInstalledState()
{
    const std::string path = InstalledStatePath();
    const int removed = path.empty() ? rc::FileDoesNotExist : RemoveFile(path);
    if (removed == rc::Success || removed == rc::FileDoesNotExist)
        return;
    // Left in place, the file would still mark the package as installed.
    NUVDisplay("Cannot remove %s: %s\n", path.c_str(), CodeText(removed).c_str());
    m_bStateNotSaved = true;
    m_BatchResult = rc::InstallFailed;
}

int CComponentManager::UninstallComponents()
{
    CTraceScope scope("CComponentManager::UninstallComponents( void )");
    BeginBatch();
    const std::string root = m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
    const int total = CountAction(CComponent::ActionUninstall);
    // Tested before anything stops: an uninstall that cannot write must leave the platform
    // running and its set-up in place.
    if (total > 0 && !RootWritable(root, "Uninstall"))
        return m_BatchResult = rc::RootNotWritable;
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
    if (!RunBatch(BatchOrder(CComponent::ActionUninstall), CComponent::ActionUninstall,
                  "NUV UNINSTALL - User cancelled uninstall - ERR_USER_CANCELLED", false,
                  uninstall))
        return m_BatchResult;
    ReportBatch(nullptr, "uninstall", rc::UninstallFailed);
    const bool nothingLeft = RecordUninstallation(root);
    RestorePlatform(plan);
    if (nothingLeft && !m_bStateNotSaved) {
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
    const UninstallPlan plan = PlanUninstall(total);
    if (!distribution)
        return plan;
    if (plan.servicesStopped) {
        const int stopped = distribution->StopServices();
        if (stopped != rc::Success)
            Trace("NUV UNINSTALL - STOP SERVICES Failed %d", stopped);
    }
    if (plan.removeAll) {
        const int removed = distribution->DoR5Remove(false);
        if (removed != rc::Success)
            Trace("NUV UNINSTALL - DoR5Remove Failed %d", removed);
    }
    if (plan.needServices)
        m_BatchResult = distribution->StopServices();
    if (plan.needSetup)
        m_BatchResult = distribution->DoR5Remove(true);
    if (plan.leaveServicesStopped)
        m_bServicesStopped = true;
    if (plan.leaveSetupRemoved)
        m_bSetupRemoved = true;
    return plan;
}

bool CComponentManager::RecordUninstallation(const std::string& root)
{
    // With nothing left the file goes: a full disk must not fail a write nobody needs.
    const bool nothingLeft = CountInstalled() == 0;
    if (nothingLeft) {
        RemoveInstalledState();
    } else if (WriteInstalledState() != rc::Success) {
        Trace("SaveInstalledComponentList Failed");
        m_BatchResult = rc::InstallFailed;
    }
    if (ClearEmptyFolders(root) != rc::Success) {
        Trace("ClearEmptyFolders Failed");
        m_BatchResult = rc::InstallFailed;
    }
    return nothingLeft;
}

void CComponentManager::RestorePlatform(const UninstallPlan& plan)
{
    CDistribution* distribution = m_pDistribution;
    if (!distribution)
        return;
    if (plan.everything) {
        // Components that stayed need the services this batch stopped.
        if (plan.servicesStopped && !m_FailedComponents.empty())
            m_BatchResult = ServicesStartResult(distribution, rc::InstallFailed, m_BatchResult);
        return;
    }
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
    const int removed = RemoveFile(CStateFiles::kInstallDirFile);
    if (removed != rc::Success && removed != rc::FileDoesNotExist) {
        NUVDisplay("Cannot remove %s: %s\n", CStateFiles::kInstallDirFile,
                   CodeText(removed).c_str());
        m_bStateNotSaved = true;
    }
}
