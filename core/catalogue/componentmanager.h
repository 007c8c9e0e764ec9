#pragma once

#include "core/catalogue/componentholder.h"
#include "core/catalogue/holderindex.h"
#include "core/catalogue/statefiles.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDistribution;

/// The catalogue of one distribution: one CComponentHolder per component name, in catalogue
/// order, found by name through an index. Owns its holders. Reads package definition texts,
/// merges and writes the state files, resolves dependencies and sets the action marks.
/// Runs on the thread that drives the facade; no locking.
class CComponentManager {
public:
    /// distribution: the owner (not owned); may be null (platform 0, no package type, no alias).
    explicit CComponentManager(CDistribution* distribution = nullptr);
    CComponentManager(const CComponentManager&) = delete;
    CComponentManager& operator=(const CComponentManager&) = delete;

    CDistribution* GetDistribution() const { return m_pDistribution; }

    // --- Holders ---------------------------------------------------------------------------
    int HolderCount() const { return int(m_Holders.size()); }
    /// Holder i in catalogue order, or null.
    CComponentHolder* GetHolder(int i) const;
    /// The holder with exactly this name, or null.
    CComponentHolder* FindHolder(const std::string& name) const;
    /// The holder of this name, created and appended when there is none.
    CComponentHolder* AddHolder(const std::string& name);
    /// The current record of the holder of this name when that record carries the name.
    CComponent* FindCurrentComponent(const std::string& name) const;
    void ClearHolders();
    /// Holders with a current record and a non-zero installed version.
    int CountInstalled() const;
    /// Holders with a current record and a non-zero downloaded version.
    int CountDownloaded() const;
    /// Holders by name (byte-wise, stable), then every holder's versions.
    void SortHolders();

    // --- Package definition texts ----------------------------------------------------------
    /// Files every section of text as a record under the holder of its name (new holders
    /// appended in first-seen order). 0; 101 for an empty text. Malformed lines are traced
    /// and skipped.
    int ReadPDF(const std::string& PDF, const std::string& server_path, const std::string& extention);
    /// Files record under the holder of its name (created when missing). Returns the filed copy.
    CComponent* FileRecord(CComponent&& record);
    /// The same for a record built on the heap: filed as it is, without a copy.
    CComponent* FileRecord(std::unique_ptr<CComponent> record);
    /// A fresh record of this catalogue's distribution for a version that is recreated rather
    /// than read from the server: the distribution's platform and archive type (".zip" when
    /// it names none), so its archive is looked for under the name the download gave it.
    CComponent NewRecord() const;

    // --- Dependencies and marks ------------------------------------------------------------
    /// For every current record: its transitive dependencies and its direct dependants.
    void ResolveDependencies();
    /// Depth-first dependencies of record, without repeated names and without record's own.
    std::vector<CComponent*> CollectDependencies(CComponent* record);
    /// Records that the action on the marked current records drags along (dependencies for
    /// download/install, dependants for uninstall/delete) and that still need it.
    /// The list stays valid until the next call or until holders are cleared.
    const std::vector<CComponent*>& GetDependencyList(int action);
    /// Marks the included current records that need the action. 102 for download off-line.
    int MarkAll(int action);
    /// The highest records worth offering as updates.
    std::vector<CComponent*> UpgradeCandidates() const;
    /// Name, version and install message of every current record marked for install.
    std::string InstallMessages() const;
    /// Every current record included.
    void IncludeAll();
    /// Every current record's mark cleared.
    void ClearAllActions();
    /// Brings each holder's downloaded version in line with the archives really in the cache.
    void VerifyDownloaded();

    // --- Batch operations (core/operations/batchoperations.cpp) ---------------------------
    // Each processes, per holder, the first record carrying the batch's action; prints its
    // progress and summary through the output module; reads the stop flag (and the run's
    // interruption) between components (a cancelled batch returns 98 at once); records what
    // each component changed in the state files before the next one starts, so an end at any
    // point leaves records that match the cache and the root; and returns the batch result,
    // also kept in BatchResult(). A failing component is reported, its name added to
    // FailedComponents(), and the batch goes on.

