#pragma once

#include "core/catalogue/version.h"

#include <string>
#include <string_view>
#include <vector>

class CComponentHolder;
class CDistribution;

/// A text that copies of its owner do not inherit: a copy (or an assignment) starts empty.
class CUncopiedText {
public:
    CUncopiedText() = default;
    CUncopiedText(const CUncopiedText&) {}
    CUncopiedText& operator=(const CUncopiedText&)
    {
        m_Text.clear();
        return *this;
    }
    const std::string& Get() const { return m_Text; }
    void Set(const std::string& text) { m_Text = text; }

private:
    std::string m_Text;
};

/// One version of one component. Records are created by the catalogue readers and kept by
/// value in their CComponentHolder. Copying a record copies everything except the last error;
/// the dependency lists and the owner references are copied as references.
class CComponent {
public:
    /// Action marks the user's choices leave for the batch operations.
    enum Action : int { ActionNone = 0, ActionDownload = 1, ActionInstall = 2, ActionUninstall = 3,
                        ActionDelete = 4 };

    /// A record with the catalogue defaults: empty texts, zero version (part count 0),
    /// extension ".zip", included, no mark, platform 0. distribution is not owned.
    explicit CComponent(CDistribution* distribution = nullptr);

    // Text setters: 0, or the code named, with the field unchanged on failure.
    /// 4 when empty.
    int SetName(std::string_view name);
    /// 7 when empty. A name that is more than one path segment ("../x", "a/b") is refused
    /// with 7 and a trace line, and the record then has no archive at all (ArchiveName() is
    /// empty) until a good name is set: such a name would reach outside the cache folder.
    int SetPackage(std::string_view package);
    /// 8 when empty; any other text is parsed. Versions are set before a record is filed in
    /// a holder, which keeps a copy to sort and find by.
    int SetVersion(std::string_view version);
    /// 9 when empty.
    int SetGroup(std::string_view group);
    /// 10 when empty.
    int SetDescription(std::string_view description);
    /// 11 when empty.
    int SetReleaseNotes(std::string_view notes);
    /// 12 when empty.
    int SetDepends(std::string_view depends);
    /// "yes"/"YES" true, "no"/"NO" false; 13 when empty, 14 for any other spelling.
    int SetNeedSetup(std::string_view value);
    int SetNeedStartService(std::string_view value);
    /// 31 when empty.
    int SetServerPath(std::string_view path);
    /// 32 when empty.
    int SetExtention(std::string_view extention);
    /// Always 0; empty means no message.
    int SetInstallMessage(std::string_view message);
    /// The archive's SHA-256 as published by the catalogue: 64 hex digits, kept lower-cased.
    /// Anything else is traced and leaves the record without a digest (95).
    int SetSha256(std::string_view digest);

    int SetNeedSetup(bool value);
    int SetNeedStartService(bool value);
    int SetIncluded(bool included);
    void SetVersion(const CVersion& version) { m_Version = version; }
    void SetPlatform(int platform) { m_Platform = platform; }
    void SetHolder(CComponentHolder* holder) { m_pHolder = holder; }
    void SetDistribution(CDistribution* distribution) { m_pDistribution = distribution; }
    void SetLastError(const std::string& text) { m_LastError.Set(text); }

    /// Stores the mark. For ActionInstall every record of the holder loses its mark first;
    /// then 110 (mark 0) when the holder's cap is below this version, mark 0 when this version
    /// is the installed one, and otherwise the installed version's record is marked for
    /// uninstall. 0 in every other case.
    int SetAction(int action);
    /// Plain store of the mark, bypassing the install rule (used by the holder itself).
    void StoreAction(int action) { m_Action = action; }

    /// Names of m_Depends: blanks collapsed, split at ",", each trimmed; in text order.
    std::vector<std::string> ParseDepends() const;
    /// 77 when record is null, 76 when it is this record (same name and version), else 0.
    int AddDependency(CComponent* record);
    int AddDependant(CComponent* record);
    void SetDependencies(std::vector<CComponent*> records) { m_Dependencies = std::move(records); }
    void ClearDependants() { m_Dependants.clear(); }

    bool HasInstallMessage() const { return !m_InstallMessage.empty(); }
    /// Equal names and equal versions.
    bool IsSameRecord(const CComponent& other) const;

    /// The archive's file name: m_Package, with the extension appended unless its text occurs
    /// anywhere in the name; or, with no package name, name + "-" + version + extension.
    /// Empty when the record has no archive: its package name was refused, or the name made
    /// is not one path segment.
    std::string ArchiveName() const;
    bool HasArchive() const { return !ArchiveName().empty(); }
    /// The cache folder of this record's platform joined with ArchiveName(), relative to the
    /// working directory; empty without an archive.
    std::string ArchivePath() const;
    /// Where the archive lies on the server: "/software/" + server path + ArchiveName().
    std::string RemotePath() const;
    /// True when the archive path opens for reading as a file. On a hit an empty m_Package
    /// takes the derived name; with update, the holder's downloaded version becomes this one.
    /// Always false without an archive.
    bool IsInCache(bool update);

    // --- Cache, extraction, installation (core/operations/componentinstall.cpp) -------------
    // All return result codes of rc::. Paths below are relative to the working directory.

