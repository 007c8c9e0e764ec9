#include "core/base/fileutils.h"

#include "core/base/filewriter.h"
#include "core/base/outputmodule.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"
#include "portability/systemenv.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <random>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder in its own right, not a link to one: the walks below never leave the tree.
bool IsRealFolder(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

// Long walks let the graphical program repaint and record a cancel request.
void ProcessPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

std::vector<std::string> ListEntries(const std::string& folder)
{
    std::vector<std::string> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back(name);
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> ListSubFolders(const std::string& folder)
{
    std::vector<std::string> folders;
    for (const std::string& name : ListEntries(folder))
        if (IsFolder(JoinPath(folder, name)))
            folders.push_back(name);
    return folders;
}

namespace {

std::vector<std::string> ListRealSubFolders(const std::string& folder)
{
    std::vector<std::string> folders;
    for (const std::string& name : ListEntries(folder))
        if (IsRealFolder(JoinPath(folder, name)))
            folders.push_back(name);
    return folders;
}

// Replaces whatever is at path (a file, a link, an empty folder) by a link to target.
bool PlaceLink(const std::string& target, const std::string& path)
{
    if (IsRealFolder(path))
        (void)::rmdir(path.c_str());   // only an empty folder gives way; symlink reports the rest
    else if (EntryExists(path))
        (void)CSystemEnv::Instance().RemoveFile(path);
    return ::symlink(target.c_str(), path.c_str()) == 0;
}

// The copy goes block by block, never through a buffer of the whole file: a component may
// bring files of several hundred megabytes. The kernel copies between the two files itself
// where it can; otherwise a block at a time goes through this process.
bool CopyContent(int in, int out)
{
    bool inKernel = true;
    char block[65536];
    for (;;) {
        if (inKernel) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
            if (n > 0)
                continue;
            if (n == 0)
                return true;
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EBADF)
                return false;
            inKernel = false;   // the offsets stand where the kernel stopped
        }
        const ssize_t n = ::read(in, block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        for (ssize_t done = 0; done < n;) {
            const ssize_t written = ::write(out, block + done, size_t(n - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            done += written;
        }
    }
}

int OpenDestination(const std::string& path, mode_t mode)
{
    // A link standing where the file goes is replaced, never written through: the copy must
    // not change a file outside the destination tree.
    if (IsLink(path))
        (void)CSystemEnv::Instance().RemoveFile(path);
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
}

int CopyLink(const std::string& source, std::string destination)
{
    if (IsFolder(destination) && !IsLink(destination))
        destination = JoinPath(destination, BaseName(source));
    const std::string target = LinkTarget(source);
    if (target.empty()) {
        Trace("%s Can't open Source", source.c_str());
        return rc::CantOpenSource;
    }
    if (!PlaceLink(target, destination)) {
        Trace("%s Can't open Destination", destination.c_str());
        return rc::CantOpenDestination;
    }
    Trace("%s -> %s", source.c_str(), destination.c_str());
    return rc::Success;
}

int CopyFile(const std::string& source, std::string destination)
{
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        Trace("%s Can't open Source", source.c_str());
        return rc::CantOpenSource;
    }
    struct stat st;
    const bool known = ::fstat(in, &st) == 0;
    const mode_t mode = known ? (st.st_mode & 07777) : 0644;
    if (IsFolder(destination))
        destination = JoinPath(destination, BaseName(source));
    // Opening the file itself for writing would empty it before it is read.
    struct stat target;
    if (known && ::stat(destination.c_str(), &target) == 0 && target.st_dev == st.st_dev &&
        target.st_ino == st.st_ino) {
        Trace("%s and %s are the same file: nothing to copy", source.c_str(), destination.c_str());
        ::close(in);
        return rc::Success;
    }
    int out = OpenDestination(destination, mode);
    if (out < 0) {
        // The result is not checked: the second open decides.
        (void)MakeDirPath(DirName(destination));
        out = OpenDestination(destination, mode);
    }
    if (out < 0) {
        Trace("Sync File Copy Destination not opened (%s) : %d !!!", destination.c_str(), errno);
        Trace("%s Can't open Destination", destination.c_str());
        ::close(in);
        return rc::CantOpenDestination;
    }
    Trace("%s -> %s", source.c_str(), destination.c_str());
    int result = rc::Success;
    // The mode is set explicitly because open applies it only to a new file, through umask.
    if (!CopyContent(in, out) || ::fchmod(out, mode) != 0) {
        Trace("Sync File Copy failed : %s\n", std::strerror(errno));
        result = rc::InvalidCopying;
    }
    ::close(in);
    if (::close(out) != 0 && result == rc::Success) {
        Trace("Sync File Copy failed : %s\n", std::strerror(errno));
        result = rc::InvalidCopying;
    }
    return result;
}

// skip: the real path of the top destination folder, so that copying a folder into itself
// does not recurse into the copy it is making; empty for the top itself.
int CopyTreeBelow(const std::string& source, const std::string& destination, std::string skip)
{
    ProcessPendingEvents();
    const std::string last = BaseName(source);
    if (last == "." || last == "..") {
        Trace("%s = .. or .", source.c_str());
        return rc::InvalidCopying;
    }
    if (IsLink(source))
        return CopyLink(source, destination);
    // The caller may name a link as the destination, but below it a link to a folder is
    // replaced, never followed: the copy must not reach outside the destination tree.
    if (!skip.empty() && IsLink(destination))
        (void)CSystemEnv::Instance().RemoveFile(destination);   // the copy reports the outcome
    if (!IsRealFolder(source))
        return CopyFile(source, destination);

    if (EntryExists(destination) && !IsFolder(destination))
        (void)CSystemEnv::Instance().RemoveFile(destination);   // MakeDirPath reports the outcome
    const int made = MakeDirPath(destination);
    if (made != rc::Success && made != rc::DirectoryAlreadyExists)
        return rc::CantCreateDir;
    if (skip.empty())
        skip = RealPath(destination);
    int result = rc::Success;
    for (const std::string& name : ListEntries(source)) {
        const std::string from = JoinPath(source, name);
        if (!skip.empty() && RealPath(from) == skip)
            continue;
        const int copied = CopyTreeBelow(from, JoinPath(destination, name), skip);
        if (copied != rc::Success && result == rc::Success)
            result = copied;   // the walk goes on; the first failure is reported
    }
    return result;
}

// The first folder of XDG_DATA_DIRS + "/applications": where menu entries for all users live.
std::string MenuFolder()
{
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string first;
    if (dirs) {
        const std::string list = dirs;
        first = list.substr(0, list.find(':'));
    }
    if (first.empty())
        first = "/usr/local/share";
    return JoinPath(first, "applications");
}

// Escapes of the menu-entry string type.
std::string EscapeEntryValue(const std::string& value)
{
    std::string escaped;
    for (char c : value) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// A program path as one quoted argument of an Exec line; "%" would start a field code.
std::string QuoteExecArgument(const std::string& program)
{
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

std::string MenuEntry(const std::string& name, const std::string& target)
{
    std::string entry = "[Desktop Entry]\nType=Application\n";
    entry += "Name=" + EscapeEntryValue(BaseName(name)) + "\n";
    entry += "Exec=" + EscapeEntryValue(QuoteExecArgument(target)) + "\n";
    const size_t slash = target.rfind('/');
    if (slash != std::string::npos)
        entry += "Path=" + EscapeEntryValue(slash == 0 ? "/" : target.substr(0, slash)) + "\n";
    return entry;
}

std::string ReadSmallFile(const std::string& path)
{
    std::string content;
    return ReadFileBytes(path, &content) ? content : std::string();
}

}  // namespace

std::string ToNativeSeparators(const std::string& path) { return ToBackslashes(path); }

std::string WithoutQuotes(const std::string& text)
{
    std::string plain;
    for (char c : text)
        if (c != '"')
            plain += c;
    return plain;
}

bool LeavesFolder(const std::string& entry)
{
    if (!entry.empty() && (entry[0] == '/' || entry[0] == '\\'))
        return true;
    for (const std::string& part : SplitFields(ToBackslashes(entry), '/'))
        if (part == "..")
            return true;
    return false;
}

std::string WorkingDirectory() { return CSystemEnv::Instance().WorkingDir(); }

bool IsPartialFile(const std::string& name)
{
    const size_t length = sizeof kPartialSuffix - 1;
    return name.size() > length && name.compare(name.size() - length, length, kPartialSuffix) == 0;
}

int RemoveFile(const std::string& path)
{
    if (!EntryExists(path))
        return rc::FileDoesNotExist;
    return CSystemEnv::Instance().RemoveFile(path) ? rc::Success : rc::CannotRemoveFile;
}

int RemoveEmptyDir(const std::string& path)
{
    if (!IsFolder(path))
        return rc::LocationDoesNotExist;
    if (::rmdir(path.c_str()) == 0)
        return rc::Success;
    return (errno == ENOTEMPTY || errno == EEXIST) ? rc::DirNotEmpty : rc::CannotRemoveDir;
}

int MakeDirPath(const std::string& path)
{
    if (IsFolder(ToNativeSeparators(path)))
        return rc::DirectoryAlreadyExists;
    const std::string unquoted = WithoutQuotes(ToNativeSeparators(path));
    int result = rc::Success;
    std::string built;
    // An absolute path keeps its leading "/"; only the root itself is never created.
    if (!unquoted.empty() && unquoted[0] == '/')
        built = "/";
    for (const std::string& part : SplitFields(unquoted, '/')) {
        if (!built.empty() && built.back() != '/')
            built += '/';
        built += part;
        if (IsFolder(built))
            continue;
        if (::mkdir(built.c_str(), 0777) != 0 && !IsFolder(built)) {
            Trace("MakeDirPath: cannot create %s: errno %d", built.c_str(), errno);
            result = rc::FailedCreatingDir;
        }
    }
    return result;
}

int DeleteFileTree(const std::string& given)
{
    Trace("DeleteFileTree( %s )", given.c_str());
    // "link/" would make the tests below look through the link and empty its target.
    std::string path = given;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    ProcessPendingEvents();
    if (path == "." || path == "..")
        return rc::InvalidTreeName;
    if (EntryExists(path) && !IsRealFolder(path))
        return DeleteFileEntry(path);
    for (const std::string& name : ListEntries(path)) {
        const int result = DeleteFileTree(JoinPath(path, name));
        if (result != rc::Success)
            return result;
    }
    const int removed = RemoveEmptyDir(path);
    if (removed == rc::Success || removed == rc::LocationDoesNotExist)
        return rc::Success;
    Trace("Could not delete %s (DIR) ", path.c_str());
    return rc::CannotRemoveDir;
}

int DeleteFileEntry(const std::string& path)
{
    Trace("Deleting file( %s )", path.c_str());
    if (CSystemEnv::Instance().RemoveFile(path))
        return rc::Success;
    Trace("Could not delete %s (FILE)", path.c_str());
    NUVDisplay("Unable to remove file: %s\n", path.c_str());
    return rc::CannotRemoveFile;
}

int CopyTree(const std::string& source, const std::string& destination)
{
    return CopyTreeBelow(source, destination, std::string());
}

bool MoveFileIntoPlace(const std::string& source, const std::string& destination)
{
    ProcessPendingEvents();
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) != 0)
        return false;
    (void)::utimensat(AT_FDCWD, destination.c_str(), nullptr, 0);   // best effort
    Trace("%s => %s", source.c_str(), destination.c_str());
    return true;
}

namespace {

int ClearEmptyFoldersBelow(const std::string& path)
{
    ProcessPendingEvents();
    int result = rc::Success;
    for (const std::string& name : ListRealSubFolders(path))
        result = ClearEmptyFoldersBelow(JoinPath(path, name));
    if (ListRealSubFolders(path).empty())
        (void)RemoveEmptyDir(path);   // a folder that still holds files stays, as intended
    return result;
}

}  // namespace

int ClearEmptyFolders(const std::string& path)
{
    // The start folder may itself be a link (a root on another disk); only links below it are
    // never walked through.
    if (!IsFolder(path))
        return rc::PathInvalid;
    return ClearEmptyFoldersBelow(path);
}

bool CreateStartMenuShortcut(const std::string& name, const std::string& target)
{
    const std::string entryName = ToNativeSeparators(name);
    const std::string file = JoinPath(MenuFolder(), entryName + ".desktop");
    const int made = MakeDirPath(DirName(file));
    if (made != rc::Success && made != rc::DirectoryAlreadyExists) {
        Trace("CreateStartMenuShortcut: cannot create the folder of %s", file.c_str());
        return false;
    }
    const std::string native = ToNativeSeparators(target);
    if (!WriteFileAtomically(file, MenuEntry(entryName, native), 0644)) {
        Trace("CreateStartMenuShortcut: cannot write %s", file.c_str());
        return false;
    }
    Trace("CreateStartMenuShortcut: %s -> %s", file.c_str(), native.c_str());
    return true;
}

bool DeleteStartMenuShortcut(const std::string& name, int* error)
{
    if (error)
        *error = 0;
    const std::string entryName = ToNativeSeparators(name);
    const std::string file = JoinPath(MenuFolder(), entryName);
    bool deleted = true;
    if (!CSystemEnv::Instance().RemoveFile(file)) {
        const int err = errno;
        if (error)
            *error = err;
        deleted = err == ENOENT || err == ENOTDIR;
        Trace("DeleteStartMenuShortcut: %s: %s", file.c_str(), std::strerror(err));
    }
    // Only a sub-folder the entry lived in goes; the menu folder itself belongs to the system.
    if (entryName.find('/') != std::string::npos)
        (void)::rmdir(DirName(file).c_str());
    return deleted;
}

bool IsProcessRunning(const std::string& name)
{
    std::vector<std::string> wanted = {name};
    const std::string exe = ".exe";
    if (name.size() > exe.size() && name.compare(name.size() - exe.size(), exe.size(), exe) == 0)
        wanted.push_back(name.substr(0, name.size() - exe.size()));
    for (const std::string& pid : ListEntries("/proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string folder = "/proc/" + pid;
        std::string comm = ReadSmallFile(folder + "/comm");
        if (!comm.empty() && comm.back() == '\n')
            comm.pop_back();
        std::string program = BaseName(LinkTarget(folder + "/exe"));
        const std::string deleted = " (deleted)";
        if (program.size() > deleted.size() &&
            program.compare(program.size() - deleted.size(), deleted.size(), deleted) == 0)
            program.resize(program.size() - deleted.size());
        for (const std::string& candidate : wanted)
            if (comm == candidate || program == candidate)
                return true;
    }
    return false;
}

int CreateLink(const std::string& folder, const std::string& target, const std::string& link)
{
    const int made = MakeDirPath(folder);
    if (made != rc::Success && made != rc::DirectoryAlreadyExists)
        return rc::CantOpenDestination;
    const std::string path = JoinPath(folder, link);
    if (!PlaceLink(target, path)) {
        Trace("CreateLink: %s -> %s failed: %s", path.c_str(), target.c_str(), std::strerror(errno));
        return rc::CantOpenDestination;
    }
    Trace("CreateLink: %s -> %s", path.c_str(), target.c_str());
    return rc::Success;
}

std::string FindPathIgnoringCase(const std::string& path)
{
    if (path.empty())
        return std::string();
    if (EntryExists(path))
        return path;
    std::string found = path[0] == '/' ? "/" : "";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        const std::string folder = found.empty() ? "." : found;
        const std::string exact = found == "/" ? found + part : JoinPath(found, part);
        if (EntryExists(exact)) {
            found = exact;
            continue;
        }
        std::string match;
        for (const std::string& name : ListEntries(folder)) {
            if (ToLower(name) != ToLower(part))
                continue;
            if (!match.empty()) {
                Trace("FindPathIgnoringCase: %s matches several entries of %s", part.c_str(),
                      folder.c_str());
                return std::string();
            }
            match = name;
        }
        if (match.empty())
            return std::string();
        found = found == "/" ? found + match : JoinPath(found, match);
    }
    return found;
}

std::string LinkTarget(const std::string& path)
{
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), &buffer[0], buffer.size());
    if (n < 0)
        return std::string();
    buffer.resize(size_t(n));
    return buffer;
}

