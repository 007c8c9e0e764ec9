#pragma once

#include <functional>
#include <string>

/// The one writer of the tool's own files (state files, package details, connection details,
/// options, templates, "InstallDir.nuv"). The content goes to a temporary file in the same
/// folder, is flushed and synced, and is renamed over the target, so a crash or a full disk
/// leaves either the old file or the new one, never a half-written one. A regular file that
/// holds content already (with the permission bits asked for) is left as it is.
/// mode: the permission bits of the new file; -1 keeps those of the file it replaces
/// (0644 for a new file). Returns false, with the old file untouched, on any failure; error
/// (when given) receives the errno of the step that failed.
bool WriteFileAtomically(const std::string& path, const std::string& content, int mode = -1,
                         int* error = nullptr);

/// WriteFileAtomically for a file whose loss the user must hear of: a failure is displayed
/// as "Cannot save <path>: <reason>" through the output channel.
bool SaveFile(const std::string& path, const std::string& content, int mode = -1);

/// Writes all of content to the open descriptor fd, retrying short writes and interrupted
/// calls. False on the first real failure (errno set).
bool WriteAllBytes(int fd, const std::string& content);

/// Removes the temporary files an interrupted WriteFileAtomically left in folder: regular
/// files named target + "." + six letters or digits where ownFile(target) says the tool writes
/// a file of that name there. Only safe while no other process of ours can be writing there.
/// Returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder,
                           const std::function<bool(const std::string& target)>& ownFile);

/// Brings the open file fd to the disk, closes it and renames from to to: 0, or the errno of
/// the step that failed (from is then removed). How a finished download takes its name: after
/// a power cut the name must never stand for an empty or short file.
int SyncCloseAndRename(int fd, const std::string& from, const std::string& to);
