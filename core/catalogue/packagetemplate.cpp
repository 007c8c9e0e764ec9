#include "core/catalogue/packagetemplate.h"

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/catalogue/packagestore.h"
#include "core/catalogue/statefiles.h"
#include "core/base/filewriter.h"
#include "core/base/resultcodes.h"
#include "core/base/runstate.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

namespace {

const char kTemplateFolder[] = "PTF";

const char* PlatformText(int platform)
{
    switch (platform) {
    case 1: return "Windows";
    case 2: return "Linux";
    case 3: return "Solaris";
    default: return nullptr;
    }
}

const char* TrueFalse(bool value) { return value ? "TRUE" : "FALSE"; }

/// The component lines of one holder's current record.
std::string ComponentText(const CComponentHolder& holder, const CComponent& record)
{
    std::string text = "[" + holder.GetName() + "]\n";
    text += "COMPONENT=" + record.GetPackage() + "\n";
    text += "VERSION=" + holder.GetEffectiveVersion().ToString() + "\n";
    text += "GROUP=" + record.GetGroup() + "\n";
    text += "DESCRIPTION=" + record.GetDescription() + "\n";
    text += std::string("NEEDSETUP=") + TrueFalse(record.NeedSetup()) + "\n";
    text += std::string("NEEDSTARTSERVICE=") + TrueFalse(record.NeedStartService()) + "\n";
    text += "DEPENDS=" + record.GetDepends() + "\n";
    return text;
}

}  // namespace

CPackageTemplate::CPackageTemplate(const std::string& fileName, bool fromFile)
    : m_FileName(fileName), m_FromFile(fromFile)
{
}

std::string CPackageTemplate::TemplateText(const CDistribution& distribution)
{
    std::string text = std::string(CStateFiles::kHeader) + "\n";
    text += "<DISTRIBUTION>\n\n";
    text += "ALIAS=" + distribution.GetAlias() + "\n";
    text += "DISTRIB=" + distribution.GetName() + "\n";
    text += "TESSOM_ROOT=" + distribution.GetTessomRoot() + "\n";
    text += "INSTALL=" + distribution.GetSetup() + "\n";
    text += "UNINSTALL=" + distribution.GetRemove() + "\n";
    text += "SERVICESTART=" + distribution.GetStart() + "\n";
    text += "SERVICESTOP=" + distribution.GetStop() + "\n";
    if (const char* platform = PlatformText(distribution.GetPlatform()))
        text += std::string("PLATFORM=") + platform + "\n";
    text += "PACKAGE_TAG=" + distribution.GetPackageTag() + "\n\n";
    text += "<END DISTRIBUTION>\n\n";
    text += "<COMPONENTS>\n\n";
    const CComponentManager* manager = distribution.GetComponentManager();
    for (int i = 0; i < manager->HolderCount(); ++i) {
        const CComponentHolder* holder = manager->GetHolder(i);
        const CComponent* record = holder->GetCurrent();
        if (record && record->IsIncluded())
            text += ComponentText(*holder, *record);
    }
    text += "<END COMPONENTS>\n";
    return text;
}

int CPackageTemplate::WriteTemplate(const CDistribution& distribution)
{
    // The alias names the file; one that is no package name could place it outside "PTF".
    if (!CPackageStore::IsSafePackageName(distribution.GetAlias())) {
        Trace("No template for package <%s>", distribution.GetAlias().c_str());
        return rc::FailedOpeningPTF;
    }
    const std::string path = JoinPath(kTemplateFolder, distribution.GetAlias() + ".ptf");
    if (!SaveFile(path, TemplateText(distribution))) {
        Trace("Cannot write %s", path.c_str());
        return rc::FailedOpeningPTF;
    }
    return rc::Success;
}

bool CPackageTemplate::ReadTemplate()
{
    if (m_Text.empty() && m_FromFile)
        (void)ReadFileBytes(m_FileName, &m_Text);   // a missing file leaves no text
    if (m_Text.empty()) {
        m_ErrorState = NoTemplateText;
        return false;
    }
    m_Pending = CTemplateComponent();
    m_Block = Block::None;
    for (const std::string& raw : SplitLines(m_Text)) {
        if (raw.empty())
            continue;
        const std::string line = TrimSpaces(raw);
        Trace("CURRENTLINE: %s", line.c_str());
        std::string key, value;
        if (!SplitKeyValue(line, &key, &value)) {
            if (!line.empty() && line[0] == '[') {
                StorePending();
                m_Pending.name = line.size() >= 2 ? line.substr(1, line.size() - 2) : std::string();
            } else {
                (void)ApplyMarker(line);   // any other line is ignored
            }
            continue;
        }
        ApplyKey(ToUpper(key), value);
    }
    return true;
}

bool CPackageTemplate::ApplyMarker(const std::string& line)
{
    if (line == "<PTF>") {
        m_Block = Block::Header;
    } else if (line == "<DISTRIBUTION>") {
        m_Block = Block::Distribution;
    } else if (line == "<COMPONENTS>") {
        m_Block = Block::Components;
    } else if (line == "<END PTF>" || line == "<END DISTRIBUTION>") {
        m_Block = Block::None;
    } else if (line == "<END COMPONENTS>") {
        StorePending();
        m_Block = Block::None;
    } else {
        return false;
    }
    return true;
}