    /// Action 1 in catalogue order; failures 30. Ends with the downloaded-state save's code.
    int DownloadComponents(bool* pStop = nullptr);
    /// Action 4 in catalogue order; failures 103. Ends with the downloaded-state save's code.
    int DeleteComponents(bool* pStop = nullptr);
    /// Action 2, fewest dependencies first, with services and set-up around it; 119 when the
    /// root of a first installation is not writable; failures 63. Saves both state files and
    /// records the root in "InstallDir.nuv".
    int InstallComponents();
    /// Action 3, fewest dependants first; failures 121 (63 at the end). Saves the installed
    /// state; when nothing stays installed, removes the installed-state file and
    /// "InstallDir.nuv".
    int UninstallComponents();
    /// Asks the running batch to stop before its next component.
    void Stop() { m_bStop = true; }
    int BatchResult() const { return m_BatchResult; }
    /// Names of the components the last batch could not process, in the order met.
    const std::vector<std::string>& FailedComponents() const { return m_FailedComponents; }
    /// A state file (or the installation-folder record) could not be written since the last
    /// batch began; the user was told which and why.
    bool StateNotSaved() const { return m_bStateNotSaved; }
    /// Deletes "InstallDir.nuv" in the "packages" folder.
    void DestroyInstallationDirFile();

    // --- Dry runs (core/operations/batchplan.cpp) ------------------------------------------
    /// Prints what the batch of action would do with the marks as they stand, walking the
    /// batch's own plan and order: every component with its old and new version, where its
    /// archive would come from (with the server's size when it gives one), the scripts and the
    /// service and set-up steps, then the download total. ActionInstall covers what the install
    /// command runs: the uninstall batch of the replaced versions first, then the installs.
    /// Changes nothing: no file, no state, no mark, nothing on the server. 0, or the code the
    /// batch would refuse to start with (119: a root it cannot write).
    int DryRun(int action);
    /// The archives a dry run would download and their size (core/operations/batchplan.cpp).
    struct DryRunTotals;

    // --- State files -----------------------------------------------------------------------
    /// Path of the downloaded-state file: folder/packages.dat, or packages/<alias>/packages.dat
    /// when folder is empty.
    std::string DownloadedStatePath(const std::string& folder) const;
    /// Path the installed-state file is written to: <platform root>/installer/packages.<alias>.
    std::string InstalledStatePath() const;
    /// 0, or 64 when the file cannot be written (an older file stays untouched).
    int WriteDownloadedState(const std::string& folder = std::string());
    /// 0, or 64 (also when no platform root is set). The "installer" folder is created when
    /// the root exists.
    int WriteInstalledState();
    /// Merges a downloaded-state file into the catalogue; a missing file reads as empty.
    void ReadDownloadedState(const std::string& path);
    /// Merges an installed-state file into the catalogue; a missing file reads as empty.
    void ReadInstalledState(const std::string& path);
    /// The package's downloaded-state file, then the installed-state file below the root that
    /// "InstallDir.nuv" records (skipped when it records none). A damaged file
    /// (CStateFiles::Damage) is reported with its path and not read: 122; otherwise 0.
    /// ReadStateFilesAhead then MergeStateFiles.
    int ReadStateFiles();
    /// What ReadStateFiles reads, read and split before the merge, so the reading can go on
    /// while other work (the catalogue) is still being done.
    struct StateFilesRead {
        CStateFileRead downloaded;
        CStateFileRead installed;
        bool installedCounts = false;   // a root is recorded and a package is open
    };
    /// Reads and splits both files; reports nothing and changes no record. Reads only the
    /// manager's distribution (its alias), so it may run while another thread fills the
    /// manager.
    void ReadStateFilesAhead(StateFilesRead* read) const;
    /// Reports a damaged file and merges what read holds, as ReadStateFiles does.
    int MergeStateFiles(const StateFilesRead& read);
    /// Diagnostic list of current records and their server paths in debug_files/<name>.txt
    /// (a numbered name when that exists). 0 or 64.
    int WriteServerPathList(const std::string& name);

private:
    int DistributionPlatform() const;
    std::string DistributionPackageType() const;
    void MergeDownloadedState(const std::vector<CStateSection>& sections);
    void MergeInstalledState(const std::vector<CStateSection>& sections);
    void CloseDownloadedSection(const CStateSection& section);
    void CloseInstalledSection(const CStateSection& section);
    void ClearVisited();

