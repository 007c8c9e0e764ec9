#include "core/catalogue/cache.h"

#include "core/catalogue/packagestore.h"
#include "core/base/fileutils.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

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

namespace {

std::unique_ptr<CCacheList>& CacheSlot()
{
    static std::unique_ptr<CCacheList> list;
    return list;
}

// The entries of folder that are no folders, sorted by name; partial is true for the
// unfinished downloads, false for the rest.
std::vector<std::string> ListFiles(const std::string& folder, bool partial)
{
    std::vector<std::string> names;
    for (const std::string& name : ListEntries(folder))
        if (IsPartialFile(name) == partial && !IsFolder(JoinPath(folder, name)))
            names.push_back(name);
    return names;
}

// Removes what unfinished downloads left in the cache folders.
void DeletePartialFiles()
{
    for (int platform = 0; platform <= 3; ++platform) {
        const std::string folder = GetCacheFolder(platform);
        for (const std::string& name : ListFiles(folder, true))
            (void)RemoveFile(JoinPath(folder, name));
    }
}

}  // namespace

CCacheList* CCacheList::instance()
{
    std::unique_ptr<CCacheList>& list = CacheSlot();
    if (!list) {
        list.reset(new CCacheList());
        list->RefreshCacheList();
    }
    return list.get();
}

void CCacheList::destroy() { CacheSlot().reset(); }

CacheEntry* CCacheList::FindEntry(const std::string& fileName)
{
    const auto it = m_FirstByName.find(fileName);
    return it == m_FirstByName.end() ? nullptr : &m_Entries[it->second];
}

void CCacheList::RefreshCacheList()
{
    m_Entries.clear();
    m_FirstByName.clear();
    for (int platform = 0; platform <= 3; ++platform) {
        const std::string folder = GetCacheFolder(platform);
        // Every file is listed, also a name already met in an earlier folder; packages are
        // attached to the first of them only. An unfinished download is no archive.
        for (const std::string& name : ListFiles(folder, false)) {
            m_FirstByName.emplace(name, m_Entries.size());
            m_Entries.push_back(CacheEntry{name, {}, folder + "/"});
        }
    }
    for (const std::string& package : ListSubFolders(CPackageStore::kFolder)) {
        std::vector<std::string> lines;
        const std::string state =
            JoinPath(CPackageStore::PackageFolder(package), CPackageStore::kStateFile);
        if (!ReadLines(state, &lines))
            continue;
        for (const std::string& line : lines) {
            if (line.find("downloadedpackage=") == std::string::npos)
                continue;
            const std::string fileName = line.substr(line.find('=') + 1);
            if (CacheEntry* entry = FindEntry(fileName))
                entry->packages.push_back(package);
        }
    }
}

std::vector<CacheEntry> CCacheList::GetAttached() const
{
    std::vector<CacheEntry> attached;
    for (const CacheEntry& entry : m_Entries)
        if (!entry.packages.empty())
            attached.push_back(entry);
    return attached;
}

std::vector<CacheEntry> CCacheList::GetUnattached() const
{
    std::vector<CacheEntry> unattached;
    for (const CacheEntry& entry : m_Entries)
        if (entry.packages.empty())
            unattached.push_back(entry);
    return unattached;
}

void CCacheList::AddCacheEntry(const std::string& fileName, const std::string& package,
                               const std::string& folder)
{
    CacheEntry* entry = FindEntry(fileName);
    if (!entry) {
        m_FirstByName.emplace(fileName, m_Entries.size());
        m_Entries.push_back(CacheEntry{fileName, {}, folder});
        entry = &m_Entries.back();
    }
    if (!package.empty())
        entry->packages.push_back(package);
}

void CCacheList::DeleteFiles(const std::vector<CacheEntry>& entries)
{
    // A file that cannot be removed stays; the caller refreshes the list and sees it.
    for (const CacheEntry& entry : entries)
        (void)RemoveFile(entry.folder + entry.fileName);
}

int CCacheList::DeleteAllCacheFiles()
{
    DeleteFiles(GetAttached());
    DeleteFiles(GetUnattached());
    DeletePartialFiles();
    return rc::Success;
}

int CCacheList::DeleteUnattachedCacheFiles()
{
    DeleteFiles(GetUnattached());
    DeletePartialFiles();
    return rc::Success;
}
