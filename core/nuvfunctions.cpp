#include "core/nuvfunctions.h"

#include "core/catalogue/cache.h"
#include "core/operations/fileutils.h"
#include "core/outputmodule.h"
#include "core/resultcodes.h"
#include "core/server/connectiondetails.h"
#include "core/server/serverinterface.h"
#include "core/textutil.h"
#include "core/trace.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kPackagesDir[] = "packages";
const char kPTFDir[] = "PTF";
const char kTempFile[] = "temp.txt";
const char kInstallDirFile[] = "packages/InstallDir.nuv";
constexpr size_t kMaxRootLength = 1023;

bool PathExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsPermissionError(int error) { return error == EACCES || error == EPERM; }

/// Creates path for writing, closes it and removes it again. False with errno in *error when it
/// cannot be created.
bool CanCreateFile(const std::string& path, int* error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    ::close(fd);
    if (const int removed = RemoveFile(path); removed != rc::Success)
        Trace("Failed to remove %s: %d", path.c_str(), removed);
    return true;
}

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

/// The highest folder on the way to path that does not exist yet; empty when path exists.
std::string TopMissingFolder(const std::string& path)
{
    std::string missing;
    for (std::string level = path; !level.empty() && !PathExists(level); level = DirName(level))
        missing = level;
    return missing;
}

/// Removes path and its parents up to and including top, stopping at the first that is not
/// empty. Only folders the caller created are passed in.
void RemoveCreatedFolders(const std::string& path, const std::string& top)
{
    if (top.empty())
        return;
    for (std::string level = path; !level.empty(); level = DirName(level)) {
        if (RemoveEmptyDir(level) != rc::Success || level == top)
            return;
    }
}

}  // namespace

CNUVFunctions* CNUVFunctions::Instance()
{
    static CNUVFunctions instance;
    return &instance;
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
        m_bOnline = false;
        Trace("Setting To OFFLINE");
    } else {
        Trace("Setting To ONLINE");
        m_bOnline = true;
    }
    Trace("Dirs created, Login Details processed, on/off line calculated.");
    if (m_bOnline && fetch)
        FetchDistributionLists();
}

void CNUVFunctions::FetchDistributionLists() {}

std::string CNUVFunctions::CurrentTessomRoot() const { return std::string(); }

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
        if (CanCreateFile(JoinPath(folder.folder, kTempFile), &error))
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
    CTraceScope scope("CNUVFunctions::TestTessomRootPermissions()");
    if (root.empty())
        return rc::RootEmpty;
    const std::string folder = WithoutTrailingSlashes(ToNativeSeparators(root));
    const std::string created = TopMissingFolder(folder);
    const int made = MakeDirPath(folder);
    if (made != rc::Success && made != rc::DirectoryAlreadyExists) {
        Trace("Failed to create directory $TESSOM_ROOT %d", made);
        return made;
    }
    int error = 0;
    const bool writable = CanCreateFile(JoinPath(folder, kTempFile), &error);
    // Only folders this test made are removed: an empty root prepared by an administrator
    // keeps its owner and modes.
    RemoveCreatedFolders(folder, created);
    if (writable)
        return rc::Success;
    if (IsPermissionError(error))
        Trace("Failed to create file in $TESSOM_ROOT Permission error %d", error);
    else
        Trace("Failed to create file in $TESSOM_ROOT other error %d", error);
    return rc::RootNotWritable;
}

std::vector<std::string> CNUVFunctions::GetPackageList() const
{
    const QDir packages(QString::fromLatin1(kPackagesDir));
    const QStringList entries = packages.entryList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    std::vector<std::string> names;
    for (const QString& entry : entries) {
        const std::string name = QFile::encodeName(entry).toStdString();
        const std::string folder = JoinPath(kPackagesDir, name);
        if (PathExists(JoinPath(folder, "packages.dat")) && PathExists(JoinPath(folder, "package.dat")))
            names.push_back(name);
    }
    return names;
}

bool CNUVFunctions::PackageExists(const std::string& name) const
{
    for (const std::string& package : GetPackageList())
        if (package == name)
            return true;
    return false;
}

std::string CNUVFunctions::GetInstalledPackage() const
{
    std::string content;
    if (!ReadFileBytes(kInstallDirFile, &content))
        return std::string();
    const std::string root = SplitLines(content).front().substr(0, kMaxRootLength);
    if (root.empty())
        return std::string();
    const std::string installer = JoinPath(ToNativeSeparators(root), "installer");
    for (const std::string& name : GetPackageList())
        if (PathExists(JoinPath(installer, "packages." + name)))
            return name;
    return std::string();
}

void NUVDisplay(const char* format, ...)
{
    NUVOutputModule* module = CNUVFunctions::Instance()->GetOutputModule();
    if (!module)
        return;
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(NUVOutputModule::kBufferSize, format, args);
    va_end(args);
    module->Display("%s", text.c_str());
}
