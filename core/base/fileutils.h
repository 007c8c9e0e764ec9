#pragma once

#include <string>
#include <vector>

// File-system functions used for every change the component operations make. All return
// result codes of rc:: and trace their own lines. Paths are relative to the working directory
// unless absolute. The long-running ones process pending events once per call so the
// graphical program stays responsive. Partial work stays when they fail half-way.

/// Every "\" becomes "/".
std::string ToNativeSeparators(const std::string& path);
/// The text with every double quote removed.
std::string WithoutQuotes(const std::string& text);
/// An archive or list entry that would land outside the folder it is relative to: it is
/// absolute (starts with "/" or "\") or has a ".." part (either separator counted).
bool LeavesFolder(const std::string& entry);
/// The process's current directory (through CSystemEnv).
std::string WorkingDirectory();

/// The entries of a folder other than "." and "..", hidden ones included, sorted by name
/// (byte order) so that every walk is repeatable. Empty when the folder cannot be read.
std::vector<std::string> ListEntries(const std::string& folder);
/// The entries of folder that are folders or links to folders, sorted as ListEntries.
std::vector<std::string> ListSubFolders(const std::string& folder);

/// A download streams into its file's path plus this suffix and takes its own name only when
/// complete; what a cut-short download leaves under it is the start of the file, kept so the
/// next download can ask for the rest.
inline constexpr char kPartialSuffix[] = ".part";
/// True for a name that ends in kPartialSuffix (an unfinished download, never an archive).
bool IsPartialFile(const std::string& name);

/// 0; 85 missing; 36 removal failed.
int RemoveFile(const std::string& path);
/// 0; 37 removal failed; 58 not empty; 59 missing.
int RemoveEmptyDir(const std::string& path);
/// Deletes a file, a link (never what it points to) or a folder tree. A missing path is 0;
/// "." or ".." is 35; a file that cannot be removed prints "Unable to remove file: %s\n" and
/// gives 36 (the rest stays); a folder that cannot be removed gives 37.
int DeleteFileTree(const std::string& path);
/// DeleteFileTree for a path known to be a file or a link: 0, or 36 with the same line.
int DeleteFileEntry(const std::string& path);
/// Lets the program's window repaint and take clicks during long work; nothing without one.
void ProcessPendingEvents();
/// Creates a folder and its missing parents; double quotes are dropped. 0 created,
/// 105 it already existed, 62 a level could not be made.
int MakeDirPath(const std::string& path);
/// Copies a file (into a folder under its own name when the destination is a folder) or a
/// folder tree, keeping permission bits and re-creating symbolic links. A file copied onto
/// itself (same device and inode) is left alone and counts as copied. 0; 54 "." or ".." or a
/// failed write; 55 source unreadable; 56 destination not writable; 57 folder not creatable.
int CopyTree(const std::string& source, const std::string& destination);
/// Moves a file by renaming it, only where that never replaces anything: destination must not
/// exist and must lie on source's file system. The file's times become the present, as a
/// copy's would. False, with nothing changed, otherwise; the caller then copies.
bool MoveFileIntoPlace(const std::string& source, const std::string& destination);
/// Removes every empty folder at and below path, bottom-up, the start folder included; follows
/// path itself when it is a link to a folder, but never a link below it. 0, or 66 when path
/// is not a folder (or a link to one).
int ClearEmptyFolders(const std::string& path);

/// A desktop menu entry NAME.desktop (sub-folders from NAME) in the first XDG_DATA_DIRS folder
/// + "/applications", running target in target's folder. False on failure.
bool CreateStartMenuShortcut(const std::string& name, const std::string& target);
/// Removes the entry (name includes ".desktop") and the sub-folder of the menu folder that
/// held it when that is now empty; a missing entry succeeds. error receives errno when removal
/// failed, 0 otherwise.
bool DeleteStartMenuShortcut(const std::string& name, int* error);
/// A running process whose name (comm, or base name of its executable) equals name.
bool IsProcessRunning(const std::string& name);
/// The path as it exists on disk, part by part: each part's exact name first, otherwise the one
/// entry of its folder whose name differs only in the case of A-Z. Names made on a system that
/// ignores case (scripts, file lists, installer folders) are found this way. Empty when a part
/// is missing or matches several entries.
std::string FindPathIgnoringCase(const std::string& path);
/// What the symbolic link at path points to; empty when path is no link.
std::string LinkTarget(const std::string& path);
/// Creates folder/link as a symbolic link to target, replacing an existing entry. 0 or 56.
int CreateLink(const std::string& folder, const std::string& target, const std::string& link);
/// The systems the tool is built and tested for, for display.
std::vector<std::string> SupportedSystems();
/// A folder, or a link to one.
bool IsFolder(const std::string& path);
/// A regular file, or a link to one.
bool IsRegularFile(const std::string& path);
/// Anything at path, a dangling link included.
bool EntryExists(const std::string& path);
/// A symbolic link (whatever it points to).
bool IsLink(const std::string& path);
/// The absolute path with every link resolved; empty when path does not exist.
std::string RealPath(const std::string& path);

/// errno values that mean the caller lacks the rights.
bool IsPermissionError(int error);
/// Creates a probe file of a name of its own in folder (exclusively, never through a link) and
/// removes it again; nothing else in folder is opened or removed. False with errno in *error
/// when it cannot be created.
bool CanCreateFileIn(const std::string& folder, int* error);
/// Checks that files can be created in an installation root, making it when missing.
/// 0; 120 no root; 119 no file could be created; the folder-creation code. A root that had
/// to be created for the test is removed again when empty.
int TestRootPermissions(const std::string& root);
