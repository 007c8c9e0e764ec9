// The dry runs of the batch operations: what a batch would do, printed in the order it would do
// it, from the plan and the holder order the batch itself walks. Nothing is changed: no file,
// no state, no mark; the server is only asked for archive sizes.

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/base/fileutils.h"
#include "core/base/outputmodule.h"
#include "core/base/resultcodes.h"
#include "core/base/runstate.h"
#include "core/base/textutil.h"
#include "core/server/serverinterface.h"

#include <algorithm>
#include <utility>
#include <vector>

struct CComponentManager::DryRunTotals {
    int archives = 0;      // archives that would be downloaded
    long long bytes = 0;   // the sizes the server gave for them
    int unknown = 0;       // archives whose size the server did not give
};

namespace {

std::string Shown(const CVersion& version)
{
    return version.IsZero() ? "none" : version.ToString();
}

/// A line of the distribution (a service program or a set-up command) when it is set.
void ShowLine(const char* what, const std::string& line, const std::string& root)
{
    if (!line.empty())
        NUVDisplay("Would %s: %s (in %s)\n", what, line.c_str(), root.c_str());
}

/// Counts the download of record into totals and says what it would fetch.
void ShowDownload(const CComponent& record, CComponentManager::DryRunTotals* totals)
{
    if (!record.HasArchive()) {
        NUVDisplay("\tno archive is named: the download would fail\n");
        return;
    }
    const long long size = ServerInterface::Instance()->GetFileSize(record.RemotePath());
    ++totals->archives;
    if (size < 0) {
        ++totals->unknown;
        NUVDisplay("\tdownload %s (size unknown)\n", record.RemotePath().c_str());
        return;
    }
    totals->bytes += size;
    NUVDisplay("\tdownload %s (%lld bytes)\n", record.RemotePath().c_str(), size);
}

/// Where an install would take record's archive from.
void ShowInstallSource(CComponent& record, CComponentManager::DryRunTotals* totals)
{
    if (record.IsInCache(false))
        NUVDisplay("\tfrom the cache: %s\n", record.ArchivePath().c_str());
    else if (CRunState::Instance().m_bOnline)
        ShowDownload(record, totals);
    else
        NUVDisplay("\tnot in the cache and working offline: the install would fail\n");
}

/// What an uninstall of record runs and removes, as far as the root shows it now.
void ShowUninstallSteps(const CComponent& record)
{
    const std::string folder = record.InstalledInstallerFolder();
    const std::string script =
        FindPathIgnoringCase(JoinPath(folder, record.GetName() + "_uninstall.scr"));
    if (!script.empty())
        NUVDisplay("\truns %s\n", script.c_str());
    const std::string list = FindPathIgnoringCase(JoinPath(folder, "filelist"));
    if (!list.empty())
        NUVDisplay("\tremoves the files listed in %s\n", list.c_str());
    NUVDisplay("\tremoves %s\n", folder.c_str());
}

/// The marked records of a batch, in the order the batch walks its holders.
std::vector<std::pair<CComponentHolder*, CComponent*>> Planned(
    const std::vector<CComponentHolder*>& order, int action)
{
    std::vector<std::pair<CComponentHolder*, CComponent*>> planned;
    for (CComponentHolder* holder : order)
        if (CComponent* record = holder->FindByAction(action))
            planned.emplace_back(holder, record);
    return planned;
}

}  // namespace

int CComponentManager::DryRun(int action)
{
    DryRunTotals totals;
    int result = rc::Success;
    switch (action) {
    case CComponent::ActionDownload:
        DryRunDownload(&totals);
        break;
    case CComponent::ActionDelete:
        DryRunDelete();
        return rc::Success;
    case CComponent::ActionUninstall: {
        UninstallPlan plan;
        return DryRunUninstall(&plan);
    }
    case CComponent::ActionInstall: {
        // As the install command: the replaced versions go first, then the installs, which
        // find the root and the flags as the uninstall batch left them.
        const int replaced = CountAction(CComponent::ActionUninstall);
        UninstallPlan before;
        if (replaced > 0)
            result = DryRunUninstall(&before);
        if (CountAction(CComponent::ActionInstall) > 0) {
            const int installed = std::max(0, CountInstalled() - replaced);
            if (const int install = DryRunInstall(installed, replaced > 0 ? &before : nullptr,
                                                  &totals);
                install != rc::Success)
                result = install;
        }
        break;
    }
    default:
        return rc::Success;
    }
    NUVDisplay("Download total: %d archive%s, %lld bytes", totals.archives,
               totals.archives == 1 ? "" : "s", totals.bytes);
    if (totals.unknown > 0)
        NUVDisplay(" and %d of unknown size", totals.unknown);
    NUVDisplay("\n");
    return result;
}