void CPackageTemplate::ApplyKey(const std::string& key, const std::string& value)
{
    switch (m_Block) {
    case Block::Header:
        if (key == "NAME") m_Name = value;
        else if (key == "DESCRIPTION") m_Description = value;
        else if (key == "TEXTFILE") m_TextFile = value;
        break;
    case Block::Distribution:
        if (key == "ALIAS") m_Alias = value;
        else if (key == "DISTRIB") m_Distribution = value;
        else if (key == "TESSOM_ROOT") m_TessomRoot = value;
        else if (key == "INSTALL") m_Install = value;
        else if (key == "UNINSTALL") m_Uninstall = value;
        else if (key == "START") m_Start = value;
        else if (key == "STOP") m_Stop = value;
        else if (key == "PLATFORM") m_Platform = value;
        else if (key == "PACKAGE_TAG") m_PackageTag = value;
        break;
    case Block::Components:
        if (key == "COMPONENT") m_Pending.package = value;
        else if (key == "VERSION") m_Pending.version = CVersion(value);
        else if (key == "GROUP") m_Pending.group = value;
        else if (key == "DESCRIPTION") m_Pending.description = value;
        else if (key == "DEPENDS") m_Pending.depends = value;
        else if (key == "NEEDSETUP") m_Pending.needSetup = ToUpper(value) == "TRUE";
        else if (key == "NEEDSTARTSERVICE") m_Pending.needStartService = ToUpper(value) == "TRUE";
        break;
    case Block::None:
        break;
    }
}

void CPackageTemplate::StorePending()
{
    if (!m_Pending.name.empty())
        m_Components.push_back(m_Pending);
    m_Pending = CTemplateComponent();
}

const CTemplateComponent* CPackageTemplate::FindEntry(const std::string& name) const
{
    for (const CTemplateComponent& entry : m_Components)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

int CPackageTemplate::PrepareNewPackage(const std::string& packageName)
{
    if (!packageName.empty())
        m_Alias = packageName;
    if (CPackageStore::PackageExists(m_Alias)) {
        m_ErrorState = PackageAlreadyExists;
        return -1;
    }
    const CDistributionList* list = CDistributionList::instance();
    for (int i = 0; i < list->count(); ++i)
        if (list->getDistribution(i)->GetName() == m_Distribution)
            return i;
    m_ErrorState = DistributionNotListed;
    return -1;
}

bool CPackageTemplate::FinishNewPackage(bool created)
{
    if (!created) {
        m_ErrorState = CreatingPackageFailed;
        return false;
    }
    // A package whose selection could not be saved would later open with every component
    // included and uncapped, which is not the package the template describes.
    const CDistribution* current = CDistributionList::instance()->getCurrentDistribution();
    if (!current || ApplyTemplateComponents(current->GetComponentManager()) != rc::Success) {
        m_ErrorState = CreatingPackageFailed;
        return false;
    }
    return true;
}

int CPackageTemplate::ApplyTemplateComponents(CComponentManager* manager)
{
    const bool referenceOnly = CRunState::Instance().m_bPTFReferenceOnly;
    for (int i = 0; i < manager->HolderCount(); ++i) {
        CComponentHolder* holder = manager->GetHolder(i);
        const CTemplateComponent* entry = FindEntry(holder->GetName());
        if (!entry) {
            if (CComponent* current = holder->GetCurrent())
                (void)current->SetIncluded(false);
            continue;
        }
        if (holder->FindByVersion(entry->version)) {
            holder->SetCappedVersion(entry->version);
            holder->SetTemplateVersion(entry->version);
            if (CComponent* current = holder->GetCurrent()) {
                (void)current->SetIncluded(true);
                (void)current->IsInCache(true);   // a hit records the downloaded version
            }
            continue;
        }
        // The archive type matters: a ".tgz" package's archive would otherwise be looked for
        // as ".zip" and the cached version never found.
        CComponent record = manager->NewRecord();
        // Refused (empty) values keep the record's defaults, as the catalogue reader does.
        (void)record.SetName(entry->name);
        (void)record.SetPackage(entry->package);
        record.SetVersion(entry->version);
        (void)record.SetGroup(entry->group);
        (void)record.SetDescription(entry->description);
        (void)record.SetDepends(entry->depends);
        (void)record.SetNeedSetup(entry->needSetup);
        (void)record.SetNeedStartService(entry->needStartService);
        if (!referenceOnly) {
            Trace("Template version %s of %s is no longer offered",
                  entry->version.ToString().c_str(), entry->name.c_str());
            m_MissingVersions.push_back(record);
            continue;
        }
        (void)record.SetIncluded(true);
        holder->SetCappedVersion(entry->version);
        holder->SetTemplateVersion(entry->version);
        CComponent* filed = holder->AddComponent(std::move(record));
        (void)filed->IsInCache(true);   // a hit records the downloaded version
    }
    if (referenceOnly)
        return rc::Success;
    return manager->WriteDownloadedState();
}
