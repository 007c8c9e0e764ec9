#include "core/catalogue/componentholder.h"

#include "core/base/resultcodes.h"
#include "core/base/trace.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace {

// Two versions are equal exactly when their keys are: the fourth number only counts for
// four-part versions.
using VersionKey = std::tuple<int32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t>;

VersionKey KeyOf(const CVersion& v)
{
    return VersionKey(v.PartCount(), v.Major(), v.Minor(), v.Third(),
                      v.PartCount() == 4 ? v.Fourth() : 0u, v.GetKind(), v.SuffixNumber());
}

}  // namespace

CComponentHolder::CComponentHolder(const std::string& name) : m_Name(name) {}

int CComponentHolder::AddComponent(const CComponent* pCmpnt)
{
    if (!pCmpnt)
        return rc::Success;
    AddComponent(CComponent(*pCmpnt));
    return rc::Success;
}

CComponent* CComponentHolder::AddComponent(CComponent&& record)
{
    return AddComponent(std::make_unique<CComponent>(std::move(record)));
}

CComponent* CComponentHolder::AddComponent(std::unique_ptr<CComponent> record)
{
    CTraceScope scope("CComponentHolder::AddComponent( CComponent* pCmpnt )");
    CComponent* filed = record.get();
    filed->SetHolder(this);
    m_Components.push_back(Filed{filed->GetVersion(), std::move(record)});
    m_Sorted = false;
    return filed;
}

void CComponentHolder::SortVersions()
{
    // A catalogue is sorted again after its state is merged, which seldom adds a record.
    if (m_Components.empty() || m_Sorted)
        return;
    m_Sorted = true;
    auto less = [](const Filed& a, const Filed& b) { return a.version < b.version; };
    // Catalogues list versions in order as a rule; a stable sort would leave them as they are.
    if (!std::is_sorted(m_Components.begin(), m_Components.end(), less))
        std::stable_sort(m_Components.begin(), m_Components.end(), less);
    m_MaxVersion = m_Components.back().version;
    if (IsDebugTraceOn())   // the version text is not worth making for nothing
        Trace("Max version of %s: %s", m_Name.c_str(), m_MaxVersion.ToString().c_str());
}

void CComponentHolder::PrintListOfComponentVersions() const
{
    Trace("CComponentHolder::PrintListOfComponentVersions : START");
    for (const Filed& filed : m_Components)
        Trace("Component:%s file:%s included:%d", filed.record->GetName().c_str(),
              filed.record->GetPackage().c_str(), filed.record->IsIncluded() ? 1 : 0);
    Trace("CComponentHolder::PrintListOfComponentVersions : END");
}

CComponent* CComponentHolder::GetByIndex(int i) const
{
    if (i < 0 || i >= Count())
        return nullptr;
    return m_Components[size_t(i)].record.get();
}

CComponent* CComponentHolder::FindByVersion(const CVersion& version) const
{
    for (const Filed& filed : m_Components)
        if (filed.version == version)
            return filed.record.get();
    return nullptr;
}

CComponent* CComponentHolder::FindByAction(int action) const
{
    for (const Filed& filed : m_Components)
        if (filed.record->GetAction() == action)
            return filed.record.get();
    return nullptr;
}

CComponent* CComponentHolder::GetLatest() const
{
    const Filed* latest = nullptr;
    for (const Filed& filed : m_Components)
        if (!latest || latest->version < filed.version)
            latest = &filed;
    return latest ? latest->record.get() : nullptr;
}

CComponent* CComponentHolder::GetCurrent() const
{
    if (IsCapped())
        return FindByVersion(m_CappedVersion);
    return GetLatest();
}

CVersion CComponentHolder::GetEffectiveVersion() const
{
    return IsCapped() ? m_CappedVersion : m_MaxVersion;
}

void CComponentHolder::ClearActions()
{
    for (const Filed& filed : m_Components)
        filed.record->StoreAction(CComponent::ActionNone);
}

int CComponentHolder::ReplaceInstalled(const CVersion& version)
{
    ClearActions();
    CComponent* installed = FindByVersion(m_InstalledVersion);
    if (!installed)
        return rc::InstalledComponentNotFound;
    installed->StoreAction(CComponent::ActionUninstall);
    CComponent* replacement = FindByVersion(version);
    if (!replacement) {
        installed->StoreAction(CComponent::ActionNone);
        return rc::ReplacementNotFound;
    }
    // The install rule marks the installed record again; a cap refusal is passed on so the
    // caller does not take an unmarked component for a scheduled roll-back.
    return replacement->SetAction(CComponent::ActionInstall);
}

bool CComponentHolder::IsLowestInstalled() const
{
    const CVersion* lowest = nullptr;
    for (const Filed& filed : m_Components)
        if (!lowest || filed.version < *lowest)
            lowest = &filed.version;
    return lowest && *lowest == m_InstalledVersion;
}

void CComponentHolder::CapAtCurrent()
{
    const CVersion& installed = m_InstalledVersion;
    const CVersion& downloaded = m_DownloadedVersion;
    if (installed.IsZero() && downloaded.IsZero())
        CapAtLatest();
    else if (installed.IsZero())
        m_CappedVersion = downloaded;
    else if (downloaded.IsZero())
        m_CappedVersion = installed;
    else
        m_CappedVersion = downloaded > installed ? downloaded : installed;
}

void CComponentHolder::CapAtLatest()
{
    const CComponent* latest = GetLatest();
    m_CappedVersion = latest ? latest->GetVersion() : CVersion();
}

std::vector<CVersion> CComponentHolder::DuplicateVersions() const
{
    std::map<VersionKey, int> counts;
    for (const Filed& filed : m_Components)
        ++counts[KeyOf(filed.version)];
    std::vector<CVersion> duplicates;
    for (const Filed& filed : m_Components) {
        int& count = counts[KeyOf(filed.version)];
        if (count > 1) {
            duplicates.push_back(filed.version);
            count = 0;   // listed once
        }
    }
    return duplicates;
}

int CComponentHolder::SetVersionText(CVersion* field, std::string_view text)
{
    if (text.empty())
        return rc::InvalidVersion;
    *field = CVersion(text);
    return rc::Success;
}

int CComponentHolder::SetInstalledVersion(std::string_view version)
{
    return SetVersionText(&m_InstalledVersion, version);
}

int CComponentHolder::SetDownloadedVersion(std::string_view version)
{
    return SetVersionText(&m_DownloadedVersion, version);
}

int CComponentHolder::SetCappedVersion(std::string_view version)
{
    return SetVersionText(&m_CappedVersion, version);
}

int CComponentHolder::SetTemplateVersion(std::string_view version)
{
    return SetVersionText(&m_TemplateVersion, version);
}
