#include "core/operations/fileutils.h"

#include "core/resultcodes.h"
#include "core/textutil.h"
#include "core/trace.h"
#include "portability/systemenv.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EntryExists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string ToNativeSeparators(const std::string& path) { return ToBackslashes(path); }

std::string WorkingDirectory() { return CSystemEnv::Instance().WorkingDir(); }

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
    if (IsFolder(path))
        return rc::DirectoryAlreadyExists;
    std::string unquoted;
    for (char c : ToNativeSeparators(path))
        if (c != '"')
            unquoted += c;
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
