#pragma once

#include <csignal>
#include <functional>
#include <string>

/// What the current run has decided and the lower layers read: whether the server answered,
/// where the catalogue came from and whether a template is only being looked at.
/// Process-wide; the facade sets it, the catalogue and the operations read it.
struct CRunState {
    static CRunState& Instance();

    /// Receives the catalogue-loading progress (percentage, package name) instead of the
    /// console's "Reading Distribution Info" line; the graphical program sets one.
    using CatalogueProgress = std::function<void(int percent, const std::string& alias)>;

    /// The server answered the last connection test.
    bool m_bOnline = false;
    /// The user chose to work off-line.
    bool m_bWorkOffline = false;
    /// The last catalogue loaded was read from the server (not from the cache).
    bool m_bCatalogueFromServer = false;
    /// A template is opened for its component list only; nothing is written for it.
    bool m_bPTFReferenceOnly = false;
    CatalogueProgress m_CatalogueProgress;
    /// Non-zero once the run was asked to end (the number of the signal NUV_CMD received):
    /// every batch stops before its next component. Written from a signal handler, hence
    /// its type.
    volatile std::sig_atomic_t m_Interrupted = 0;

private:
    CRunState() = default;
};
