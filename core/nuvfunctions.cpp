#include "core/nuvfunctions.h"

#include "core/catalogue/cache.h"
#include "core/catalogue/component.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distributionlist.h"
#include "core/catalogue/packagestore.h"
#include "core/catalogue/packagetemplate.h"
#include "core/catalogue/statefiles.h"
#include "core/nuvoptions.h"
#include "core/base/filewriter.h"
#include "core/base/fileutils.h"
#include "core/base/resultcodes.h"
#include "core/server/connectiondetails.h"
#include "core/server/serverinterface.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"
#include "portability/systemenv.h"

#include <QDir>
#include <QLockFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <QString>

namespace {

const char kPTFDir[] = "PTF";
const char* const kPackagesDir = CPackageStore::kFolder;
const char* const kDetailsFile = CPackageStore::kDetailsFile;
const char* const kStateFile = CPackageStore::kStateFile;
const char kSoftwareRoot[] = "/software";
const char kNoReleaseNotes[] = "Release Notes unavailable - none specified";
constexpr long long kRequiredFreeSpace = 209715200;   // 200 MiB
constexpr int kListAttempts = 5;
// "package.dat" in text: distribution, root, set-up, removal, start, stop, package type,
// platform, tag.
constexpr size_t kTagLine = 8;

std::string PackageFolder(const std::string& name) { return CPackageStore::PackageFolder(name); }

std::string DetailsPath(const std::string& name) { return CPackageStore::DetailsPath(name); }

/// 0, or 122 after telling the user, when a package's details file is empty or holds bytes
/// that neither the text form nor the older data-stream form can hold.
int CheckDetailsFile(const std::string& path)
{
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return rc::Success;   // a missing file is the package store's to report
    std::string damage;
    if (bytes.find_first_not_of(" \t\r\n") == std::string::npos)
        damage = "it is empty";
    else if (!IsPlainText(bytes) && !CPackageDetails().ParseOldFormat(bytes))
        damage = "it holds bytes that are not text";
    if (damage.empty())
        return rc::Success;
    Trace("Damaged package details %s: %s", path.c_str(), damage.c_str());
    NUVDisplay("The file %s is damaged: %s\n", path.c_str(), damage.c_str());
    return rc::FileDamaged;
}

}  // namespace

CNUVFunctions* CNUVFunctions::Instance()
{
    static CNUVFunctions instance;
    return &instance;
}

CNUVFunctions::~CNUVFunctions() = default;

int CNUVFunctions::LockWorkingFolder(bool tidy)
{
    // Absolute: the lock belongs to the folder that was current when it was taken.
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(kLockFile));
    if (m_WorkingFolderLock && m_WorkingFolderLock->isLocked() && m_LockPath == path)
        return rc::Success;
    m_WorkingFolderLock.reset();
    auto lock = std::make_unique<QLockFile>(path);
    // Held for as long as a batch or an open package takes: only a dead holder makes it stale.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError) {
            Trace("No lock file can be made in the working folder (%d)", int(lock->error()));
            return rc::Success;
        }
        qint64 pid = 0;
        QString host;
        QString application;
        (void)lock->getLockInfo(&pid, &host, &application);
        m_LockHolder = pid;
        Trace("The working folder is locked by process %lld", static_cast<long long>(pid));
        return rc::WorkingFolderLocked;
    }
    m_WorkingFolderLock = std::move(lock);
    m_LockPath = path;
    if (tidy)
        RemoveStaleTemporaryFiles();
    return rc::Success;
}

void CNUVFunctions::UnlockWorkingFolder() { m_WorkingFolderLock.reset(); }

void CNUVFunctions::Interrupt()
{
    if (!m_RunState.m_Interrupted)
        m_RunState.m_Interrupted = 1;
    ServerInterface::Instance()->Abort();
}

void CNUVFunctions::RemoveStaleTemporaryFiles() const
{
    auto named = [](std::vector<std::string> list) {
        return [list](const std::string& target) {
            return std::find(list.begin(), list.end(), target) != list.end();
        };
    };
    (void)RemoveStaleTemporaries(".", named({CNUVOptions::kFileName}));
    (void)RemoveStaleTemporaries(
        kPackagesDir, named({CConnectionDetails::kDetailsFile, BaseName(CStateFiles::kInstallDirFile)}));
    for (const std::string& package : ListSubFolders(kPackagesDir))
        (void)RemoveStaleTemporaries(PackageFolder(package), named({kDetailsFile, kStateFile}));
    const std::string root = CStateFiles::GetInstallationDir();
    if (!root.empty())
        (void)RemoveStaleTemporaries(JoinPath(ToNativeSeparators(root), "installer"),
                                     [](const std::string& target) {
                                         return target.compare(0, 9, "packages.") == 0;
                                     });
}

