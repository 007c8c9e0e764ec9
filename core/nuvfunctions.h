#pragma once

#include "core/base/outputmodule.h"
#include "core/base/runstate.h"
#include "core/catalogue/packagedetails.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CComponent;
class CConnectionDetails;
class CPackageTemplate;
struct CTemplateComponent;
class QLockFile;

/// The core facade both programs drive. Process-wide; created on first use.
/// All paths of the tool's own store are relative to the working directory.
class CNUVFunctions {
public:
    static CNUVFunctions* Instance();
    ~CNUVFunctions();

    /// Where a distribution list comes from.
    enum NUV_DISTRIBUTION_TYPE { GLOBAL_SERVER = 1, USER_SERVER = 2 };

    using CatalogueProgress = CRunState::CatalogueProgress;

    /// Registers the program's output module (owned by the program); nullptr detaches it.
    void SetOutputModule(NUVOutputModule* module) { ::SetOutputModule(module); }
    NUVOutputModule* GetOutputModule() const { return ::GetOutputModule(); }

    /// Creates the working folders, reads the connection details and decides on-line or
    /// off-line. Failures are traced only.
    void NUVSetup();
    /// Tests the server connection, sets the on-line flag and, on-line with fetch, fetches the
    /// distribution lists. Runs the transfer engine's event loop.
    void SetOnlineState(bool fetch);
    bool IsOnline() const { return m_RunState.m_bOnline; }
    /// Why the last connection test failed: the server (and proxy) and what went wrong, as
    /// written to both traces. Empty when the server answered.
    const std::string& LastConnectionFailure() const { return m_ConnectionFailure; }
    /// Sets the on-line flag without testing the server (tests, and callers that know).
    void SetOnline(bool online) { m_RunState.m_bOnline = online; }

    /// 0, or 106, 107, 108 for the first of "cache", "packages", "PTF" where no file can be
    /// created. Leaves no probe file behind.
    int TestPermissions();
    /// Checks that files can be created in the installation root of the current distribution.
    /// 0; 120 no root; 119 no file could be created; 64; or the folder-creation code.
    /// A root that had to be created for the test is removed again when empty.
    int TestTessomRootPermissions();
    /// The same test for an explicit root.
    int TestTessomRootPermissions(const std::string& root);

    /// The packages: sub-folders of "packages" holding both "package.dat" and "packages.dat",
    /// by name ignoring case.
    std::vector<std::string> GetPackageList() const;
    /// True when name is in the package list (exact comparison).
    bool PackageExists(const std::string& name) const;
    /// The installed package: the first of the package list whose marker
    /// root + "/installer/packages." + name exists, root being the first line of
    /// "packages/InstallDir.nuv". Empty when there is none or the file is missing or empty.
    std::string GetInstalledPackage() const;
    /// A package other than except whose installed marker "installer/packages.<name>" lies in
    /// root, whichever working folder installed it; the first by name, empty when none.
    std::string InstalledPackageIn(const std::string& root, const std::string& except) const;

    /// The one check every operation and command taking a package name uses: a name must
    /// stay inside "packages", so it may not contain "/", "\\" or "..", nor be empty after
    /// trimming blanks.
    static bool IsSafePackageName(const std::string& name);
    /// The message shown for a name IsSafePackageName refuses.
    static std::string UnsafePackageNameMessage(const std::string& name);
    /// 0 for safe names and for the empty name (each operation has its own answer for that
    /// one); otherwise prints UnsafePackageNameMessage
    /// through the output module and returns 78.
    static int CheckPackageName(const std::string& name);

    /// The details remembered in "packages/<name>/package.dat": distribution and root from the
    /// first two text lines, or all six strings of the older data-stream form when the text
    /// gives no distribution. All empty when nothing could be read or the name is unsafe.
    CPackageDetails GetDetailsForPackage(const std::string& name) const;
    /// Opens a package: reads its details into the distribution list, makes its distribution
    /// current, re-saves "package.dat" in the current form and loads the catalogue and state
    /// (which may fetch from the server and run the transfer engine's event loop).
    /// 0; 38 low disk space; 77 no distribution; 78 empty or unsafe name; 87 no such package;
    /// 79 the server no longer lists the distribution (the package is open on its cached
    /// catalogue all the same). lookOnly (the dry runs): "package.dat" is not re-saved, so
    /// nothing in the working folder changes.
    int OpenPackage(const std::string& newPackageName, bool lookOnly = false);
    // --- Machine-readable inventory (core/nuvinventory.cpp) --------------------------------
    // One JSON document each, indented; the field names are documented in the README and the
    // man page and fixed by docs/nuv-json.schema.json.

