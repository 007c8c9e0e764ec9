// The state files brought up to date between the components of a batch.

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/statefiles.h"
#include "core/base/filewriter.h"
#include "core/base/fileutils.h"
#include "core/base/resultcodes.h"
#include "core/base/trace.h"

namespace {

// A download batch saves what it fetched at most this often: with small archives a save (two
// syncs) after each would cost as much as the transfers. What a crash keeps from being saved
// is still found by the next run, which takes an archive in the cache as downloaded.
constexpr std::chrono::seconds kDownloadSaveInterval(1);

}  // namespace

void CComponentManager::SaveBatchProgress(int action)
{
    if (action == CComponent::ActionDownload) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_LastProgressSave < kDownloadSaveInterval)
            return;
        m_LastProgressSave = now;
    }
    if (action == CComponent::ActionDownload || action == CComponent::ActionDelete ||
        action == CComponent::ActionInstall) {
        if (WriteDownloadedState() != rc::Success)
            Trace("Saving the downloaded state after a component failed");
    }
    if (action != CComponent::ActionInstall && action != CComponent::ActionUninstall)
        return;
    if (CountInstalled() == 0) {
        // The last component went: the package no longer counts as installed.
        if (action == CComponent::ActionUninstall) {
            RemoveInstalledState();
            if (!m_bStateNotSaved)
                DestroyInstallationDirFile();
        }
        return;
    }
    // Without its installed-state file the root must not be recorded as this package's.
    if (WriteInstalledState() != rc::Success) {
        Trace("Saving the installed state after a component failed");
        return;
    }
    // Without the root in "InstallDir.nuv" the installed record would not be found, and what
    // stands in the root could not be uninstalled.
    const std::string root = m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
    if (action == CComponent::ActionInstall && CStateFiles::GetInstallationDir() != root &&
        !SaveFile(CStateFiles::kInstallDirFile, root + "\n")) {
        Trace("Cannot write %s", CStateFiles::kInstallDirFile);
        m_bStateNotSaved = true;
    }
}