void CNUVFunctions::NUVSetup()
{
    CTraceScope scope("CNUVFunctions::NUVSetup()");
    if (const int result = CreateCacheFolders("."); result != rc::Success)
        Trace("Failed to Create Cache dir structure: %d", result);
    // Folders left by an earlier run are the normal case; later writes fail on their own when a
    // folder is missing, so these failures are traced only.
    if (const int result = MakeDirPath(kPackagesDir);
        result != rc::Success && result != rc::DirectoryAlreadyExists)
        Trace("Failed to Create Package dir: %d", result);
    if (const int result = MakeDirPath(kPTFDir);
        result != rc::Success && result != rc::DirectoryAlreadyExists)
        Trace("Failed to Create PTF dir: %d", result);
    Trace("Dirs created, Pre-Connection Details");
    m_pConnectionDetails = CConnectionDetails::Instance();
    // -1 only says the older files were used; the details hold usable values either way.
    (void)m_pConnectionDetails->ReadDetails();
    Trace("Dirs created, Post-Connection Details");
    SetOnlineState(true);
}

void CNUVFunctions::SetOnlineState(bool fetch)
{
    ServerInterface* server = ServerInterface::Instance();
    server->CloseConnections();
    const int result = server->TestConnection();
    Trace("Post TestConnection - Test Connection return %d", result);
    if (result != 0) {
        m_RunState.m_bOnline = false;
        Trace("Setting To OFFLINE");
        RecordConnectionFailure(server->GetFailureReason());
    } else {
        Trace("Setting To ONLINE");
        m_RunState.m_bOnline = true;
        m_ConnectionFailure.clear();
    }
    Trace("Dirs created, Login Details processed, on/off line calculated.");
    if (m_RunState.m_bOnline && fetch)
        FetchDistributionLists();
}

void CNUVFunctions::RecordConnectionFailure(const std::string& reason)
{
    const CConnectionDetails* details = CConnectionDetails::Instance();
    m_ConnectionFailure = "cannot reach the server " + details->GetServer();
    if (details->UsesProxy())
        m_ConnectionFailure += " through the proxy " + details->GetProxyServer() + ":" +
                               std::to_string(details->GetProxyPort());
    m_ConnectionFailure += ": " + (reason.empty() ? std::string("no answer") : reason);
    // Both traces carry it: support reads either one.
    Trace("%s", m_ConnectionFailure.c_str());
    NetTrace("%s", m_ConnectionFailure.c_str());
}

void CNUVFunctions::FetchDistributionLists()
{
    CDistributionList::instance()->clear();
    Trace("Acquire Global packages");
    // A missing list is traced where it happens; the tool goes on with what it has.
    (void)GetDistributionDetails(GLOBAL_SERVER);
    Trace("Acquire user packages");
    (void)GetDistributionDetails(USER_SERVER);
}

std::string CNUVFunctions::CurrentTessomRoot() const
{
    const CDistribution* current = CDistributionList::instance()->getCurrentDistribution();
    return current ? current->GetTessomRoot() : std::string();
}

int CNUVFunctions::TestPermissions()
{
    CTraceScope scope("CNUVFunctions::TestPermissions()");
    static const struct {
        const char* folder;
        int failure;
        const char* permissionText;
        const char* otherText;
    } kFolders[] = {
        {"cache", rc::CacheDirNotWritable, "Failed to create file in Cache Permission error %x",
         "Failed to create file in Cache other error %x"},
        {kPackagesDir, rc::PackagesDirNotWritable,
         "Failed to create file in Package Permission error %x",
         "Failed to create file in Package other error %x"},
        {kPTFDir, rc::PTFDirNotWritable, "Failed to create file in PTF Permission error %x",
         "Failed to create file in PTF other error %x"}};
    for (const auto& folder : kFolders) {
        int error = 0;
        if (CanCreateFileIn(folder.folder, &error))
            continue;
        Trace(IsPermissionError(error) ? folder.permissionText : folder.otherText,
              static_cast<unsigned>(error));
        return folder.failure;
    }
    return rc::Success;
}

int CNUVFunctions::TestTessomRootPermissions()
{
    return TestTessomRootPermissions(CurrentTessomRoot());
}