void CComponentManager::DryRunDownload(DryRunTotals* totals)
{
    const int action = CComponent::ActionDownload;
    const int total = CountAction(action);
    int counter = 0;
    for (auto [holder, record] : Planned(BatchOrder(action), action)) {
        NUVDisplay("Would download %.3d/%.3d:\t%s %s -> %s\n", ++counter, total,
                   record->GetName().c_str(), Shown(holder->GetDownloadedVersion()).c_str(),
                   record->GetVersion().ToString().c_str());
        if (record->IsInCache(false))
            NUVDisplay("\tAlready present in the cache.\n");
        else if (!(record->GetVersion() > holder->GetDownloadedVersion()))
            NUVDisplay("\tLatest Version Downloaded (%s)\n",
                       holder->GetDownloadedVersion().ToString().c_str());
        else
            ShowDownload(*record, totals);
    }
}

void CComponentManager::DryRunDelete()
{
    const int action = CComponent::ActionDelete;
    const int total = CountAction(action);
    int counter = 0;
    for (auto [holder, record] : Planned(BatchOrder(action), action)) {
        NUVDisplay("Would delete %.3d/%.3d:\t%s (v%s)\n", ++counter, total,
                   record->GetName().c_str(), record->GetVersion().ToString().c_str());
        if (record->IsInCache(false))
            NUVDisplay("\t%s\n", record->ArchivePath().c_str());
        else
            NUVDisplay("\tnot in the cache: the delete would fail\n");
    }
}

int CComponentManager::DryRunUninstall(UninstallPlan* plan)
{
    const std::string root = m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
    const int action = CComponent::ActionUninstall;
    const int total = CountAction(action);
    if (total > 0 && !RootWritable(root, "Uninstall"))
        return rc::RootNotWritable;
    *plan = PlanUninstall(total);
    if (m_pDistribution) {
        if (plan->servicesStopped)
            ShowLine("stop the services", m_pDistribution->GetStop(), root);
        if (plan->removeAll)
            ShowLine("remove the platform set-up entirely", m_pDistribution->GetRemove(), root);
        if (plan->needServices)
            ShowLine("stop the services", m_pDistribution->GetStop(), root);
        if (plan->needSetup)
            ShowLine("remove the platform set-up with stop", m_pDistribution->GetRemove(), root);
    }
    int counter = 0;
    for (auto [holder, record] : Planned(BatchOrder(action), action)) {
        // The mark sits on the current record; what goes is the installed version.
        const CVersion& installed = holder->GetInstalledVersion();
        NUVDisplay("Would uninstall %.3d/%.3d:\t%s (v%s)\n", ++counter, total,
                   record->GetName().c_str(),
                   (installed.IsZero() ? record->GetVersion() : installed).ToString().c_str());
        ShowUninstallSteps(*record);
    }
    if (m_pDistribution && !plan->everything) {
        if (plan->needSetup && !plan->leaveSetupRemoved)
            ShowLine("run the platform set-up as an upgrade", m_pDistribution->GetSetup(), root);
        if (plan->needServices && !plan->leaveServicesStopped)
            ShowLine("start the services", m_pDistribution->GetStart(), root);
    }
    return rc::Success;
}

int CComponentManager::DryRunInstall(int installed, const UninstallPlan* before,
                                     DryRunTotals* totals)
{
    const std::string root = m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
    const InstallPlan plan =
        PlanInstall(installed, before ? before->leaveServicesStopped : m_bServicesStopped,
                    before ? before->leaveSetupRemoved : m_bSetupRemoved);
    if (plan.firstInstall && !RootWritable(root, "Install"))
        return rc::RootNotWritable;
    if (plan.stopServices)
        ShowLine("stop the services", m_pDistribution->GetStop(), root);
    if (plan.removeSetup)
        ShowLine("remove the platform set-up with stop", m_pDistribution->GetRemove(), root);
    const int action = CComponent::ActionInstall;
    const int total = CountAction(action);
    int counter = 0;
    for (auto [holder, record] : Planned(BatchOrder(action), action)) {
        if (holder->IsCapped() && record->GetVersion() > holder->GetCappedVersion()) {
            NUVDisplay("Would skip %s (v%s) capped at version v%s\n", record->GetName().c_str(),
                       record->GetVersion().ToString().c_str(),
                       holder->GetCappedVersion().ToString().c_str());
            continue;
        }
        NUVDisplay("Would install %.3d/%.3d:\t%s %s -> %s\n", ++counter, total,
                   record->GetName().c_str(), Shown(holder->GetInstalledVersion()).c_str(),
                   record->GetVersion().ToString().c_str());
        if (holder->GetInstalledVersion() == record->GetVersion()) {
            NUVDisplay("\tSame Version Installed (%s)\n",
                       holder->GetInstalledVersion().ToString().c_str());
            continue;
        }
        ShowInstallSource(*record, totals);
        NUVDisplay("\tcopies the files of its file list into %s\n", root.c_str());
        NUVDisplay("\truns %s_install.scr of the archive when it holds one\n",
                   record->GetName().c_str());
    }
    if (m_pDistribution) {
        const SetupStep setup = SetupAfterInstall(plan);
        if (setup != SetupStep::None)
            ShowLine(setup == SetupStep::Upgrade ? "run the platform set-up as an upgrade"
                                                 : "run the platform set-up",
                     m_pDistribution->GetSetup(), root);
        if (plan.startServices)
            ShowLine("start the services", m_pDistribution->GetStart(), root);
    }
    return rc::Success;
}
