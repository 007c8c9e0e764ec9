#include "core/packagefiles/deltapackage.h"

#include "core/catalogue/cache.h"
#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/base/fileutils.h"
#include "core/packagefiles/deltapackagezipper.h"
#include "core/packagefiles/packagefilearchive.h"
#include "core/base/resultcodes.h"
#include "core/base/runstate.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

namespace {

const char kDeltaFolder[] = "delta";

// Directory creation that accepts a folder left by an earlier run.
bool MakeFolder(const std::string& path)
{
    const int result = MakeDirPath(path);
    return result == rc::Success || result == rc::DirectoryAlreadyExists;
}

}  // namespace

CDeltaPackage::CDeltaPackage(ArchiveDownloader download) : m_Download(std::move(download)) {}

std::vector<CComponentHolder*> CDeltaPackage::ChangedHolders(const CComponentManager& manager)
{
    std::vector<CComponentHolder*> changed;
    for (int i = 0; i < manager.HolderCount(); ++i) {
        CComponentHolder* holder = manager.GetHolder(i);
        const CComponent* record = holder->GetCurrent();
        if (record && record->IsIncluded() &&
            !(holder->GetEffectiveVersion() == holder->GetTemplateVersion()))
            changed.push_back(holder);
    }
    return changed;
}

std::vector<CComponentHolder*> CDeltaPackage::ExcludedHolders(const CComponentManager& manager)
{
    std::vector<CComponentHolder*> excluded;
    for (int i = 0; i < manager.HolderCount(); ++i) {
        if (manager.GetHolder(i)->m_Excluded)
            excluded.push_back(manager.GetHolder(i));
    }
    return excluded;
}

int CDeltaPackage::PopulateDeltaFolder()
{
    CTraceScope scope("CDeltaPackage::PopulateDeltaFolder()");
    const std::string workingDir = WorkingDirectory();
    const std::string delta = JoinPath(workingDir, kDeltaFolder);
    if (!MakeFolder(delta))
        return rc::CantCreateDeltaDir;
    if (!MakeFolder(JoinPath(delta, "packages")))
        return rc::CantCreateDeltaPackageFolder;
    if (CreateCacheFolders(delta) != rc::Success)
        return rc::CantCreateDeltaCacheFolder;

    CDistribution* distribution = CDistributionList::instance()->getCurrentDistribution();
    if (!distribution)
        return rc::Success;
    const std::string packageFolder =
        JoinPath(JoinPath(kDeltaFolder, "packages"), distribution->GetAlias());
    if (distribution->GetAlias().empty() || !MakeFolder(JoinPath(workingDir, packageFolder)))
        return rc::CantCreateDeltaAliasFolder;

    CComponentManager* manager = distribution->GetComponentManager();
    const std::vector<CComponentHolder*> changed = ChangedHolders(*manager);
    const CRunState& state = CRunState::Instance();
    const std::string what = "Gathering the changed components";
    for (size_t i = 0; i < changed.size(); ++i) {
        state.ReportWork(int(i), int(changed.size()), what);
        if (int result = CopyArchive(changed[i]); result != rc::Success)
            return result;
    }
    state.ReportWork(int(changed.size()), int(changed.size()), what);
    return manager->WriteDownloadedState(packageFolder);
}

int CDeltaPackage::CopyArchive(CComponentHolder* holder)
{
    CComponent* record = holder->GetCurrent();
    if (!record)
        return rc::Success;
    // One that can be had neither way is left out; the state file still names its version.
    if (!record->IsInCache(true) && m_Download(*record) != rc::Success)
        return rc::Success;
    const std::string workingDir = WorkingDirectory();
    const std::string source = JoinPath(workingDir, record->ArchivePath());
    const std::string target =
        JoinPath(JoinPath(workingDir, kDeltaFolder), record->ArchivePath());
    Trace("Copying %s To %s\n", source.c_str(), target.c_str());
    if (!IsRegularFile(source) || EntryExists(target))
        return rc::Success;
    return CopyTree(source, target);
}

int CDeltaPackage::CreateDPF()
{
    const CDistribution* distribution = CDistributionList::instance()->getCurrentDistribution();
    if (!distribution)
        return rc::Success;
    CDeltaPackageZipper zipper(distribution->GetAlias() + ".dpf");
    return zipper.CreateZipFile();
}

int CDeltaPackage::CleanDeltaFolder()
{
    return DeleteFileTree(JoinPath(WorkingDirectory(), kDeltaFolder));
}

int CDeltaPackage::ApplyDPF(const std::string& path, std::string* invalid)
{
    CTraceScope scope("CDeltaPackage::ApplyDPF()");
    if (!IsRegularFile(path))
        return rc::PackageNotFound;
    std::string name;
    if (!PackageNameOfFile(path, &name))
        return rc::InvalidDeltaPackageName;
    if (!IsFolder(JoinPath("packages", name)))
        return rc::UpgradingPackageMissing;
    std::vector<std::string> entries;
    if (int result = CheckPackageFileEntries(path, &entries, invalid); result != rc::Success)
        return result;
    // The file upgrades the package it names and no other: entries for another package
    // folder would overwrite that package's state, or leave a half package behind.
    const std::string folder = JoinPath("packages", name);
    for (const std::string& written : PackageFoldersOf(entries)) {
        if (written != folder) {
            Trace("Refusing %s: it would write into %s", path.c_str(), written.c_str());
            if (invalid)
                *invalid = "it would write into " + written + ", another package";
            return rc::InvalidFile;
        }
    }
    return UnpackPackageFile(path, int(entries.size()));
}
