#include "core/operations/filesync.h"

#include "core/base/fileutils.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unordered_set>

namespace {

bool StatEntry(const std::string& path, struct stat* st) { return ::lstat(path.c_str(), st) == 0; }

// A window stays responsive through the removal of a large component without paying an event
// loop pass per file: a few dozen unlinks take a millisecond or two.
constexpr size_t kEntriesBetweenEvents = 64;

// The entry as a plain relative path: separators of either kind become "/", empty and "."
// parts go and ".." takes the part before it away, so that an entry always stays relative to
// its folder. False when ".." would climb above that folder.
bool NormalRelative(const std::string& text, std::string* relative)
{
    std::vector<std::string> parts;
    for (const std::string& part : SplitFields(ToBackslashes(text), '/')) {
        if (part == "..") {
            if (parts.empty())
                return false;
            parts.pop_back();
        } else if (part != ".") {
            parts.push_back(part);
        }
    }
    relative->clear();
    for (const std::string& part : parts)
        *relative = JoinPath(*relative, part);
    return true;
}

// The prefix of a prefix line: the piece after "=", quote-aware. "label=" leaves no prefix.
std::string PrefixOf(const std::string& line)
{
    const std::vector<std::string> pieces = SplitFields(line, '=');
    if (!line.empty() && line[0] == '=')
        return pieces.empty() ? std::string() : pieces[0];
    return pieces.size() < 2 ? std::string() : pieces[1];
}

using PathSet = std::unordered_set<std::string>;

// A component may bring a symbolic link (a list entry whose archive source is a link) where a
// folder of another entry goes. Writing or deleting through such a link must not reach
// anything outside the installation folder. Links the administrator made in the root (a data
// folder on another disk, say) are no entries of the list and are gone through as folders.
bool StaysInside(const std::string& root, const std::string& relative,
                 const PathSet& componentLinks)
{
    if (componentLinks.empty())
        return true;   // the common case, checked without touching the disk
    std::string walked;
    for (const std::string& part : SplitFields(DirName(relative), '/')) {
        walked = JoinPath(walked, part);
        const std::string current = JoinPath(root, walked);
        if (componentLinks.count(walked) == 0 || !IsLink(current))
            continue;
        const std::string realRoot = RealPath(root);
        if (realRoot.empty() || realRoot == "/")
            return true;   // nothing can lie below a missing root yet
        const std::string real = RealPath(current);
        if (real != realRoot && real.compare(0, realRoot.size() + 1, realRoot + "/") != 0)
            return false;
    }
    return true;
}

std::string CopyErrorText(int code, const std::string& source, const std::string& destination)
{
    switch (code) {
    case rc::Success: return std::string();
    case rc::InvalidCopying: return "Failed copying " + source + " to " + destination;
    case rc::CantOpenSource: return "Could not read " + source;
    case rc::CantOpenDestination: return "Could not open " + destination;
    case rc::CantCreateDir:
        return "Failed creating directory structure when copying " + source + " to " + destination;
    default: return "Copy tree - unknown error";
    }
}

// Installed files must stay writable by their owner so that the next upgrade can replace
// them; the execute bits of programs and scripts are kept.
void AddOwnerReadWrite(const std::string& path)
{
    struct stat st;
    const mode_t wanted = S_IRUSR | S_IWUSR;
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & wanted) != wanted)
        (void)::chmod(path.c_str(), (st.st_mode & 07777) | wanted);   // best effort
}

}  // namespace

CFileSync::CFileSync(const std::string& extractionFolder) : m_ExtractionFolder(extractionFolder) {}

int CFileSync::SyncFiles(const std::string& installationFolder, int operation)
{
    EnterScope("CFileSync::SyncFiles");
    Trace("%s, %d", installationFolder.c_str(), operation);
    int result = rc::Success;
    if (operation == kInstall) {
        result = ReadInstalledFiles();
    } else if (operation == kUninstall) {
        result = ReadUninstalledFiles();
    } else {
        m_ErrorText = "Unknown Filesync operatation";
        result = rc::UnknownFileSyncOperation;
    }
    if (result != rc::Success) {
        ExitScope("CFileSync::SyncFiles (ReadFiles failed)");
        return result;
    }
    result = operation == kInstall ? InstallEntries(installationFolder)
                                   : UninstallEntries(installationFolder);
    ExitScope("CFileSync::SyncFiles");
    return result;
}