int CNUVFunctions::TestTessomRootPermissions(const std::string& root)
{
    return TestRootPermissions(root);
}

std::vector<std::string> CNUVFunctions::GetPackageList() const
{
    return CPackageStore::GetPackageList();
}

bool CNUVFunctions::PackageExists(const std::string& name) const
{
    return CPackageStore::PackageExists(name);
}

std::string CNUVFunctions::GetInstalledPackage() const
{
    return CPackageStore::GetInstalledPackage();
}

std::string CNUVFunctions::InstalledPackageIn(const std::string& root,
                                              const std::string& except) const
{
    static const std::string kPrefix = "packages.";
    if (root.empty())
        return std::string();
    const std::string installer = JoinPath(root, "installer");
    for (const std::string& entry : ListEntries(installer)) {
        if (entry.size() <= kPrefix.size() || entry.compare(0, kPrefix.size(), kPrefix) != 0)
            continue;
        const std::string name = entry.substr(kPrefix.size());
        if (name != except && IsRegularFile(JoinPath(installer, entry)))
            return name;
    }
    return std::string();
}

bool CNUVFunctions::IsSafePackageName(const std::string& name)
{
    return CPackageStore::IsSafePackageName(name);
}

std::string CNUVFunctions::UnsafePackageNameMessage(const std::string& name)
{
    return CPackageStore::UnsafePackageNameMessage(name);
}

int CNUVFunctions::CheckPackageName(const std::string& name)
{
    return CPackageStore::CheckPackageName(name);
}

CPackageDetails CNUVFunctions::GetDetailsForPackage(const std::string& name) const
{
    CTraceScope scope("CNUVFunctions::GetDetailsForPackage()");
    Trace("Package Name = %s", name.c_str());
    CPackageDetails details;
    if (!IsSafePackageName(name))
        return details;
    const std::string path = DetailsPath(name);
    std::string text;
    (void)ReadFileBytes(path, &text);   // a missing file reads as empty text
    // The older form is told by its layout first: its counts may hold line-feed bytes, which
    // would make stream bytes look like lines of text.
    CPackageDetails old;
    const bool oldLayout = old.ParseOldFormat(text);
    const std::vector<std::string> lines = SplitLines(text);
    if (oldLayout) {
        Trace("Old style package.dat");
    } else if (text.empty()) {
        Trace("FileText was empty !!");
    } else if (lines.size() < 2) {
        Trace("No more that a single line");
    } else {
        details.distribution = lines[0];
        details.root = lines[1];
        if (lines.size() > kTagLine)
            details.tag = lines[kTagLine];
    }
    if (details.distribution.empty()) {
        Trace("Try Old style package.dat read!!");
        details = old;   // what the stream gave; empty for text without a name
    }
    return details;
}

int CNUVFunctions::OpenPackage(const std::string& newPackageName, bool lookOnly)
{
    CTraceScope scope("CNUVFunctions::OpenPackage( std::string newPackageName )");
    const std::string& name = newPackageName;
    if (name.empty())
        return rc::NoPackageName;
    if (const int checked = CheckPackageName(name); checked != rc::Success)
        return checked;
    NUVDisplay("Opening Package: %s\n", name.c_str());
    Trace("Opening Package: %s ....", name.c_str());
    m_CurrentPackage = name;
    CDistributionList* list = CDistributionList::instance();
    if (m_bPTFReferenceOnly) {
        Trace("As PTF reference only");
        if (CDistribution* current = list->getCurrentDistribution())
            (void)current->getComponents();   // always 0
        return rc::Success;
    }
    if (!HasEnoughDiskSpace()) {
        Trace("Low Disk Space !!!!");
        return rc::NotEnoughDiskSpace;
    }
    if (!PackageExists(name)) {
        Trace("Unknown Package");
        return rc::PackageNotFound;
    }
    if (const int checked = CheckDetailsFile(DetailsPath(name)); checked != rc::Success)
        return checked;
    // The list trims the name it files the distribution under; the same name must find it.
    const std::string distribution = TrimSpaces(GetDetailsForPackage(name).distribution);
    // An unreadable file makes nothing current, which the check below reports.
    (void)list->readDistributionDetails(DetailsPath(name));
    Trace("Attempting to set the CurrentDist to %s", distribution.c_str());
    list->setCurrentDistribution(distribution);
    CDistribution* current = list->getCurrentDistribution();
    if (!current) {
        Trace("No Distribution Specified!!!");
        return rc::NullPointer;
    }
    current->SetAlias(name);
    int result = rc::Success;
    if (IsOnline() && current->GetDescription().empty()) {
        NUVDisplay("This distribution is no longer supported.  The cached version will be used.\n");
        current->SetLocal(true);
        result = rc::DistributionNoLongerSupported;
    }
    if (!lookOnly && list->writeDistributionDetails(DetailsPath(name)) != 0)
        Trace("Cannot save %s", DetailsPath(name).c_str());   // the file read above stays
    // A damaged file was reported; acting on what could be read would be acting blind.
    if (const int loaded = current->getComponents(); loaded != rc::Success)
        return loaded;
    return result;
}

