// The packages and the open package's components as JSON documents, for tools that read them
// instead of the messages.

#include "core/nuvfunctions.h"

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/base/runstate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

QString Text(const std::string& text) { return QString::fromLatin1(text.c_str()); }

/// A version as its text; null for the none version.
QJsonValue VersionValue(const CVersion& version)
{
    return version.IsZero() ? QJsonValue() : QJsonValue(Text(version.ToString()));
}

/// The SHA-256 digest of record's archive as the catalogue gives it, in hex; null while the
/// catalogue gives none. The one place the inventory learns a digest.
QJsonValue ArchiveDigest(const CComponent* record)
{
    if (!record || record->GetSha256().empty())
        return QJsonValue();
    return Text(record->GetSha256());
}

QJsonObject PackageObject(const std::string& name, const CPackageDetails& details,
                          const std::string& installed)
{
    return QJsonObject{{"name", Text(name)},
                       {"distribution", Text(details.distribution)},
                       {"root", Text(details.root)},
                       {"tag", Text(details.tag)},
                       {"installed", !installed.empty() && name == installed}};
}

QJsonObject ComponentObject(const CComponentHolder& holder, bool update)
{
    const CComponent* current = holder.GetCurrent();
    return QJsonObject{{"name", Text(holder.GetName())},
                       {"group", Text(current ? current->GetGroup() : std::string())},
                       {"included", current && current->IsIncluded()},
                       {"installed", VersionValue(holder.GetInstalledVersion())},
                       {"downloaded", VersionValue(holder.GetDownloadedVersion())},
                       {"capped", VersionValue(holder.GetCappedVersion())},
                       {"newest", VersionValue(holder.GetMaxVersion())},
                       {"update", update},
                       {"sha256", ArchiveDigest(current)}};
}

std::string Indented(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace

std::string CNUVFunctions::PackagesJson() const
{
    const std::string installed = GetInstalledPackage();
    QJsonArray packages;
    for (const std::string& name : GetPackageList())
        if (!name.empty())
            packages.append(PackageObject(name, GetDetailsForPackage(name), installed));
    return Indented(QJsonObject{{"packages", packages}});
}

std::string CNUVFunctions::OpenPackageJson() const
{
    const CDistribution* current = CDistributionList::instance()->getCurrentDistribution();
    if (!current || !current->GetComponentManager())
        return Indented(QJsonObject());
    const CComponentManager& manager = *current->GetComponentManager();
    const std::vector<CComponent*> updates = manager.UpgradeCandidates();
    QJsonArray components;
    for (int i = 0; i < manager.HolderCount(); ++i) {
        const CComponentHolder& holder = *manager.GetHolder(i);
        const bool update = std::any_of(updates.begin(), updates.end(), [&](const CComponent* r) {
            return r->GetHolder() == &holder;
        });
        components.append(ComponentObject(holder, update));
    }
    const std::string name = current->GetAlias();
    return Indented(QJsonObject{
        {"package", PackageObject(name, GetDetailsForPackage(name), GetInstalledPackage())},
        {"catalogue", m_RunState.m_bCatalogueFromServer ? "server" : "cache"},
        {"components", components}});
}
