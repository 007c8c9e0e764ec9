#include "core/catalogue/cache.h"

#include "core/operations/fileutils.h"
#include "core/resultcodes.h"
#include "core/textutil.h"
#include "core/trace.h"

std::string GetCacheFolder(int platform)
{
    switch (platform) {
    case 1: return "cache/Windows";
    case 2: return "cache/Linux";
    case 3: return "cache/Solaris";
    default: return "cache";
    }
}

int CreateCacheFolders(const std::string& root)
{
    static const struct { int platform; int failure; const char* message; } kFolders[] = {
        {0, rc::CacheDirCreateFailed, "Failed to Create Cache dir: %d"},
        {1, rc::CacheWindowsDirCreateFailed, "Failed to Create Cache/Windows dir: %d"},
        {2, rc::CacheLinuxDirCreateFailed, "Failed to Create Cache/Linux dir: %d"},
        {3, rc::CacheSolarisDirCreateFailed, "Failed to Create Cache/Solaris dir: %d"}};
    for (const auto& folder : kFolders) {
        const int result = MakeDirPath(JoinPath(root, GetCacheFolder(folder.platform)));
        if (result != rc::Success && result != rc::DirectoryAlreadyExists) {
            Trace(folder.message, result);
            return folder.failure;
        }
    }
    return rc::Success;
}