int CNUVFunctions::CreateNewPackage(int IndexOfDistribution, std::string InstallPath,
                                    std::string PackageName, std::string PackageTag)
{
    CTraceScope scope("CNUVFunctions::CreateNewPackage( int IndexOfDistribution,std::string "
                      "InstallPath, std::string PackageName, std::string PackageTag )");
    CDistributionList* list = CDistributionList::instance();
    if (list->count() == 0) {
        Trace("No Distribution present in list!");
        return rc::NoDistributions;
    }
    if (PackageName.empty()) {
        Trace("No Package name defined!");
        return rc::NoPackageName;
    }
    if (const int checked = CheckPackageName(PackageName); checked != rc::Success)
        return checked;
    Trace("New Package Name %s", PackageName.c_str());
    m_CurrentPackage = PackageName;
    if (PackageExists(PackageName)) {
        Trace("Package Name Already used");
        return rc::PackageNameAlreadyDefined;
    }
    if (HasEnoughDiskSpace()) {
        CDistribution* distribution = list->selectDistribution(IndexOfDistribution);
        if (!distribution) {
            Trace("No Distribution at index %d", IndexOfDistribution);
            return rc::NoCurrentDistribution;
        }
        distribution->SetAlias(PackageName);
        // Refused only while this catalogue has installed components; traced there.
        (void)distribution->setTessomRoot(InstallPath);
        distribution->SetPackageTag(PackageTag);
        if (!m_bPTFReferenceOnly) {
            const std::string folder = PackageFolder(PackageName);
            if (const int made = MakeDirPath(folder);
                made != rc::Success && made != rc::DirectoryAlreadyExists)
                Trace("Failed to create %s: %d", folder.c_str(), made);
            // A file that could not be written leaves no package; the open below says 87.
            if (list->writeDistributionDetails(DetailsPath(PackageName)) != 0)
                Trace("Cannot write %s", DetailsPath(PackageName).c_str());
            if (distribution->GetComponentManager()->WriteDownloadedState() != rc::Success)
                Trace("Cannot write the state of %s", PackageName.c_str());
        }
    }
    return OpenPackage(PackageName);
}

bool CNUVFunctions::CreatePackageFromTemplate(CPackageTemplate& ptf,
                                              const std::string& packageName)
{
    const int index = ptf.PrepareNewPackage(packageName);
    if (index < 0)
        return false;
    const int created =
        CreateNewPackage(index, ptf.GetTessomRoot(), ptf.GetAlias(), ptf.GetPackageTag());
    return ptf.FinishNewPackage(created == rc::Success);
}

std::vector<CTemplateComponent>
CNUVFunctions::ComponentsNoLongerOffered(const CPackageTemplate& ptf) const
{
    std::vector<CTemplateComponent> gone;
    const CDistribution* current = CDistributionList::instance()->getCurrentDistribution();
    const CComponentManager* manager = current ? current->GetComponentManager() : nullptr;
    if (!manager)
        return gone;
    for (const CTemplateComponent& entry : ptf.GetComponents())
        if (!manager->FindHolder(entry.name))
            gone.push_back(entry);
    return gone;
}

namespace {

/// Copies the two files of source into the new package folder and puts newRoot on line 2 of
/// the copied details.
int CopyPackageFiles(const std::string& source, const std::string& newName,
                     const std::string& newRoot)
{
    for (const char* file : {kDetailsFile, kStateFile}) {
        const int copied =
            CopyTree(JoinPath(PackageFolder(source), file), JoinPath(PackageFolder(newName), file));
        if (copied != rc::Success)
            return copied;
    }
    const std::string path = DetailsPath(newName);
    std::string text;
    if (!ReadFileBytes(path, &text))
        return rc::InvalidFile;
    std::vector<std::string> lines = SplitLines(text);
    // The piece after the final line end is no line: writing it back would add one.
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    if (lines.size() < 2)
        return rc::InvalidFile;
    lines[1] = newRoot;
    std::string content;
    for (const std::string& line : lines)
        content += line + "\n";
    return SaveFile(path, content) ? rc::Success : rc::InvalidFile;
}

}  // namespace

