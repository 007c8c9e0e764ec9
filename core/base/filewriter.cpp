#include "core/base/filewriter.h"

#include "core/base/fileutils.h"
#include "core/base/outputmodule.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"
#include "portability/systemenv.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t TargetMode(const std::string& path, int mode)
{
    if (mode >= 0)
        return mode_t(mode);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return st.st_mode & 07777;
    return 0644;
}

constexpr size_t kTemporarySuffix = 7;   // "." and the six characters mkstemp fills in

/// The file name a temporary of WriteFileAtomically stands in for; empty for other names.
std::string TemporaryTarget(const std::string& name)
{
    if (name.size() <= kTemporarySuffix || name[name.size() - kTemporarySuffix] != '.')
        return std::string();
    for (size_t i = name.size() - kTemporarySuffix + 1; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return std::string();
    return name.substr(0, name.size() - kTemporarySuffix);
}

void SyncFolder(const std::string& path)
{
    const std::string folder = DirName(path);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)CSystemEnv::Instance().SyncFile(fd);   // best effort: the rename already happened
    ::close(fd);
}

/// True when path is a regular file that holds content already, with the permission bits
/// asked for: rewriting it would change nothing but cost two syncs.
bool AlreadyHolds(const std::string& path, const std::string& content, int mode)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size != off_t(content.size()) || (mode >= 0 && (st.st_mode & 07777) != mode_t(mode)))
        return false;
    std::string present;
    return ReadFileBytes(path, &present) && present == content;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& content, int mode,
                         int* error)
{
    if (AlreadyHolds(path, content, mode))
        return true;
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(&temp[0]);
    if (fd < 0) {
        const int failure = errno;
        Trace("WriteFileAtomically: cannot create temporary file for %s: %s", path.c_str(),
              std::strerror(failure));
        if (error)
            *error = failure;
        return false;
    }
    // The content must be on the disk before the rename makes it the file: renamed first, a
    // power cut could leave an empty file in place of the old one.
    const bool written = WriteAllBytes(fd, content) && ::fchmod(fd, TargetMode(path, mode)) == 0 &&
                         CSystemEnv::Instance().SyncFile(fd);
    int failure = written ? 0 : errno;
    const bool closed = ::close(fd) == 0;
    if (written && !closed)
        failure = errno;
    if (failure == 0 && ::rename(temp.c_str(), path.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        Trace("WriteFileAtomically: writing %s failed: %s", path.c_str(), std::strerror(failure));
        ::unlink(temp.c_str());
        if (error)
            *error = failure;
        return false;
    }
    SyncFolder(path);
    return true;
}

bool SaveFile(const std::string& path, const std::string& content, int mode)
{
    int error = 0;
    if (WriteFileAtomically(path, content, mode, &error))
        return true;
    NUVDisplay("Cannot save %s: %s\n", path.c_str(),
               std::strerror(error != 0 ? error : EIO));
    return false;
}

bool WriteAllBytes(int fd, const std::string& content)
{
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

int RemoveStaleTemporaries(const std::string& folder,
                           const std::function<bool(const std::string& target)>& ownFile)
{
    int removed = 0;
    for (const std::string& name : ListEntries(folder)) {
        const std::string target = TemporaryTarget(name);
        const std::string path = JoinPath(folder, name);
        struct stat st;
        if (target.empty() || !ownFile(target) || ::lstat(path.c_str(), &st) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        if (::unlink(path.c_str()) == 0) {
            Trace("Removed %s, left by an interrupted write", path.c_str());
            ++removed;
        }
    }
    return removed;
}

int SyncCloseAndRename(int fd, const std::string& from, const std::string& to)
{
    int failure = CSystemEnv::Instance().SyncFile(fd) ? 0 : errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(from.c_str(), to.c_str()) != 0)
        failure = errno;
    if (failure != 0)
        ::unlink(from.c_str());
    return failure;
}
