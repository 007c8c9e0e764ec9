#pragma once

#include <sys/stat.h>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

/// Copies a component's files from its unpacked archive into the installation folder, or
/// removes them again, as the component's file list says.
///
/// A file list is text, one entry per line, blanks around it ignored. A line holding "=" sets
/// the prefix (the text after "="; before it a free label): following entries must begin with
/// it, it is cut off, and the files lie below that folder of the unpacked archive. Without a
/// prefix line entries are plain paths relative to the archive's top folder. Entries are
/// always relative to the installation folder: one that would climb out of it with ".." is
/// refused before anything is copied or removed. A symbolic link the component brings (an
/// entry whose archive source is a link) is never written or deleted through when it leads
/// out of the installation folder; links the administrator made there are gone through as
/// folders.
///
/// A local object of one install or uninstall step: given one list path, used for one
/// SyncFiles and discarded. Runs on the calling thread without an event loop of its own.
class CFileSync {
public:
    enum : int { kInstall = 1, kUninstall = 2 };

    /// extractionFolder is the component's unpacked archive (its cache folder + "/" + name);
    /// only the install operation reads from it.
    explicit CFileSync(const std::string& extractionFolder = std::string());

    void SetInstallListPath(const std::string& path) { m_InstallListPath = path; }
    void SetUninstallListPath(const std::string& path) { m_UninstallListPath = path; }

    /// Operation kInstall copies every listed entry (each path once, in list order) from the
    /// extraction folder into installationFolder: folders are created, symbolic links
    /// re-created as links to the same target, files copied keeping their permission bits plus
    /// owner read and write. kUninstall removes every listed file or link from
    /// installationFolder; folders stay (empty ones are cleared by the caller).
    /// 0, also for a missing or empty list; 65 unknown operation; 61 (install list) or 60
    /// (uninstall list) an entry outside its prefix, or an entry or prefix that climbs out of
    /// its folder, and then nothing was touched; 55 a source is missing; the copy's code
    /// (54-57), the folder creation's (62) or the deletion's (36, 37). The first failing entry
    /// stops the walk; what was copied or removed before it stays. ErrorText() says why.
    int SyncFiles(const std::string& installationFolder, int operation);

    /// Lets kInstall move a file out of the extraction folder rather than copy it, for an
    /// unpacked archive nothing reads after the sync. Only a plain file of one name that no
    /// other entry reads, reached through real folders of the archive and not below keep (a
    /// path as the extraction folder's is given), is moved, and only onto a free name on the
    /// same file system; everything else is copied.
    void AllowMoving(const std::string& keep);

    /// The reason of the last failure, for the user; empty when there is none to give.
    const std::string& ErrorText() const { return m_ErrorText; }

    /// Undoes the last kInstall: removes, last first, every file and link it placed in
    /// installationFolder, and nothing else (entries it never reached stay, whoever they
    /// belong to). 0, or the first deletion's code (36, 37).
    int RemovePlaced(const std::string& installationFolder);

private:
    struct Entry {
        std::string prefix;   // the folder of the unpacked archive the file lies below
        std::string path;     // relative to the installation folder
    };

    /// Reads the install list into m_InstallEntries, dropping repeated paths.
    int ReadInstalledFiles();
    /// Reads the uninstall list into m_UninstallEntries, keeping repeated paths.
    int ReadUninstalledFiles();
    /// Parses the lines of a list, keeping the current prefix in *prefix. outsideCode is
    /// returned for an entry that does not begin with the prefix or that climbs out of its
    /// folder, and for an install prefix that climbs out of the unpacked archive.
    int ParseList(const std::vector<std::string>& lines, int outsideCode, bool install,
                  std::string* prefix, std::vector<Entry>* entries);

    int InstallEntries(const std::string& installationFolder);
    int InstallEntry(const std::string& installationFolder, const Entry& entry);
    int UninstallEntries(const std::string& installationFolder);
    /// The archive source of an install entry.
    std::string SourceOf(const Entry& entry) const;
    /// True when source (st: its lstat) may be moved rather than copied.
    bool MayMove(const std::string& source, const struct stat& st);
    /// True when every folder between the extraction folder and source is a real folder.
    bool ReachedThroughFolders(const std::string& source);

    std::string m_ExtractionFolder;
    std::string m_InstallListPath;
    std::string m_UninstallListPath;
    std::string m_InstallPrefix;
    std::string m_UninstallPrefix;
    std::string m_ErrorText;
    std::vector<Entry> m_InstallEntries;
    std::vector<Entry> m_UninstallEntries;
    std::vector<std::string> m_Placed;   // files and links the last install put in place
    std::unordered_set<std::string> m_ComponentLinks;   // entries the archive holds as links
    bool m_MayMove = false;
    std::string m_Keep;   // what is never moved
    std::unordered_map<std::string, int> m_SourceUses;   // archive source -> entries reading it
    std::unordered_map<std::string, bool> m_RealFolders;   // folders of the archive checked
};