int CNUVFunctions::CopyPackage(const std::string& source, const std::string& newName,
                               const std::string& newRoot)
{
    CTraceScope scope("CNUVFunctions::CopyPackage()");
    for (const std::string* name : {&source, &newName}) {
        if (name->empty())
            return rc::NoPackageName;
        if (const int checked = CheckPackageName(*name); checked != rc::Success)
            return checked;
    }
    if (PackageExists(newName))
        return rc::PackageNameAlreadyDefined;
    const std::string folder = PackageFolder(newName);
    if (const int made = MakeDirPath(folder); made != rc::Success)
        return made;
    const int result = CopyPackageFiles(source, newName, newRoot);
    if (result != rc::Success) {
        Trace("Copying %s to %s failed: %d", source.c_str(), newName.c_str(), result);
        (void)DeleteFileTree(folder);   // a half-made copy must not turn up as a package
    }
    return result;
}

int CNUVFunctions::RenamePackage(const std::string& oldName, const std::string& newName)
{
    CTraceScope scope("CNUVFunctions::RenamePackage()");
    for (const std::string* name : {&oldName, &newName}) {
        if (TrimSpaces(*name).empty())
            return rc::NoPackageName;
        if (const int checked = CheckPackageName(*name); checked != rc::Success)
            return checked;
    }
    if (!PackageExists(oldName))
        return rc::PackageNotFound;
    if (PackageExists(newName) || EntryExists(PackageFolder(newName)))
        return rc::PackageNameAlreadyDefined;
    // The installed-state file in the root is named after the package: renaming would part
    // the package from what it installed.
    const std::string root = GetDetailsForPackage(oldName).root;
    if (oldName == GetInstalledPackage() ||
        (!root.empty() && IsRegularFile(JoinPath(JoinPath(root, "installer"), "packages." + oldName))))
        return rc::PackageInstalled;
    if (std::rename(PackageFolder(oldName).c_str(), PackageFolder(newName).c_str()) != 0) {
        Trace("Renaming %s to %s failed: errno %d", oldName.c_str(), newName.c_str(), errno);
        return rc::CannotCreateFile;
    }
    if (m_CurrentPackage == oldName) {
        m_CurrentPackage = newName;
        if (CDistribution* current = CDistributionList::instance()->getCurrentDistribution())
            current->SetAlias(newName);
    }
    return rc::Success;
}

int CNUVFunctions::DeletePackage(const std::string& name)
{
    if (const int checked = CheckPackageName(name); checked != rc::Success)
        return checked;
    // With nothing installed the installed name is empty, which no name to delete means.
    const std::string installed = GetInstalledPackage();
    if (!installed.empty() && name == installed)
        return rc::PackageInstalled;
    if (!PackageExists(name))
        return rc::PackageNotFound;
    const std::string folder = PackageFolder(name);
    if (!EntryExists(folder))
        return rc::PackageNotFound;
    return DeleteFileTree(folder);
}

bool CNUVFunctions::SavePackageDetails()
{
    CDistributionList* list = CDistributionList::instance();
    const CDistribution* current = list->getCurrentDistribution();
    if (!current)
        return true;
    if (!IsSafePackageName(current->GetAlias())) {
        Trace("Not saving details for package <%s>", current->GetAlias().c_str());
        return true;
    }
    if (list->writeDistributionDetails(DetailsPath(current->GetAlias())) == 0)
        return true;
    Trace("Cannot save %s", DetailsPath(current->GetAlias()).c_str());
    return false;
}

bool CNUVFunctions::HasEnoughDiskSpace() const
{
    const long long free = CSystemEnv::Instance().FreeDiskSpace(WorkingDirectory());
    return free < 0 || free >= kRequiredFreeSpace;
}

std::string CNUVFunctions::LoginUser() const
{
    return CConnectionDetails::Instance()->GetUserName();
}

std::string CNUVFunctions::FetchText(const std::string& remotePath)
{
    ServerInterface* server = ServerInterface::Instance();
    if (const int result = server->GetFile(remotePath, "cache", true); result != 0) {
        Trace("Fetching %s failed: %d", remotePath.c_str(), result);
        return std::string();
    }
    return server->TakeFileTextData();
}