int CFileSync::ReadInstalledFiles()
{
    Trace("CFileSync::ReadInstalledFiles() : %s", m_InstallListPath.c_str());
    m_InstallPrefix.clear();
    m_InstallEntries.clear();
    const std::string path = FindPathIgnoringCase(m_InstallListPath);
    std::string text;
    if (path.empty() || !ReadFileBytes(path, &text) || text.empty()) {
        Trace("\tEmpty file");
        return rc::Success;
    }
    return ParseList(SplitLines(text), rc::ReadingInstallScriptFailed, true, &m_InstallPrefix,
                     &m_InstallEntries);
}

int CFileSync::ReadUninstalledFiles()
{
    Trace("CFileSync::ReadUninstalledFiles()");
    m_UninstallPrefix.clear();
    m_UninstallEntries.clear();
    if (m_UninstallListPath.empty()) {
        Trace("\tEmpty file");
        m_ErrorText = "Uninstall File list filename invalid";
        return rc::Success;
    }
    const std::string path = FindPathIgnoringCase(m_UninstallListPath);
    std::string text;
    if (path.empty() || !ReadFileBytes(path, &text) || text.empty()) {
        Trace("\tEmpty file");
        m_ErrorText = "Uninstall File empty";
        return rc::Success;
    }
    return ParseList(SplitLines(text), rc::ReadingUninstallScriptFailed, false,
                     &m_UninstallPrefix, &m_UninstallEntries);
}

int CFileSync::ParseList(const std::vector<std::string>& lines, int outsideCode, bool install,
                         std::string* prefix, std::vector<Entry>* entries)
{
    std::unordered_set<std::string> seen;
    for (const std::string& raw : lines) {
        const std::string line = TrimSpaces(raw);
        if (line.find('=') != std::string::npos) {
            *prefix = PrefixOf(line);
            std::string folder;
            if (install && !NormalRelative(*prefix, &folder)) {
                Trace("File list prefix leaves the unpacked archive: %s", prefix->c_str());
                m_ErrorText = *prefix + ": file list prefix leaves the unpacked archive";
                return outsideCode;
            }
            continue;
        }
        if (line.size() < prefix->size())
            continue;
        if (line.compare(0, prefix->size(), *prefix) != 0)
            return outsideCode;
        std::string relative;
        if (!NormalRelative(line.substr(prefix->size()), &relative)) {
            Trace("File list entry leaves the installation folder: %s", line.c_str());
            m_ErrorText = line + ": file list entry leaves the installation folder";
            return outsideCode;
        }
        if (relative.empty())
            continue;
        if (install && !seen.insert(relative).second)
            continue;
        if (install)
            Trace("File to install: %s", relative.c_str());
        std::string folder;
        (void)NormalRelative(*prefix, &folder);   // an install prefix was checked when read
        entries->push_back({folder, relative});
    }
    return rc::Success;
}

std::string CFileSync::SourceOf(const Entry& entry) const
{
    const std::string folder =
        entry.prefix.empty() ? m_ExtractionFolder : JoinPath(m_ExtractionFolder, entry.prefix);
    return JoinPath(folder, entry.path);
}

void CFileSync::AllowMoving(const std::string& keep)
{
    m_MayMove = true;
    m_Keep = keep;
}

bool CFileSync::MayMove(const std::string& source, const struct stat& st)
{
    // A second name of the file (a hard link) would see it go; another entry would miss it.
    if (!m_MayMove || !S_ISREG(st.st_mode) || st.st_nlink != 1 || m_SourceUses[source] != 1)
        return false;
    if (!m_Keep.empty() && (source == m_Keep || source.compare(0, m_Keep.size() + 1, m_Keep + "/") == 0))
        return false;
    return ReachedThroughFolders(source);
}

// A link inside the unpacked archive may lead anywhere, even out of it: a file reached through
// one is copied, never taken away from where the link points.
bool CFileSync::ReachedThroughFolders(const std::string& source)
{
    if (source.compare(0, m_ExtractionFolder.size() + 1, m_ExtractionFolder + "/") != 0)
        return false;
    std::string folder = m_ExtractionFolder;
    const std::string inside = DirName(source.substr(m_ExtractionFolder.size() + 1));
    for (const std::string& part : SplitFields(inside, '/')) {
        folder = JoinPath(folder, part);
        const auto known = m_RealFolders.find(folder);
        struct stat st;
        const bool real = known != m_RealFolders.end()
                              ? known->second
                              : StatEntry(folder, &st) && S_ISDIR(st.st_mode);
        m_RealFolders.emplace(folder, real);
        if (!real)
            return false;
    }
    return true;
}

