// The state files brought up to date between the components of a batch.

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/statefiles.h"
#include "core/base/filewriter.h"
#include "core/base/fileutils.h"
#include "core/base/resultcodes.h"
#include "core/base/trace.h"

void CComponentManager::SaveBatchProgress(int action)
{
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
            (void)RemoveFile(InstalledStatePath());
            DestroyInstallationDirFile();
        }
        return;
    }
    if (WriteInstalledState() != rc::Success)
        Trace("Saving the installed state after a component failed");
    // Without the root in "InstallDir.nuv" the installed record would not be found, and what
    // stands in the root could not be uninstalled.
    const std::string root = m_pDistribution ? m_pDistribution->GetTessomRoot() : std::string();
    if (action == CComponent::ActionInstall && CStateFiles::GetInstallationDir() != root &&
        !WriteFileAtomically(CStateFiles::kInstallDirFile, root + "\n"))
        Trace("Cannot write %s", CStateFiles::kInstallDirFile);
}
