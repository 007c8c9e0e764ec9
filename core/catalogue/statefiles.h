#pragma once

#include <functional>
#include <string>

class CComponentManager;

/// The values of one section of a component state file, as read.
struct CStateSection {
    std::string name;
    std::string version;
    std::string group;
    std::string description;
    std::string package;           // "downloadedpackage" (downloaded-state file only)
    std::string needSetup;
    std::string needStartService;
    std::string counter;           // "downloadedversion" or "installedversion"
    std::string included = "yes";  // lower-cased (downloaded-state file only)
    std::string depends;
    std::string capped;
};

/// The text side of the two component state files: the section reader both readers share,
/// the two writers' texts and the installation-folder record. The merge into the catalogue is
/// CComponentManager's.
class CStateFiles {
public:
    enum Kind { Downloaded, Installed };

    static const char kHeader[];
    /// "InstallDir.nuv" in the "packages" folder: the first line is the root of the installed
    /// package.
    static const char kInstallDirFile[];

    /// Splits a state file's text into sections and hands each to close, in file order. The
    /// section handed over is reused for the next one: close copies what it keeps.
    /// Comments from "#" on and empty lines are dropped; lines are not trimmed. A section
    /// without a "version" line keeps the version of the one before; a section with an empty
    /// name is dropped. The downloaded-state file's keys are lower-cased first; the
    /// installed-state file's keys must match exactly.
    /// Why text cannot be a state file the tool wrote, or empty when it can: empty (the
    /// writers always put the header line), bytes that are not text, or lines without any
    /// component section. A file holding only comments is a state with no components.
    static std::string Damage(const std::string& text);

    static void ReadSections(const std::string& text, Kind kind,
                             const std::function<void(const CStateSection&)>& close);

    /// The downloaded-state file's text for the manager's current records.
    static std::string DownloadedStateText(const CComponentManager& manager);
    /// The installed-state file's text: included current records with an installed version.
    static std::string InstalledStateText(const CComponentManager& manager);

    /// The installed-state file of package alias below root: it also marks the package as the
    /// installed one.
    static std::string InstalledStatePath(const std::string& root, const std::string& alias);

    /// The first line of "InstallDir.nuv" (at most 1023 characters), or empty when the file
    /// is missing.
    static std::string GetInstallationDir();
};
