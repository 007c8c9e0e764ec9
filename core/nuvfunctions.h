#pragma once

#include <string>
#include <vector>

class CConnectionDetails;
class NUVOutputModule;

/// The core facade both programs drive. Process-wide; created on first use.
/// All paths of the tool's own store are relative to the working directory.
class CNUVFunctions {
public:
    static CNUVFunctions* Instance();

    /// Registers the program's output module (owned by the program); nullptr detaches it.
    void SetOutputModule(NUVOutputModule* module) { m_pOutputModule = module; }
    NUVOutputModule* GetOutputModule() const { return m_pOutputModule; }

    /// Creates the working folders, reads the connection details and decides on-line or
    /// off-line. Failures are traced only.
    void NUVSetup();
    /// Tests the server connection, sets the on-line flag and, on-line with fetch, fetches the
    /// distribution lists. Runs the transfer engine's event loop.
    void SetOnlineState(bool fetch);
    bool IsOnline() const { return m_bOnline; }
    /// Sets the on-line flag without testing the server (tests, and callers that know).
    void SetOnline(bool online) { m_bOnline = online; }

    /// 0, or 106, 107, 108 for the first of "cache", "packages", "PTF" where no file can be
    /// created. Leaves no "temp.txt" behind.
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

    const std::string& CurrentPackage() const { return m_CurrentPackage; }
    CConnectionDetails* ConnectionDetails() const { return m_pConnectionDetails; }

    bool m_bCatalogueFromServer = false;
    bool m_bWorkOffline = false;
    /// A template is opened for its component list only; nothing is written for it.
    bool m_bPTFReferenceOnly = false;

private:
    CNUVFunctions() = default;
    /// Empties the distribution list and fetches the global and the user's lists.
    void FetchDistributionLists();
    /// Installation root of the current distribution; empty when none is current.
    std::string CurrentTessomRoot() const;

    NUVOutputModule* m_pOutputModule = nullptr;   // not owned
    CConnectionDetails* m_pConnectionDetails = nullptr;   // the connection-details singleton
    std::string m_CurrentPackage;
    bool m_bOnline = false;
};

/// Prints a message to the user through the registered output module (nothing when none).
void NUVDisplay(const char* format, ...) __attribute__((format(printf, 1, 2)));