    /// Fetches the archive from the server into the cache folder (continuing a partial file
    /// an earlier download left). 74 when not included; 7 without an archive; 34 when the
    /// transfer failed (nothing changes); 124 when the archive does not match the catalogue's
    /// digest (removed, with a line naming both digests); 0 with m_Package and the holder's
    /// downloaded version set.
    /// finishLater: returns once the archive has arrived and matched its digest; it is synced
    /// and renamed into the cache while the caller goes on, and FinishDownload must follow
    /// before the archive is used (m_Package and the downloaded version are set only then).
    int Download(bool finishLater = false);
    /// Waits until a download started with finishLater has its archive in the cache: 0 with
    /// m_Package and the holder's downloaded version set, 34 when it could not be completed
    /// (nothing is recorded, the file is gone). 0 when nothing is pending.
    int FinishDownload();
    /// Checks the cached archive against the catalogue's digest (when it gives one). 0; 124
    /// ("\t<path> does not match its checksum: expected sha256 <digest>, received <digest>")
    /// with the archive removed from the cache. Download matches the digest itself.
    int VerifyCachedArchive();
    /// Removes the archive from the cache, and the partial file of an unfinished download of
    /// it. 0; 7 without an archive (nothing is touched); 85 no such archive; 36 removal
    /// failed. On 0 and 85 the holder's downloaded version becomes the none version.
    int DeleteFromCache();
    /// Unpacks the cached archive into ExtractionFolder(): ".zip" with unzip, ".tgz" with
    /// tar, any other extension by running the archive itself with "-o". An archive with an
    /// entry that would land outside the cache folder is refused with 95 before unpacking.
    /// Otherwise the runner's code (0; 44 program missing; 45 time limit; 109 failed).
    int Extract();
    int ExtractZIP();
    int ExtractTGZ();
    int ExtractWindows();
    /// Deletes ExtractionFolder(). 0, or 104.
    int CleanUpExtraction();
    /// Time limit of one unpacking run in milliseconds (the process runner's default unless
    /// set; -1 waits for ever).
    void SetExtractTimeout(int milliseconds) { m_ExtractTimeout = milliseconds; }

    /// Puts this version into the distribution's platform root: cache (downloading when
    /// on-line), extraction (one retry after a time-out), removal of the installed version,
    /// the file list's files, the installer folder, the install script, clean-up. A failure
    /// after files were copied rolls the component back; the holder's installed version is
    /// set only on success. 0; 74; 39 not in the cache; 124 the archive does not match
    /// the catalogue's digest (checked before anything is unpacked); the extraction's, the file
    /// synchronisation's, the copy's or the script's code.
    int Install();
    /// Runs the installed uninstall script, removes the installed file list's files and the
    /// installed installer folder, and clears the holder's installed version. Needs nothing
    /// from the cache. 0, or the first failing step's code (the rest stays untouched).
    int Uninstall();
    /// The archive's install script with $TESSOM_ROOT and $INSTALL_DIR; 47 when it has none.
    int RunInstallScript();
    /// The installed uninstall script with the same variables; 47 when there is none.
    int RunUninstallScript();

    /// cache folder + "/" + name: where the archive unpacks.
    std::string ExtractionFolder() const;
    /// ExtractionFolder()/installer/<name>, found ignoring case when needed.
    std::string ArchiveInstallerFolder() const;
    /// <platform root>/installer/<name>.
    std::string InstalledInstallerFolder() const;
    /// The distribution's platform root; empty without a distribution.
    std::string InstallationFolder() const;

    const std::string& GetName() const { return m_Name; }
    const std::string& GetPackage() const { return m_Package; }
    const std::string& GetDescription() const { return m_Description; }
    const std::string& GetGroup() const { return m_Group; }
    const std::string& GetDepends() const { return m_Depends; }
    const std::string& GetReleaseNotes() const { return m_ReleaseNotes; }
    const std::string& GetServerPath() const { return m_ServerPath; }
    const std::string& GetExtention() const { return m_Extention; }
    const std::string& GetInstallMessage() const { return m_InstallMessage; }
    /// 64 lower-case hex digits, or empty when the catalogue gives no (usable) digest.
    const std::string& GetSha256() const { return m_Sha256; }
    const CVersion& GetVersion() const { return m_Version; }
    bool NeedSetup() const { return m_NeedSetup; }
    bool NeedStartService() const { return m_NeedStartService; }
    bool IsIncluded() const { return m_Included; }
    int GetAction() const { return m_Action; }
    int GetPlatform() const { return m_Platform; }
    CDistribution* GetDistribution() const { return m_pDistribution; }
    CComponentHolder* GetHolder() const { return m_pHolder; }
    const std::vector<CComponent*>& GetDependencies() const { return m_Dependencies; }
    const std::vector<CComponent*>& GetDependants() const { return m_Dependants; }
    const std::string& GetLastError() const { return m_LastError.Get(); }

private:
    static int SetText(std::string* field, std::string_view value, int emptyCode);
    static int SetBool(bool* field, std::string_view value);

    std::string m_Name;
    std::string m_Package;
    bool m_PackageRefused = false;   // a package name was refused: no archive at all
    std::string m_Description;
    std::string m_Group;
    std::string m_Depends;
    std::string m_ReleaseNotes;
    std::string m_ServerPath;
    std::string m_Extention = ".zip";
    std::string m_InstallMessage;
    std::string m_Sha256;   // the archive's digest when the catalogue publishes one
    CVersion m_Version{std::string()};
    bool m_NeedSetup = false;
    bool m_NeedStartService = false;
    bool m_Included = true;
    int m_Action = ActionNone;
    CDistribution* m_pDistribution = nullptr;     // not owned
    CComponentHolder* m_pHolder = nullptr;        // not owned; set when a holder files a copy
    std::vector<CComponent*> m_Dependencies;      // not owned; transitive
    std::vector<CComponent*> m_Dependants;        // not owned; direct
    int m_Platform = 0;
    CUncopiedText m_LastError;
    int m_ExtractTimeout = 300000;   // the process runner's default
};
