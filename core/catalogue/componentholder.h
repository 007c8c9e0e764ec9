#pragma once

#include "core/catalogue/component.h"
#include "core/catalogue/version.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// All versions of one component name, with the per-component state: installed, downloaded,
/// highest, capped and template versions. Owns its records; each record keeps its address for
/// the holder's lifetime (sorting moves only the owning pointers), so dependency references
/// into other holders stay valid. A filed record's version must not be changed. Not copyable:
/// records point back at their holder.
class CComponentHolder {
public:
    explicit CComponentHolder(const std::string& name);
    CComponentHolder(const CComponentHolder&) = delete;
    CComponentHolder& operator=(const CComponentHolder&) = delete;

    const std::string& GetName() const { return m_Name; }

    /// Files a copy of record (its holder set to this one); 0. A null record is ignored.
    int AddComponent(const CComponent* pCmpnt);
    /// Files record itself (moved); returns the filed record.
    CComponent* AddComponent(CComponent&& record);
    /// Files record itself (not null); returns it.
    CComponent* AddComponent(std::unique_ptr<CComponent> record);

    /// Sorts the records ascending by version (stable, "less" only) and sets the highest
    /// version from the last record.
    void SortVersions();
    void PrintListOfComponentVersions() const;

    int Count() const { return int(m_Components.size()); }
    /// Record i for 0 <= i < Count(), else null.
    CComponent* GetByIndex(int i) const;
    /// First record whose version equals version, else null.
    CComponent* FindByVersion(const CVersion& version) const;
    CComponent* FindByAction(int action) const;
    bool HasAction(int action) const { return FindByAction(action) != nullptr; }
    /// First record holding the highest version; null without records.
    CComponent* GetLatest() const;
    /// The capped version's record when capped, otherwise the first record of the highest
    /// version. The highest version is taken from the records as they are now, so records
    /// added after the last sort count too.
    CComponent* GetCurrent() const;
    /// The cap when capped, else the highest version of the last sort.
    CVersion GetEffectiveVersion() const;
    void ClearActions();
    /// Marks the installed record for uninstall and the record of version for install (the
    /// install rule and the cap apply). 0; 83 no record of the installed version; 84 no record
    /// of version (no mark is left); or 110 from the cap.
    int ReplaceInstalled(const CVersion& version);
    /// The lowest record version is the installed one (nothing to roll back to).
    bool IsLowestInstalled() const;
    void CapAtCurrent();
    void CapAtLatest();
    void ClearCap() { m_CappedVersion = CVersion(); }
    bool IsCapped() const { return !m_CappedVersion.IsZero(); }
    bool HasDuplicateVersions() const { return !DuplicateVersions().empty(); }
    /// Each version held by two or more records, once, in the order first met.
    std::vector<CVersion> DuplicateVersions() const;

    // Version setters from text: 8 when empty, otherwise parsed; 0.
    int SetInstalledVersion(std::string_view version);
    int SetDownloadedVersion(std::string_view version);
    int SetCappedVersion(std::string_view version);
    int SetTemplateVersion(std::string_view version);
    void SetInstalledVersion(const CVersion& version) { m_InstalledVersion = version; }
    void SetDownloadedVersion(const CVersion& version) { m_DownloadedVersion = version; }
    void SetCappedVersion(const CVersion& version) { m_CappedVersion = version; }
    void SetTemplateVersion(const CVersion& version) { m_TemplateVersion = version; }

    const CVersion& GetInstalledVersion() const { return m_InstalledVersion; }
    const CVersion& GetDownloadedVersion() const { return m_DownloadedVersion; }
    const CVersion& GetMaxVersion() const { return m_MaxVersion; }
    const CVersion& GetCappedVersion() const { return m_CappedVersion; }
    const CVersion& GetTemplateVersion() const { return m_TemplateVersion; }

    bool m_Excluded = false;
    bool m_Visited = false;

private:
    static int SetVersionText(CVersion* field, std::string_view text);

    // A record with a copy of its version. Sorting and finding by version run over every
    // holder after each catalogue read; with the versions side by side they read this array
    // instead of each record, which lie scattered over the heap. A filed record's version
    // does not change, so the copy cannot go stale.
    struct Filed {
        CVersion version;
        std::unique_ptr<CComponent> record;
    };

    std::string m_Name;
    std::vector<Filed> m_Components;
    bool m_Sorted = false;   // no record was added since the last SortVersions
    CVersion m_InstalledVersion;
    CVersion m_DownloadedVersion;
    CVersion m_MaxVersion;
    CVersion m_CappedVersion;
    CVersion m_TemplateVersion;
};
