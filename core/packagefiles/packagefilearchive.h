#pragma once

#include <string>
#include <vector>

// What portable and delta package files share when they are loaded: the package name a file
// names, the check of its entries and the unpacking into the working directory. Both run the
// unzip program through the process runner, blocking in its nested event loop.

/// The package a file names: the part of the path after its last separator ("\" counts as
/// one) and before the last "." of that part. False when that part has no "." or nothing
/// before it.
bool PackageNameOfFile(const std::string& path, std::string* name);

/// True for an entry a package file may hold: a relative name below "cache", or below a
/// package folder "packages/<name>/", without "." or ".." parts ("\" counts as a separator).
/// The folder entries "packages/" and "cache/" are accepted too.
bool IsPackageFileEntry(const std::string& entry);

/// Lists the entries of the archive at path with the unzip program, without unpacking it.
/// 0 with every entry allowed (entries receives the names in archive order); 95 when an entry
/// lies outside the allowed folders or is a symbolic link (nothing is written; the reason is
/// traced); otherwise the process runner's code for the listing (44 no unzip, 109 not a
/// readable archive). On 95, *invalid (when given) receives the reason in words.
int CheckPackageFileEntries(const std::string& path, std::vector<std::string>* entries,
                            std::string* invalid = nullptr);

/// The package folders ("packages/<name>") the entries create, each once, in first-seen order.
std::vector<std::string> PackageFoldersOf(const std::vector<std::string>& entries);

/// Runs "unzip -o path" in the working directory: the process runner's code (0; 44 no unzip;
/// 45 time limit; 109 failed). Entries already on disk are overwritten. Each entry unpacked
/// is reported as work progress of entryCount, "Unpacking " + the file's name.
int UnpackPackageFile(const std::string& path, int entryCount);

class CProcessBox;
/// Runs box to its end and reports each entry the archive program names on its output
/// (unzip's "inflating:", "extracting:", "creating:"; zip's "adding:") as work progress of
/// total, with what. The process runner's code.
int RunWithEntryProgress(CProcessBox& box, int total, const std::string& what);

/// The path as an argument of the archive programs: one starting with "-" is given as
/// "./" + path, so that it is not read as a switch.
std::string ArchiveProgramArgument(const std::string& path);