    /// {"packages": [package, ...]} in package-list order; each package has name,
    /// distribution, root, tag and installed.
    std::string PackagesJson() const;
    /// The open package: {"package": package, "catalogue": "server" or "cache",
    /// "components": [...]}, each component with name, group, included, installed,
    /// downloaded, capped, newest (version texts, null for none), update (the update listing
    /// names it) and sha256 (null while unknown). "{}" with no package open.
    std::string OpenPackageJson() const;

    /// Forgets the open package: no package name and no current distribution.
    void ClosePackage();
    /// Makes distribution IndexOfDistribution (0-based) current, gives it the name, root and
    /// tag, writes the package's two files (unless a template is opened as reference only) and
    /// opens it. 73 no distributions; 78 empty or unsafe name; 75 the name is taken; 71 no
    /// distribution at that index; otherwise OpenPackage's code. Low disk space: nothing is
    /// written and OpenPackage gives 38.
    int CreateNewPackage(int IndexOfDistribution, std::string InstallPath, std::string PackageName,
                         std::string PackageTag);
    /// Creates a package from a template (named packageName, or the template's alias when that
    /// is empty) and applies the template's component versions. False with the template's
    /// error state 2 (the name is taken), 3 (the distribution is not listed; nothing is
    /// created) or 4 (creating the package or saving its selection failed). Opens the package,
    /// so it may fetch from the server.
    bool CreatePackageFromTemplate(CPackageTemplate& ptf, const std::string& packageName);
    /// The components of ptf of which the open package's catalogue has no version at all
    /// (the server no longer offers them), in template order.
    std::vector<CTemplateComponent> ComponentsNoLongerOffered(const CPackageTemplate& ptf) const;
    /// Duplicates a package's two files under newName with newRoot as line 2 of
    /// "package.dat". 0; 75 newName is taken; 78 a name is unsafe; 95 the copied details could
    /// not be rewritten; the folder-creation or copy code. On failure the new folder is
    /// removed again, so no half-made package is left.
    int CopyPackage(const std::string& source, const std::string& newName,
                    const std::string& newRoot);
    /// Gives a package a new name (its folder and, when it is the open package, its alias).
    /// 0; 78 a name is empty or unsafe; 87 no such package; 75 newName is taken; 86 the package
    /// has installed components (its installed-state file in the root carries the name);
    /// 64 the folder could not be renamed.
    int RenamePackage(const std::string& oldName, const std::string& newName);
    /// Removes a package folder. 0; 86 it is the installed package; 87 no such package;
    /// 78 unsafe name; or the tree-removal code.
    int DeletePackage(const std::string& name);
    /// Writes the current distribution's details to "packages/<alias>/package.dat".
    /// False (the user told why) when the file could not be written.
    bool SavePackageDetails();
    /// At least 200 MiB free where the working folder is, or the figure is unknown.
    bool HasEnoughDiskSpace() const;

    /// Fetches the global or the user's distribution list into the distribution list: up to
    /// five fetches, none off-line. 0; 30 when no text came (the global list off-line is 0).
    /// Runs the transfer engine's event loop.
    int GetDistributionDetails(NUV_DISTRIBUTION_TYPE type);
    /// The release notes of a component version from the server, or "Release Notes
    /// unavailable - none specified" (no version, no notes named, off-line, nothing fetched).
    std::string GetReleaseNotes(const CComponent* version);
    /// The lines of the server's global or user template list; empty when none was fetched.
    std::vector<std::string> GetPTFList(bool user);
    /// The text of a template GetPTFList named (the global or the user's one); empty when it
    /// could not be fetched or the name would leave the template folder.
    std::string GetPTFText(bool user, const std::string& name);

