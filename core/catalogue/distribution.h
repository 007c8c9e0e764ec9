#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CComponentManager;

/// One release line as the distribution lists describe it, with the local facts of the package
/// that uses it (alias, platform root, tag). Owns the CComponentManager that holds its
/// catalogue: created with the record, destroyed with it. Records are owned by the
/// distribution list.
class CDistribution {
public:
    /// A file list path with the server sub-path of the distributions text that named it.
    using FileList = std::pair<std::string, std::string>;

    explicit CDistribution(const std::string& name = std::string());
    ~CDistribution();
    CDistribution(const CDistribution&) = delete;
    CDistribution& operator=(const CDistribution&) = delete;

    /// Stores the platform root unless components of this distribution are installed:
    /// then 80 and the old root stays. 0 otherwise.
    int setTessomRoot(const std::string& root);

    /// Loads the catalogue afresh: on-line with a connection, every file list is fetched into
    /// memory and read as a package definition text (a list that cannot be fetched or read is
    /// traced and skipped); then the holders are sorted, the package's state files merged
    /// (not for a template opened as reference only) and dependencies resolved. Reports the
    /// progress as the console line or through the facade's progress receiver. 0, or 122
    /// when a definition or state file was damaged (reported with its path; what could be
    /// read is loaded).
    /// Runs the transfer engine's event loop.
    int getComponents();
    /// R5_Base has a current record and its installed version is below 6.4.0 (never installed
    /// counts as below).
    bool IsOldBase() const;
    /// Writes "PTF/<alias>.ptf" for this distribution's package. 0, or 81 when it cannot be
    /// written (an older file stays).
    int WriteTemplate() const;

    void SetName(const std::string& name) { m_Name = name; }
    void SetDescription(const std::string& text) { m_Description = text; }
    void SetPath(const std::string& path) { m_Path = path; }
    void SetAlias(const std::string& alias) { m_Alias = alias; }
    void SetSetup(const std::string& command) { m_Setup = command; }
    void SetRemove(const std::string& command) { m_Remove = command; }
    void SetStart(const std::string& script) { m_Start = script; }
    void SetStop(const std::string& script) { m_Stop = script; }
    /// ".exe", ".zip" or ".tgz" (the distribution list maps its words onto these).
    void SetPackageType(const std::string& type) { m_PackageType = type; }
    void SetPackageTag(const std::string& tag) { m_PackageTag = tag; }
    void SetLocal(bool local) { m_Local = local; }
    /// 0 none, 1 Windows, 2 Linux, 3 Solaris.
    void SetPlatform(int platform) { m_Platform = platform; }
    void AddFileList(const std::string& path, const std::string& subPath)
    {
        m_FileLists.emplace_back(path, subPath);
    }

    const std::string& GetName() const { return m_Name; }
    const std::string& GetDescription() const { return m_Description; }
    const std::string& GetPath() const { return m_Path; }
    const std::string& GetAlias() const { return m_Alias; }
    const std::string& GetTessomRoot() const { return m_TessomRoot; }
    const std::string& GetSetup() const { return m_Setup; }
    const std::string& GetRemove() const { return m_Remove; }
    const std::string& GetStart() const { return m_Start; }
    const std::string& GetStop() const { return m_Stop; }
    const std::string& GetPackageType() const { return m_PackageType; }
    const std::string& GetPackageTag() const { return m_PackageTag; }
    const std::vector<FileList>& GetFileLists() const { return m_FileLists; }
    int FileListCount() const { return int(m_FileLists.size()); }
    bool IsLocal() const { return m_Local; }
    int GetPlatform() const { return m_Platform; }
    bool HasSetup() const { return !m_Setup.empty(); }
    bool HasStart() const { return !m_Start.empty(); }

    // --- Platform set-up and services (core/operations/platformsetup.cpp) -------------------
    // Every child runs below m_TessomRoot with its output shown to the user.

    /// Runs m_Stop (a program path relative to the root; its folder is the working directory).
    /// 0 when there is none, otherwise the runner's code.
    int StopServices();
    /// Runs m_Start as StopServices does. 0 when there is none; 68 when the program file
    /// cannot be read; otherwise the runner's code.
    int StartServices();
    /// Runs the set-up command line m_Setup without a time limit. For the platform's own
    /// "r5install" (three words) an upgrade of a current base runs with "-upgrade" alone.
    /// 82 no command; 69 an r5install line of the wrong length; otherwise the runner's code.
    int DoR5Setup(bool upgrade);
    /// Runs the removal command line m_Remove. For "r5install" (two words) a current base runs
    /// with "-stop" when stop is asked, else "-total_uninstall". 82; 69; or the runner's code.
    int DoR5Remove(bool stop);

    /// The catalogue; never null while the record lives.
    CComponentManager* GetComponentManager() const { return m_pComponentManager.get(); }

private:
    std::string m_Name;
    std::string m_Description;
    std::string m_Path;
    std::string m_Alias;
    std::string m_TessomRoot;
    std::string m_Setup;
    std::string m_Remove;
    std::string m_Start;
    std::string m_Stop;
    std::string m_PackageType;
    std::string m_PackageTag;
    std::vector<FileList> m_FileLists;
    bool m_Local = false;
    int m_Platform = 0;
    std::unique_ptr<CComponentManager> m_pComponentManager;
};
