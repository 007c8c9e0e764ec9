#pragma once

#include <string>

/// User preferences kept in "NUV_GUIOptions.opt" in the working directory, shared by both
/// programs. Process-wide; created on first use with the defaults.
class CNUVOptions {
public:
    static CNUVOptions* Instance();

    /// Reads the file over the current values; a missing, empty or unreadable file changes
    /// nothing. Never reports an error.
    void Read();
    /// Writes the five lines through the atomic writer; an unwritable file leaves the old one.
    /// False (and the user told why) when the file could not be saved.
    bool Write();
    /// The text Write stores, for the current values.
    std::string FileText() const;
    /// Applies a file's text as Read does.
    void ParseText(const std::string& text);

    static constexpr const char* kFileName = "NUV_GUIOptions.opt";

    bool m_bAutoGetReleaseNotes = false;
    int m_nLoginTimeout = 60;            // seconds
    int m_nIconSize = 16;                // 16 "SMALL" or 24 "LARGE"
    bool m_bDisplayWarningMessage = true;
    bool m_bShowEULA = true;             // never stored
    bool m_bDisplayNewComponentDlg = true;
};
