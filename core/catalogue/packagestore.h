#pragma once

#include <string>
#include <vector>

/// The packages kept in the working folder: one sub-folder of "packages" per package, holding
/// its details ("package.dat") and its component selection ("packages.dat"). Templates,
/// portable packages and the facade all ask here which packages there are.
class CPackageStore {
public:
    static const char kFolder[];       // "packages"
    static const char kDetailsFile[];  // "package.dat"
    static const char kStateFile[];    // "packages.dat"

    /// "packages/<name>".
    static std::string PackageFolder(const std::string& name);
    /// "packages/<name>/package.dat".
    static std::string DetailsPath(const std::string& name);

    /// The packages: sub-folders of "packages" holding both "package.dat" and "packages.dat",
    /// by name ignoring case.
    static std::vector<std::string> GetPackageList();
    /// True when name is in the package list (exact comparison).
    static bool PackageExists(const std::string& name);
    /// The installed package: the first of the package list whose installed-state file below
    /// the root in "packages/InstallDir.nuv" exists. Empty when there is none or the file is
    /// missing or empty.
    static std::string GetInstalledPackage();

    /// The one check every operation and command taking a package name uses: a name must
    /// stay inside "packages", so it must be one path segment (no "/", "\\" or "..") and not
    /// be empty after trimming blanks.
    static bool IsSafePackageName(const std::string& name);
    /// The message shown for a name IsSafePackageName refuses.
    static std::string UnsafePackageNameMessage(const std::string& name);
    /// 0 for safe names and for the empty name (each operation has its own answer for that
    /// one); otherwise prints UnsafePackageNameMessage through the output module and
    /// returns 78.
    static int CheckPackageName(const std::string& name);
};
