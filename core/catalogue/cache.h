#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

/// Cache folder of a platform number, relative to a root: "cache/Windows" (1), "cache/Linux"
/// (2), "cache/Solaris" (3), "cache" otherwise.
std::string GetCacheFolder(int platform);

/// Creates root/cache and its three platform folders. 0 (also when they existed), or 111, 112,
/// 113, 114 for the first folder that could not be made.
int CreateCacheFolders(const std::string& root);

/// One file of the component cache and the packages whose downloaded-state files name it.
struct CacheEntry {
    std::string fileName;               // without folder
    std::vector<std::string> packages;  // in the order found; may repeat a name
    std::string folder;                 // cache folder with a trailing "/", relative to the
                                        // working directory
};

/// The files of the component cache, with the packages that reference each. One per process,
/// filled from the disk on first use; afterwards it changes only by refreshing and by the
/// entries downloads add. All paths are relative to the working directory.
class CCacheList {
public:
    /// The list, created and refreshed on first use.
    static CCacheList* instance();
    /// Deletes the list; the next instance() reads the disk again.
    static void destroy();

    CCacheList(const CCacheList&) = delete;
    CCacheList& operator=(const CCacheList&) = delete;

    /// Lists the plain files of "cache" and its Windows, Linux and Solaris folders (in that
    /// order, each by name; the partial files of unfinished downloads are no entries) and attaches to each the packages whose "packages.dat" names it in
    /// a "downloadedpackage=" line. A name found in two folders is attached to the first only.
    void RefreshCacheList();
    const std::vector<CacheEntry>& GetEntries() const { return m_Entries; }
    /// Entries referenced by at least one package, in list order.
    std::vector<CacheEntry> GetAttached() const;
    /// Entries referenced by no package, in list order.
    std::vector<CacheEntry> GetUnattached() const;
    /// Adds package to the entry of fileName, or appends a new entry in folder. An empty
    /// package name is not recorded.
    void AddCacheEntry(const std::string& fileName, const std::string& package,
                       const std::string& folder);
    /// Deletes the file of every entry that exists, and every partial file of an unfinished
    /// download; the list is left as it is. Always 0.
    int DeleteAllCacheFiles();
    /// Deletes the files of the unattached entries and every partial file only. Always 0.
    int DeleteUnattachedCacheFiles();

private:
    CCacheList() = default;
    CacheEntry* FindEntry(const std::string& fileName);
    static void DeleteFiles(const std::vector<CacheEntry>& entries);

    std::vector<CacheEntry> m_Entries;
    std::unordered_map<std::string, size_t> m_FirstByName;   // file name -> first entry
};