    // The batch loop the four batches share and the named steps of install and uninstall
    // (core/operations/batchoperations.cpp).
    /// What a component step returns: 0, or the batch's failure code for this component.
    using BatchStep = std::function<int(CComponentHolder& holder, CComponent& record)>;
    // What a batch does around its components, decided before it starts; the batch and its
    // dry run both walk it.
    struct InstallPlan {
        bool firstInstall = false;    // nothing installed: the root must be writable
        bool startServices = false;   // started at the end
        bool stopServices = false;    // stopped first (an uninstall batch did not already)
        bool needSetup = false;
        bool setupRemoved = false;    // the set-up runs again as an upgrade at the end
        bool removeSetup = false;     // removed with stop first (not already removed)
    };
    struct UninstallPlan {
        bool everything = false;   // every installed component goes
        bool servicesStopped = false;   // this batch stopped them for everything to go
        bool removeAll = false;    // and removes the set-up without stop
        bool needServices = false;
        bool needSetup = false;
        bool leaveServicesStopped = false;   // for the install batch that follows
        bool leaveSetupRemoved = false;
    };
    /// The set-up an install batch runs at its end: none, or DoR5Setup(*upgrade).
    enum class SetupStep { None, Fresh, Upgrade };
    /// The plan of an install batch over the marks as they stand, with installed holders
    /// installed before it and the flags an uninstall batch before it left.
    InstallPlan PlanInstall(int installed, bool servicesStopped, bool setupRemoved) const;
    SetupStep SetupAfterInstall(const InstallPlan& plan) const;
    UninstallPlan PlanUninstall(int total) const;
    /// The holders in the order the batch of action takes them.
    std::vector<CComponentHolder*> BatchOrder(int action) const;
    /// Records carrying action over every holder (all versions counted).
    int CountAction(int action) const;
    /// The dry runs of the single batches; they add what they would fetch to *totals.
    void DryRunDownload(DryRunTotals* totals);
    void DryRunDelete();
    int DryRunInstall(int installed, const UninstallPlan* before, DryRunTotals* totals);
    int DryRunUninstall(UninstallPlan* plan);
    /// Clears the stop flag, the result, the failed list and the not-saved mark.
    void BeginBatch();
    /// Runs step on each holder's record marked action, reading the stop flag before each
    /// holder; a failing step files the name and its code as the batch result. False (result
    /// 98) when cancelled.
    bool RunBatch(const std::vector<CComponentHolder*>& holders, int action,
                  const char* cancelTrace, bool traceMissing, const BatchStep& step);
    /// Brings the state files the batch of action changes up to date after one component
    /// (core/operations/batchprogress.cpp); a download batch's at most once a second.
    /// Failures are traced; the batch's own final save reports them.
    void SaveBatchProgress(int action);
    /// successText when the batch went well, the failed list when its result is failure.
    void ReportBatch(const char* successText, const char* what, int failure);
    int PrepareInstall(const std::string& root, InstallPlan* plan);
    int InstallOne(CComponentHolder& holder, CComponent& record, int* counter, int total);
    /// True when files can be created in root; otherwise prints that batch ("Install",
    /// "Uninstall") cannot proceed.
    bool RootWritable(const std::string& root, const char* batch);
    /// Set-up, saving, summary and service start after the components of an install batch.
    void FinishInstall(const InstallPlan& plan, const std::string& root);
    /// Saves both state files and "InstallDir.nuv"; that one only once the installed state
    /// was saved.
    void RecordInstallation(const std::string& root);
    /// Deletes the installed-state file; a file that stays is reported and fails the batch.
    void RemoveInstalledState();
    UninstallPlan PrepareUninstall(int total);
    /// Saves the installed state and clears the root; true when nothing stays installed.
    bool RecordUninstallation(const std::string& root);
    void RestorePlatform(const UninstallPlan& plan);

    CDistribution* m_pDistribution;   // not owned
    std::vector<std::unique_ptr<CComponentHolder>> m_Holders;
    CHolderIndex m_Index;
    CComponentHolder* m_pLastFiledHolder = nullptr;   // FileRecord's last, one of m_Holders
    std::vector<CComponentHolder*> m_VisitedHolders;   // to clear the marks of one resolution
    std::vector<CComponent*> m_DependencyList;
    bool m_bStop = false;
    int m_BatchResult = 0;
    bool m_bStateNotSaved = false;
    std::chrono::steady_clock::time_point m_LastProgressSave;   // of a download batch
    bool m_bServicesStopped = false;   // by an uninstall batch, for the install batch after it
    bool m_bSetupRemoved = false;      // likewise for the platform set-up
    std::vector<std::string> m_FailedComponents;
};