int CFileSync::InstallEntries(const std::string& installationFolder)
{
    Trace("Number of files to install: %d", int(m_InstallEntries.size()));
    m_Placed.clear();
    m_ComponentLinks.clear();
    m_SourceUses.clear();
    m_RealFolders.clear();
    for (const Entry& entry : m_InstallEntries) {
        const std::string source = SourceOf(entry);
        if (IsLink(source))
            m_ComponentLinks.insert(entry.path);
        if (m_MayMove)
            ++m_SourceUses[source];
    }
    for (const Entry& entry : m_InstallEntries) {
        const int result = InstallEntry(installationFolder, entry);
        if (result != rc::Success) {
            Trace("CFileSync::SyncFiles Error = %d", result);
            return result;
        }
    }
    return rc::Success;
}

int CFileSync::RemovePlaced(const std::string& installationFolder)
{
    for (auto it = m_Placed.rbegin(); it != m_Placed.rend(); ++it) {
        const int deleted = DeleteFileTree(JoinPath(installationFolder, *it));
        if (deleted != rc::Success)
            return deleted;
    }
    m_Placed.clear();
    return rc::Success;
}

int CFileSync::InstallEntry(const std::string& installationFolder, const Entry& entry)
{
    const std::string source = SourceOf(entry);
    const std::string destination = JoinPath(installationFolder, entry.path);
    struct stat st;
    if (!StatEntry(source, &st)) {
        m_ErrorText = source + ": source file not found";
        Trace("%s Does Not exists!!!!!", source.c_str());
        return rc::CantOpenSource;
    }
    if (!StaysInside(installationFolder, entry.path, m_ComponentLinks)) {
        Trace("%s lies behind a link that leaves the installation folder", destination.c_str());
        m_ErrorText = destination + ": lies behind a link that leaves the installation folder";
        return rc::CantOpenDestination;
    }
    if (S_ISDIR(st.st_mode)) {
        const int made = MakeDirPath(destination);
        if (made == rc::Success || made == rc::DirectoryAlreadyExists)
            return rc::Success;
        m_ErrorText = "Failed creating directory " + destination;
        return made;
    }
    if (S_ISLNK(st.st_mode)) {
        const std::string target = LinkTarget(source);
        if (target.empty()) {
            m_ErrorText = CopyErrorText(rc::CantOpenSource, source, destination);
            return rc::CantOpenSource;
        }
        const int linked = CreateLink(DirName(destination), target, BaseName(destination));
        m_ErrorText = CopyErrorText(linked, source, destination);
        if (linked == rc::Success)
            m_Placed.push_back(entry.path);
        return linked;
    }
    // A link left where a file now goes (an older version's, say) is replaced: followed to a
    // folder, the copy would write wherever it points.
    if (IsLink(destination))
        (void)RemoveFile(destination);   // the copy reports a link that stays
    if (MayMove(source, st) && MoveFileIntoPlace(source, destination)) {
        m_ErrorText.clear();
        AddOwnerReadWrite(destination);
        m_Placed.push_back(entry.path);
        return rc::Success;
    }
    int copied = CopyTree(source, destination);
    if (copied == rc::DirectoryAlreadyExists)
        copied = rc::Success;
    m_ErrorText = CopyErrorText(copied, source, destination);
    if (copied == rc::Success) {
        AddOwnerReadWrite(destination);
        m_Placed.push_back(entry.path);
    }
    return copied;
}

int CFileSync::UninstallEntries(const std::string& installationFolder)
{
    // A listed path that is a link now is taken for one the component brought.
    PathSet listed;
    for (const Entry& entry : m_UninstallEntries)
        listed.insert(entry.path);
    size_t visited = 0;
    for (const Entry& entry : m_UninstallEntries) {
        if (++visited % kEntriesBetweenEvents == 0)
            ProcessPendingEvents();
        const std::string path = JoinPath(installationFolder, entry.path);
        struct stat st;
        if (!StatEntry(path, &st) || S_ISDIR(st.st_mode))
            continue;   // gone already, or a folder, which the empty-folder clean-up handles
        if (!StaysInside(installationFolder, entry.path, listed)) {
            // Never installed by us (the install refuses it); what lies there is not ours.
            Trace("%s lies behind a link that leaves the installation folder, left in place",
                  path.c_str());
            continue;
        }
        const int deleted = DeleteFileEntry(path);   // the lstat above says it is no folder
        if (deleted != rc::Success)
            return deleted;
    }
    return rc::Success;
}