int CNUVFunctions::GetDistributionDetails(NUV_DISTRIBUTION_TYPE type)
{
    CTraceScope scope(
        "CNUVFunctions::GetDistributionDetails( CNUVFunctions::NUV_DISTRIBUTION_TYPE type )");
    const bool global = type == GLOBAL_SERVER;
    std::string subPath;
    if (global) {
        Trace("Type = GLOBAL_SERVER");
        if (!IsOnline())
            return rc::Success;
    } else {
        Trace("Type = USER_SERVER");
        subPath = "users/" + LoginUser();
    }
    const std::string path =
        std::string(kSoftwareRoot) + (global ? "" : "/" + subPath) + "/distributions.txt";
    Trace("Attempt to get %s", path.c_str());
    std::string text;
    for (int attempt = 0;; ++attempt) {
        if (!text.empty()) {
            (void)CDistributionList::instance()->addDistributions(text, subPath, true);   // always 0
            return rc::Success;
        }
        // Off-line the user's list is not fetched either, but unlike the global one it
        // reports that nothing came.
        if (attempt >= kListAttempts || !IsOnline())
            break;
        if (global)
            Trace("Attempt %d", attempt);
        text = FetchText(path);
        if (!global)
            Trace("Attempt %d", attempt);
    }
    if (global)
        Trace("%s is empty!!", path.c_str());
    else
        Trace("%s Is Empty", path.c_str());
    return rc::DownloadFailed;
}

std::string CNUVFunctions::GetReleaseNotes(const CComponent* version)
{
    std::string notes;
    if (version) {
        if (version->GetReleaseNotes().empty() || !IsOnline())
            notes = kNoReleaseNotes;
        else
            notes = FetchText(std::string(kSoftwareRoot) + "/" + version->GetServerPath() + "/" +
                              version->GetReleaseNotes());
    }
    return notes.empty() ? std::string(kNoReleaseNotes) : notes;
}

std::vector<std::string> CNUVFunctions::GetPTFList(bool user)
{
    std::vector<std::string> names;
    // An empty line names no template; the last one is only the text's final line end.
    for (const std::string& line : SplitLines(FetchText(PTFFolder(user) + "/PTFList.txt")))
        if (!line.empty())
            names.push_back(line);
    return names;
}

std::string CNUVFunctions::GetPTFText(bool user, const std::string& name)
{
    // A name from the server's list stays inside the template folder.
    if (!IsSafePackageName(name))
        return std::string();
    return FetchText(PTFFolder(user) + "/" + name);
}

std::string CNUVFunctions::PTFFolder(bool user) const
{
    const std::string folder =
        user ? std::string(kSoftwareRoot) + "/users/" + LoginUser() : std::string(kSoftwareRoot);
    return folder + "/" + kPTFDir;
}

void CNUVFunctions::ClosePackage()
{
    m_CurrentPackage.clear();
    CDistributionList* list = CDistributionList::instance();
    list->setCurrentIndex(list->count());
}

void CNUVFunctions::ConnectEngine()
{
    if (m_EngineConnected)
        return;
    m_EngineConnected = true;
    ServerInterface* server = ServerInterface::Instance();
    QObject::connect(server, &ServerInterface::ProgressReport, server,
                     [this](const QString& name, int done, int total, float rate) {
                         if (m_TransferProgress)
                             m_TransferProgress(name.toLatin1().toStdString(), done, total, rate);
                     });
    QObject::connect(server, &ServerInterface::ChangeOfState, server, [this](bool online) {
        if (m_OnlineChange)
            m_OnlineChange(online);
    });
}

void CNUVFunctions::SetTransferProgress(TransferProgress progress)
{
    m_TransferProgress = std::move(progress);
    ConnectEngine();
}

void CNUVFunctions::SetOnlineChange(OnlineChange change)
{
    m_OnlineChange = std::move(change);
    ConnectEngine();
}

void CNUVFunctions::AbortTransfer() { ServerInterface::Instance()->Abort(); }

bool CNUVFunctions::IsTransferWaiting() const { return ServerInterface::Instance()->IsWaiting(); }

int CNUVFunctions::LastTransferError() const { return ServerInterface::Instance()->GetLastError(); }

std::string CNUVFunctions::LastTransferErrorText() const
{
    return ServerInterface::Instance()->GetErrorString();
}