    /// The lock file in the working folder that keeps two processes from changing the same
    /// store at once.
    static constexpr const char* kLockFile = "nuv.lock";
    /// Takes the working folder's lock for this process, for as long as it lives or until
    /// UnlockWorkingFolder: every command that changes the store, and the graphical program
    /// while a package is open. A lock left by a process that no longer runs is taken over.
    /// Once held, the temporary files an interrupted state write left are removed. 0 (also
    /// when held already, and when the folder allows no lock file, so the command fails on its
    /// own); 123 when another process holds it (WorkingFolderLockHolder names it).
    /// Without tidy (the dry runs) the temporary files are left for the next real command.
    int LockWorkingFolder(bool tidy = true);
    void UnlockWorkingFolder();
    /// The process id of the lock's holder found by the last refused LockWorkingFolder.
    long long WorkingFolderLockHolder() const { return m_LockHolder; }
    /// Asks the running work to end soon: the running transfer ends as aborted and every batch
    /// stops before its next component (see CRunState::m_Interrupted).
    void Interrupt();

    void SetCatalogueProgress(CatalogueProgress progress)
    {
        m_RunState.m_CatalogueProgress = std::move(progress);
    }
    const CatalogueProgress& GetCatalogueProgress() const { return m_RunState.m_CatalogueProgress; }
    /// Receives the progress of unpacking and writing package files (entries done of total
    /// and what is being done); an empty function stops the reports.
    using WorkProgress = CRunState::WorkProgress;
    void SetWorkProgress(WorkProgress progress) { m_RunState.m_WorkProgress = std::move(progress); }

    // --- The transfer engine as a program's window sees it --------------------------------
    /// Receives every progress report of a running transfer (shown name, bytes done, total,
    /// bytes per second); an empty function stops the reports.
    using TransferProgress = std::function<void(const std::string& name, int done, int total, float rate)>;
    void SetTransferProgress(TransferProgress progress);
    /// Receives the engine's change to on-line (a log-in or proxy answer) or off-line.
    using OnlineChange = std::function<void(bool online)>;
    void SetOnlineChange(OnlineChange change);
    /// Ends the transfer wait that is running, if any; its transfer fails as aborted.
    void AbortTransfer();
    /// A transfer is running its nested event loop.
    bool IsTransferWaiting() const;
    /// The engine's result code of its last operation (the start-up connection test first).
    int LastTransferError() const;
    /// The engine's words for its last failure.
    std::string LastTransferErrorText() const;

    const std::string& CurrentPackage() const { return m_CurrentPackage; }
    CConnectionDetails* ConnectionDetails() const { return m_pConnectionDetails; }

private:
    CRunState& m_RunState = CRunState::Instance();

public:
    // The run state's flags under the facade's names; the run state keeps them so the layers
    // below read them without the facade.
    bool& m_bCatalogueFromServer = m_RunState.m_bCatalogueFromServer;
    bool& m_bWorkOffline = m_RunState.m_bWorkOffline;
    /// A template is opened for its component list only; nothing is written for it.
    bool& m_bPTFReferenceOnly = m_RunState.m_bPTFReferenceOnly;

private:
    CNUVFunctions() = default;
    /// Keeps and traces why the connection test failed.
    void RecordConnectionFailure(const std::string& reason);
    /// Empties the distribution list and fetches the global and the user's lists.
    void FetchDistributionLists();
    /// Installation root of the current distribution; empty when none is current.
    std::string CurrentTessomRoot() const;

    CConnectionDetails* m_pConnectionDetails = nullptr;   // the connection-details singleton
    /// The user name of the connection details ("" before NUVSetup).
    std::string LoginUser() const;
    /// The server folder of the global or the user's templates.
    std::string PTFFolder(bool user) const;
    /// Fetches remotePath into memory; its text, empty when the fetch failed.
    std::string FetchText(const std::string& remotePath);

    /// Removes what interrupted writes of the atomic writer left beside the state files.
    void RemoveStaleTemporaryFiles() const;
    TransferProgress m_TransferProgress;
    OnlineChange m_OnlineChange;
    bool m_EngineConnected = false;
    /// Routes the engine's signals to the two receivers above (once).
    void ConnectEngine();

    std::string m_CurrentPackage;
    std::unique_ptr<QLockFile> m_WorkingFolderLock;
    QString m_LockPath;   // of the lock held
    long long m_LockHolder = 0;
    std::string m_ConnectionFailure;
};