std::vector<std::string> SupportedSystems() { return {"Debian 12 or above"}; }

std::string RealPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::string();
    std::string result = resolved;
    std::free(resolved);
    return result;
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EntryExists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsLink(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsPermissionError(int error) { return error == EACCES || error == EPERM; }

bool CanCreateFileIn(const std::string& folder, int* error)
{
    // A fixed probe name would let a link planted there make a privileged run truncate the
    // file it points to, and would delete a file of that name. The probe gets a name nobody
    // holds, is made only when nothing is there (never through a link) and goes by the name it
    // was made under only while that name is still the file this run made.
    static std::random_device source;
    const std::string stem = JoinPath(folder, ".nuvprobe." + std::to_string(::getpid()) + ".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = stem + std::to_string(source());
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            *error = errno;
            return false;
        }
        struct stat made, named;
        if (::fstat(fd, &made) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            made.st_dev == named.st_dev && made.st_ino == named.st_ino &&
            ::unlink(path.c_str()) != 0)
            Trace("Failed to remove %s: %s", path.c_str(), std::strerror(errno));
        ::close(fd);
        return true;
    }
    *error = EEXIST;
    return false;
}

namespace {

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
    for (std::string level = path; !level.empty() && !EntryExists(level); level = DirName(level))
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

int TestRootPermissions(const std::string& root)
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
    const bool writable = CanCreateFileIn(folder, &error);
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
