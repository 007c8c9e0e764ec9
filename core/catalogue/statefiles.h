#pragma once

#include <string>
#include <string_view>
#include <vector>

class CComponentManager;

/// The values of one section of a component state file, as read: views into the file's text
/// (or into constants), valid while that text is.
struct CStateSection {
    std::string_view name;
    std::string_view version;
    std::string_view group;
    std::string_view description;
    std::string_view package;           // "downloadedpackage" (downloaded-state file only)
    std::string_view needSetup;
    std::string_view needStartService;
    std::string_view counter = "0.0.0.0";   // "downloadedversion" or "installedversion"
    bool included = true;               // "included" is not "no" in any case (downloaded only)
    std::string_view depends;
    std::string_view capped;
};

/// One state file read ahead of its merge into a catalogue; filled in place, as the sections
/// point into text.
struct CStateFileRead {
    CStateFileRead() = default;
    CStateFileRead(const CStateFileRead&) = delete;
    CStateFileRead& operator=(const CStateFileRead&) = delete;

    std::string path;
    std::string text;                      // empty when missing or damaged
    std::string damage;                    // why it is damaged (CStateFiles::Damage), or empty
    std::vector<CStateSection> sections;   // of text
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

    /// Why text cannot be a state file the tool wrote, or empty when it can: empty (the
    /// writers always put the header line), bytes that are not text, or lines without any
    /// component section. A file holding only comments is a state with no components.
    static std::string Damage(const std::string& text);

    /// Splits a state file's text into its sections, in file order. Carriage returns are
    /// removed from *text first; the sections point into it. Comments from "#" on and empty
    /// lines are dropped; lines are not trimmed. A section without a "version" line keeps the
    /// version of the one before; a section with an empty name is dropped. The
    /// downloaded-state file's keys are lower-cased first; the installed-state file's keys
    /// must match exactly.
    static std::vector<CStateSection> ReadSections(std::string* text, Kind kind);
    /// Reads the state file at path into *read (path, text, damage, sections); a missing file
    /// reads as empty and a damaged one as damage without text. Reports nothing.
    static void ReadFile(const std::string& path, Kind kind, CStateFileRead* read);

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
