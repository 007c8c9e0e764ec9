#pragma once

#include "core/packagefiles/archivedownloader.h"

#include <string>
#include <vector>

class CComponentManager;

/// Exports a package with the cached archives of its included components as a portable
/// package file (a zip archive, alias + ".npf" in the working directory), and loads such a
/// file into the working directory. Both run the zip programs through the process runner and
/// block in its nested event loop. Entry names are relative to the working directory:
/// "packages/<alias>/package.dat", "packages/<alias>/packages.dat" and the archives'
/// "cache/<platform>/<archive>".
class CNPFMaker {
public:
    /// manager: the open package's catalogue (not owned; must outlive the maker).
    /// download fetches an archive that is missing from the cache.
    explicit CNPFMaker(CComponentManager* manager,
                       ArchiveDownloader download = DefaultArchiveDownloader());

    /// Writes alias + ".npf", replacing an older file of that name ("Removing %s\n").
    /// Excluded components are left out ("\t%s: Not including excluded component in NPF\n");
    /// an uncached one is downloaded first ("%s: Not present in cache, attempting
    /// download\n") and left out when that fails ("\t%s: Not including in NPF, download
    /// failed\n"); one whose catalogue digest it does not match is left out too ("\t%s: Not
    /// including in NPF, checksum mismatch\n"). The digests of the archives it holds go in as
    /// "packages/<alias>/archives.sha256". The state file is taken as it is on disk. Returns 0 when the zip program
    /// wrote the file; otherwise the process runner's code (44 no zip program, 45, 109) or 64
    /// when no file was produced, so a failed export is never reported as made.
    int MakeNPF();

    /// The members MakeNPF hands to the zip program after the file name, in order; downloads
    /// and messages as MakeNPF. Empty without a package name.
    std::vector<std::string> CollectMembers();

    /// Unpacks the file at path into the working directory, creating the package folder of
    /// the alias it was exported under and the cache archives. 0; 85 no file at path; 95 no
    /// "." in the file name, or an entry that would land outside "packages/<name>/" or
    /// "cache/", or a symbolic link; 75 the name the file carries, or a package folder its
    /// entries would write, is an existing package; 124 an archive differs from the digest
    /// the file carries for it (a line names each; checked in a scratch folder first);
    /// otherwise the unzip program's code (44, 45, 109). Nothing is written unless the result
    /// is that of the unpacking run.
    /// Prints "NPF finished extraction of %s\n" after unpacking. On 75, *blocking (when given)
    /// receives the name of the existing package that stands in the way; on 95, *invalid (when
    /// given) receives what made the file invalid.
    static int LoadNPF(const std::string& path, std::string* blocking = nullptr,
                       std::string* invalid = nullptr);

private:
    std::string Alias() const;

    CComponentManager* m_pComponentManager;   // not owned
    ArchiveDownloader m_Download;
};
