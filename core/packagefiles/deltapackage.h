#pragma once

#include "core/packagefiles/archivedownloader.h"

#include <string>
#include <vector>

class CComponentHolder;
class CComponentManager;

/// Delta package files: what changed in a package since it was built from its template (new
/// versions and exclusions), carried as the package's new downloaded-state file and the
/// changed components' archives. The builder side gathers them in the scratch folder "delta"
/// below the working directory and archives it as alias + ".dpf"; the loading side unpacks
/// such a file over the existing package of the same name. Works on the current distribution
/// of the distribution list. Runs the zip programs through the process runner, blocking in
/// its nested event loop.
class CDeltaPackage {
public:
    /// download fetches a changed component's archive that is missing from the cache.
    explicit CDeltaPackage(ArchiveDownloader download = DefaultArchiveDownloader());

    /// Holders whose current record exists and is included and whose effective version differs
    /// from the template version, in catalogue order.
    static std::vector<CComponentHolder*> ChangedHolders(const CComponentManager& manager);
    /// Holders marked as excluded from the template, in catalogue order.
    static std::vector<CComponentHolder*> ExcludedHolders(const CComponentManager& manager);

    /// Fills the delta folder: "delta/packages/<alias>/packages.dat" and copies of the changed
    /// components' archives below "delta/cache/<platform>/" (an uncached one is downloaded
    /// first; one that cannot be had is left out). 0, also without a current distribution
    /// (then only the folders are made); 88, 89, 90, 91 when "delta", "delta/packages", the
    /// cache folders or the package folder cannot be made; the copy's code (54 to 57) when an
    /// archive cannot be copied; 64 when the state file cannot be written. A failure leaves
    /// what was made: CleanDeltaFolder removes it.
    int PopulateDeltaFolder();
    /// Archives the delta folder as alias + ".dpf" in the working directory, replacing an
    /// older file. 0, also without a current distribution (then nothing is written).
    int CreateDPF();
    /// Deletes the delta folder: DeleteFileTree's code (0 also when it is missing).
    int CleanDeltaFolder();

    /// Unpacks the file at path over the package it names (the file name without its last
    /// "." part). 87 no file at path; 93 no "." in the file name; 92 no folder
    /// "packages/<name>"; 95 an entry that would land outside "packages/<name>/" or "cache/"
    /// folders, or a symbolic link (nothing is written; *invalid, when given, receives which
    /// entry or why); otherwise the unzip program's code.
    static int ApplyDPF(const std::string& path, std::string* invalid = nullptr);

private:
    /// Copies the archive of a changed holder's current record into the delta cache folder.
    int CopyArchive(CComponentHolder* holder);

    ArchiveDownloader m_Download;
};
