#include "core/catalogue/component.h"

#include "core/catalogue/cache.h"
#include "core/catalogue/componentholder.h"
#include "core/base/digest.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <cstdio>
#include <sys/stat.h>

CComponent::CComponent(CDistribution* distribution) : m_pDistribution(distribution) {}

int CComponent::SetText(std::string* field, std::string_view value, int emptyCode)
{
    if (value.empty())
        return emptyCode;
    field->assign(value);
    return rc::Success;
}

int CComponent::SetBool(bool* field, std::string_view value)
{
    if (value.empty())
        return rc::InvalidNeedsSetup;
    if (value == "yes" || value == "YES") {
        *field = true;
        return rc::Success;
    }
    if (value == "no" || value == "NO") {
        *field = false;
        return rc::Success;
    }
    return rc::UnknownBoolString;
}

int CComponent::SetName(std::string_view name)
{
    return SetText(&m_Name, name, rc::ComponentNameInvalid);
}

int CComponent::SetPackage(std::string_view package)
{
    if (!package.empty() && !IsSinglePathSegment(std::string(package))) {
        Trace("Refusing archive name <%.*s> of %s: not a single path segment",
              int(package.size()), package.data(), m_Name.c_str());
        m_Package.clear();
        m_PackageRefused = true;
        return rc::InvalidComponentFileName;
    }
    const int result = SetText(&m_Package, package, rc::InvalidComponentFileName);
    if (result == rc::Success)
        m_PackageRefused = false;
    return result;
}

int CComponent::SetVersion(std::string_view version)
{
    if (version.empty())
        return rc::InvalidVersion;
    m_Version = CVersion(version);
    return rc::Success;
}

int CComponent::SetGroup(std::string_view group)
{
    return SetText(&m_Group, group, rc::InvalidGroup);
}

int CComponent::SetDescription(std::string_view description)
{
    return SetText(&m_Description, description, rc::InvalidDescription);
}

int CComponent::SetReleaseNotes(std::string_view notes)
{
    return SetText(&m_ReleaseNotes, notes, rc::InvalidReleaseNotes);
}

int CComponent::SetDepends(std::string_view depends)
{
    return SetText(&m_Depends, depends, rc::InvalidDepends);
}

int CComponent::SetNeedSetup(std::string_view value) { return SetBool(&m_NeedSetup, value); }

int CComponent::SetNeedStartService(std::string_view value)
{
    return SetBool(&m_NeedStartService, value);
}

int CComponent::SetServerPath(std::string_view path)
{
    return SetText(&m_ServerPath, path, rc::InvalidPathFromServerRoot);
}

int CComponent::SetExtention(std::string_view extention)
{
    return SetText(&m_Extention, extention, rc::InvalidExtension);
}

int CComponent::SetInstallMessage(std::string_view message)
{
    m_InstallMessage.assign(message);
    return rc::Success;
}

int CComponent::SetSha256(std::string_view digest)
{
    const std::string normalized = NormalizedSha256(std::string(digest));
    if (normalized.empty()) {
        // Treated as absent: a typing error on the server must not make the archive
        // unobtainable, and without a digest it is taken as before.
        Trace("\t\tsha256 of %s is not 64 hex digits, ignored: %.*s", m_Name.c_str(),
              int(digest.size()), digest.data());
        m_Sha256.clear();
        return rc::InvalidFile;
    }
    m_Sha256 = normalized;
    return rc::Success;
}

int CComponent::SetNeedSetup(bool value)
{
    m_NeedSetup = value;
    return rc::Success;
}

int CComponent::SetNeedStartService(bool value)
{
    m_NeedStartService = value;
    return rc::Success;
}

int CComponent::SetIncluded(bool included)
{
    m_Included = included;
    return rc::Success;
}

int CComponent::SetAction(int action)
{
    if (action != ActionInstall || !m_pHolder) {
        m_Action = action;
        return rc::Success;
    }
    m_pHolder->ClearActions();
    m_Action = ActionInstall;
    if (m_pHolder->IsCapped() && m_Version > m_pHolder->GetCappedVersion()) {
        m_Action = ActionNone;
        return rc::CapBelowInstallVersion;
    }
    const CVersion& installed = m_pHolder->GetInstalledVersion();
    if (installed.IsZero())
        return rc::Success;
    if (installed == m_Version) {
        m_Action = ActionNone;   // already there: nothing to install
        return rc::Success;
    }
    // The installed version has to go before this one can be put in its place.
    if (CComponent* old = m_pHolder->FindByVersion(installed))
        old->m_Action = ActionUninstall;
    return rc::Success;
}

std::vector<std::string> CComponent::ParseDepends() const
{
    std::vector<std::string> names = SplitFields(CollapseSpaces(m_Depends), ',');
    for (std::string& name : names)
        name = TrimSpaces(name);
    return names;
}

int CComponent::AddDependency(CComponent* record)
{
    if (!record)
        return rc::NullPointer;
    if (IsSameRecord(*record))
        return rc::CantDependOnSelf;
    m_Dependencies.push_back(record);
    return rc::Success;
}

int CComponent::AddDependant(CComponent* record)
{
    if (!record)
        return rc::NullPointer;
    if (IsSameRecord(*record))
        return rc::CantDependOnSelf;
    m_Dependants.push_back(record);
    return rc::Success;
}

bool CComponent::IsSameRecord(const CComponent& other) const
{
    return m_Name == other.m_Name && m_Version == other.m_Version;
}

std::string CComponent::ArchiveName() const
{
    if (m_PackageRefused)
        return std::string();
    std::string name;
    if (m_Package.empty())
        name = m_Name + "-" + m_Version.ToString() + m_Extention;
    // A substring test on purpose: "pkg.zip.old" counts as already carrying ".zip".
    else if (m_Package.find(m_Extention) != std::string::npos)
        name = m_Package;
    else
        name = m_Package + m_Extention;
    // The name is joined under the cache folder: it must not climb out of it.
    return IsSinglePathSegment(name) ? name : std::string();
}

std::string CComponent::ArchivePath() const
{
    const std::string name = ArchiveName();
    return name.empty() ? std::string() : JoinPath(GetCacheFolder(m_Platform), name);
}

bool CComponent::IsInCache(bool update)
{
    const std::string name = ArchiveName();
    if (name.empty())
        return false;
    const std::string path = JoinPath(GetCacheFolder(m_Platform), name);
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    // A folder of that name opens on this system but is no archive.
    struct stat st;
    const bool isFile = ::fstat(fileno(file), &st) == 0 && !S_ISDIR(st.st_mode);
    std::fclose(file);
    if (!isFile)
        return false;
    if (m_Package.empty())
        m_Package = name;
    if (update && m_pHolder)
        m_pHolder->SetDownloadedVersion(m_Version);
    return true;
}
