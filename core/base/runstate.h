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
    /// Receives the progress of long local work that runs an archive program (unpacking or
    /// writing a package file): items done of total and what the work is; the graphical
    /// program sets one for its progress bar.
    using WorkProgress = std::function<void(int done, int total, const std::string& what)>;
    WorkProgress m_WorkProgress;
    /// Non-zero once the run was asked to end (the number of the signal NUV_CMD received):
    /// every batch stops before its next component. Written from a signal handler, hence
    /// its type.
    volatile std::sig_atomic_t m_Interrupted = 0;

    /// Passes a progress step to m_WorkProgress when one is set.
    void ReportWork(int done, int total, const std::string& what) const
    {
        if (m_WorkProgress)
            m_WorkProgress(done, total, what);
    }

private:
    CRunState() = default;
};
