#include "core/catalogue/componentmanager.h"

#include "core/catalogue/cache.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/pdfreader.h"
#include "core/catalogue/statefiles.h"
#include "core/base/filewriter.h"
#include "core/base/runstate.h"
#include "core/base/fileutils.h"
#include "core/base/outputmodule.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace {

// Records already taken into a dependency list, found by name and version.
class CRecordSet {
public:
    bool Contains(const CComponent* record) const
    {
        const auto it = m_ByName.find(record->GetName());
        if (it == m_ByName.end())
            return false;
        for (const CComponent* other : it->second)
            if (other->IsSameRecord(*record))
                return true;
        return false;
    }
    void Add(const CComponent* record) { m_ByName[record->GetName()].push_back(record); }

private:
    std::unordered_map<std::string, std::vector<const CComponent*>> m_ByName;
};

// Whether the action still has to reach record x, judged by its holder's state.
bool StillNeeds(const CComponent* x, int action)
{
    const CComponentHolder* holder = x->GetHolder();
    switch (action) {
    case CComponent::ActionInstall: return holder->GetInstalledVersion() < x->GetVersion();
    case CComponent::ActionDownload: return holder->GetDownloadedVersion() < x->GetVersion();
    case CComponent::ActionUninstall: return !holder->GetInstalledVersion().IsZero();
    case CComponent::ActionDelete: return !holder->GetDownloadedVersion().IsZero();
    default: return false;
    }
}

const std::vector<CComponent*>& WalkList(const CComponent* record, int action)
{
    static const std::vector<CComponent*> kNone;
    if (action == CComponent::ActionDownload || action == CComponent::ActionInstall)
        return record->GetDependencies();
    if (action == CComponent::ActionUninstall || action == CComponent::ActionDelete)
        return record->GetDependants();
    return kNone;
}

}  // namespace

CComponentManager::CComponentManager(CDistribution* distribution) : m_pDistribution(distribution) {}

// --- Holders -------------------------------------------------------------------------------

CComponentHolder* CComponentManager::GetHolder(int i) const
{
    if (i < 0 || i >= HolderCount())
        return nullptr;
    return m_Holders[size_t(i)].get();
}

CComponentHolder* CComponentManager::FindHolder(const std::string& name) const
{
    return m_Index.Find(name);
}

CComponentHolder* CComponentManager::AddHolder(const std::string& name)
{
    if (CComponentHolder* existing = FindHolder(name))
        return existing;
    m_Holders.push_back(std::make_unique<CComponentHolder>(name));
    CComponentHolder* holder = m_Holders.back().get();
    m_Index.Add(holder);
    return holder;
}

CComponent* CComponentManager::FindCurrentComponent(const std::string& name) const
{
    const CComponentHolder* holder = FindHolder(name);
    if (!holder)
        return nullptr;
    CComponent* current = holder->GetCurrent();
    return current && current->GetName() == name ? current : nullptr;
}

void CComponentManager::ClearHolders()
{
    m_DependencyList.clear();
    m_VisitedHolders.clear();
    m_pLastFiledHolder = nullptr;
    m_Index.Clear();
    m_Holders.clear();
}

int CComponentManager::CountInstalled() const
{
    int count = 0;
    for (const auto& holder : m_Holders)
        if (holder->GetCurrent() && !holder->GetInstalledVersion().IsZero())
            ++count;
    return count;
}

int CComponentManager::CountDownloaded() const
{
    int count = 0;
    for (const auto& holder : m_Holders)
        if (holder->GetCurrent() && !holder->GetDownloadedVersion().IsZero())
            ++count;
    return count;
}

void CComponentManager::SortHolders()
{
    auto less = [](const std::unique_ptr<CComponentHolder>& a,
                   const std::unique_ptr<CComponentHolder>& b) { return a->GetName() < b->GetName(); };
    // Sorted already as a rule (a second pass, a catalogue in name order): then nothing moves.
    if (!std::is_sorted(m_Holders.begin(), m_Holders.end(), less))
        std::stable_sort(m_Holders.begin(), m_Holders.end(), less);
    for (const auto& holder : m_Holders)
        holder->SortVersions();
}

// --- Package definition texts --------------------------------------------------------------

int CComponentManager::ReadPDF(const std::string& PDF, const std::string& server_path,
                               const std::string& extention)
{
    return CPDFReader::Read(this, PDF, server_path, extention);
}

CComponent* CComponentManager::FileRecord(CComponent&& record)
{
    return FileRecord(std::make_unique<CComponent>(std::move(record)));
}

CComponent* CComponentManager::FileRecord(std::unique_ptr<CComponent> record)
{
    // Catalogues list the versions of a component one after another: the holder of the record
    // before is asked first, which spares most look-ups by name.
    CComponentHolder* holder = m_pLastFiledHolder;
    if (!holder || holder->GetName() != record->GetName()) {
        holder = FindHolder(record->GetName());
        if (!holder) {
            Trace("\tCreating Holder %s", record->GetName().c_str());
            holder = AddHolder(record->GetName());
        }
        m_pLastFiledHolder = holder;
    }
    Trace("\t(%d)Adding.... %s", HolderCount(), record->GetName().c_str());
    return holder->AddComponent(std::move(record));
}

// --- Dependencies and marks ----------------------------------------------------------------

void CComponentManager::ClearVisited()
{
    for (CComponentHolder* holder : m_VisitedHolders)
        holder->m_Visited = false;
    m_VisitedHolders.clear();
}

// Depth first, as a recursion would go, but on an explicit stack: a catalogue may chain
// thousands of components and must not exhaust the call stack.
std::vector<CComponent*> CComponentManager::CollectDependencies(CComponent* record)
{
    struct Frame {
        CComponent* record;
        std::vector<std::string> names;
        size_t next;
        std::vector<CComponent*> list;
        std::unordered_set<std::string> listed;
    };
    auto appendUnlisted = [](Frame* frame, CComponent* x) {
        if (x->GetName() == frame->record->GetName() || frame->listed.count(x->GetName()))
            return;
        frame->listed.insert(x->GetName());
        frame->list.push_back(x);
    };

    ClearVisited();
    std::vector<Frame> stack;
    stack.push_back(Frame{record, record->ParseDepends(), 0, {}, {}});
    std::vector<CComponent*> result;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.names.size()) {
            std::vector<CComponent*> finished = std::move(frame.list);
            stack.pop_back();
            if (stack.empty()) {
                result = std::move(finished);
                break;
            }
            for (CComponent* x : finished)
                appendUnlisted(&stack.back(), x);
            continue;
        }
        const std::string& name = frame.names[frame.next++];
        CComponent* dependency = FindCurrentComponent(name);
        if (!dependency || dependency->GetHolder()->m_Visited)
            continue;
        if (CComponentHolder* own = frame.record->GetHolder(); own && !own->m_Visited) {
            own->m_Visited = true;   // stops cycles that lead back here
            m_VisitedHolders.push_back(own);
        }
        if (dependency->GetName() == frame.record->GetName())
            continue;
        appendUnlisted(&frame, dependency);
        stack.push_back(Frame{dependency, dependency->ParseDepends(), 0, {}, {}});
    }
    ClearVisited();
    return result;
}

void CComponentManager::ResolveDependencies()
{
    // Each current record's depends text is parsed once; dependants are then found by name.
    std::vector<CComponent*> currents;
    currents.reserve(m_Holders.size());
    std::unordered_map<std::string, std::vector<CComponent*>> dependantsByName;
    for (const auto& holder : m_Holders) {
        CComponent* current = holder->GetCurrent();
        currents.push_back(current);
        if (!current)
            continue;
        for (const std::string& name : current->ParseDepends())
            dependantsByName[name].push_back(current);
    }
    for (CComponent* record : currents) {
        if (!record)
            continue;
        record->SetDependencies(CollectDependencies(record));
        record->ClearDependants();
        const auto it = dependantsByName.find(record->GetName());
        if (it == dependantsByName.end())
            continue;
        for (CComponent* dependant : it->second)
            if (!dependant->IsSameRecord(*record))
                (void)record->AddDependant(dependant);   // neither refusal can happen here
    }
}

const std::vector<CComponent*>& CComponentManager::GetDependencyList(int action)
{
    m_DependencyList.clear();
    CRecordSet listed;
    struct Step {
        const std::vector<CComponent*>* list;
        size_t next;
    };
    for (const auto& holder : m_Holders) {
        const CComponent* start = holder->GetCurrent();
        if (!start || start->GetAction() != action)
            continue;
        std::vector<Step> stack{{&WalkList(start, action), 0}};
        while (!stack.empty()) {
            Step& step = stack.back();
            if (step.next == step.list->size()) {
                stack.pop_back();
                continue;
            }
            CComponent* x = (*step.list)[step.next++];
            if (!x->GetHolder() || x->GetAction() == action || listed.Contains(x) ||
                x->GetHolder()->HasAction(action))
                continue;
            if (!StillNeeds(x, action))
                continue;
            listed.Add(x);
            m_DependencyList.push_back(x);
            stack.push_back(Step{&WalkList(x, action), 0});
        }
    }
    return m_DependencyList;
}

int CComponentManager::MarkAll(int action)
{
    if (action == CComponent::ActionDownload && !CRunState::Instance().m_bOnline)
        return rc::CannotDownloadOffline;
    for (const auto& holder : m_Holders) {
        CComponent* record = holder->GetCurrent();
        if (!record || !record->IsIncluded())
            continue;
        bool mark = false;
        switch (action) {
        case CComponent::ActionDownload:
            mark = record->GetVersion() > holder->GetDownloadedVersion();
            break;
        case CComponent::ActionInstall:
            mark = record->GetVersion() > holder->GetInstalledVersion();
            break;
        case CComponent::ActionUninstall:
        case CComponent::ActionDelete:
            mark = true;
            break;
        default:
            break;
        }
        // The current record is the capped one when a cap is set, so the cap never refuses.
        if (mark)
            (void)record->SetAction(action);
    }
    return rc::Success;
}

std::vector<CComponent*> CComponentManager::UpgradeCandidates() const
{
    std::vector<CComponent*> candidates;
    for (const auto& holder : m_Holders) {
        CComponent* latest = holder->GetLatest();
        if (!latest || !latest->IsIncluded())
            continue;
        const CVersion& installed = holder->GetInstalledVersion();
        const CVersion& downloaded = holder->GetDownloadedVersion();
        const CVersion& version = latest->GetVersion();
        bool candidate;
        if (installed.IsZero() && !downloaded.IsZero())
            candidate = downloaded <= version;
        else if (!installed.IsZero() && downloaded.IsZero())
            candidate = installed < version;
        else
            candidate = version > installed || version > downloaded;
        if (candidate)
            candidates.push_back(latest);
    }
    return candidates;
}

std::string CComponentManager::InstallMessages() const
{
    std::string text;
    for (const auto& holder : m_Holders) {
        const CComponent* record = holder->GetCurrent();
        if (!record || record->GetAction() != CComponent::ActionInstall || !record->HasInstallMessage())
            continue;
        text += record->GetName() + " v." + record->GetVersion().ToString() + "\n";
        text += "\t" + record->GetInstallMessage() + "\n\n";
    }
    return text;
}

void CComponentManager::IncludeAll()
{
    for (const auto& holder : m_Holders)
        if (CComponent* record = holder->GetCurrent())
            record->SetIncluded(true);
}

void CComponentManager::ClearAllActions()
{
    for (const auto& holder : m_Holders)
        if (CComponent* record = holder->GetCurrent())
            record->StoreAction(CComponent::ActionNone);
}

namespace {

// The names in each platform's cache folder, listed once for a pass over the whole catalogue:
// most records of a large catalogue have nothing in the cache, and a failed open per record
// costs a system call each. A listed name is still opened by IsInCache.
class CCachedNames {
public:
    /// False only when record's archive surely is not in the cache.
    bool MayHold(const CComponent& record)
    {
        const auto [it, added] = m_Folders.try_emplace(record.GetPlatform());
        Folder& folder = it->second;
        if (added) {
            const std::string path = GetCacheFolder(record.GetPlatform());
            // A folder that cannot be listed may still let a known name be opened.
            folder.listed = !EntryExists(path) || ::access(path.c_str(), R_OK | X_OK) == 0;
            for (std::string& name : ListEntries(path))
                folder.names.insert(std::move(name));
        }
        if (!folder.listed)
            return true;
        // An empty folder needs no archive name made.
        return !folder.names.empty() && folder.names.count(record.ArchiveName()) > 0;
    }

private:
    struct Folder {
        bool listed = false;
        std::unordered_set<std::string> names;
    };
    std::unordered_map<int, Folder> m_Folders;
};

}  // namespace

void CComponentManager::VerifyDownloaded()
{
    CCachedNames cached;
    for (const auto& holder : m_Holders) {
        CComponent* record = holder->FindByVersion(holder->GetDownloadedVersion());
        if (!record) {
            if (CComponent* current = holder->GetCurrent(); current && cached.MayHold(*current))
                (void)current->IsInCache(true);   // a hit records the version
            continue;
        }
        if (!cached.MayHold(*record) || !record->IsInCache(true))
            holder->SetDownloadedVersion(CVersion("0.0.0.0"));
    }
}

// --- State files ---------------------------------------------------------------------------

int CComponentManager::DistributionPlatform() const
{
    return m_pDistribution ? m_pDistribution->GetPlatform() : 0;
}

std::string CComponentManager::DistributionPackageType() const
{
    return m_pDistribution ? m_pDistribution->GetPackageType() : std::string();
}

CComponent CComponentManager::NewRecord() const
{
    CComponent record(m_pDistribution);
    record.SetPlatform(DistributionPlatform());
    (void)record.SetExtention(DistributionPackageType());   // none named: the ".zip" default
    return record;
}

std::string CComponentManager::DownloadedStatePath(const std::string& folder) const
{
    if (!folder.empty())
        return JoinPath(folder, "packages.dat");
    const std::string alias = m_pDistribution ? m_pDistribution->GetAlias() : std::string();
    if (alias.empty())
        return std::string();
    return JoinPath(JoinPath("packages", alias), "packages.dat");
}

std::string CComponentManager::InstalledStatePath() const
{
    if (!m_pDistribution || m_pDistribution->GetTessomRoot().empty() ||
        m_pDistribution->GetAlias().empty())
        return std::string();
    return CStateFiles::InstalledStatePath(m_pDistribution->GetTessomRoot(),
                                           m_pDistribution->GetAlias());
}

int CComponentManager::WriteDownloadedState(const std::string& folder)
{
    // Without a package name the file would land beside the package folders.
    const std::string path = DownloadedStatePath(folder);
    if (path.empty() || !SaveFile(path, CStateFiles::DownloadedStateText(*this))) {
        Trace("Cannot write downloaded state %s", path.c_str());
        m_bStateNotSaved = true;
        return rc::CannotCreateFile;
    }
    return rc::Success;
}

int CComponentManager::WriteInstalledState()
{
    // Without a root the file would be written below the file-system root.
    const std::string path = InstalledStatePath();
    if (path.empty()) {
        Trace("Cannot write installed state: no root or package name");
        m_bStateNotSaved = true;
        return rc::CannotCreateFile;
    }
    if (IsFolder(m_pDistribution->GetTessomRoot()))
        (void)MakeDirPath(DirName(path));   // may exist already; the write below decides
    if (!SaveFile(path, CStateFiles::InstalledStateText(*this))) {
        Trace("Cannot write installed state %s", path.c_str());
        m_bStateNotSaved = true;
        return rc::CannotCreateFile;
    }
    return rc::Success;
}

void CComponentManager::ReadDownloadedState(const std::string& path)
{
    std::string text;
    if (!path.empty() && ReadFileBytes(path, &text))
        MergeDownloadedState(CStateFiles::ReadSections(&text, CStateFiles::Downloaded));
}

void CComponentManager::ReadInstalledState(const std::string& path)
{
    std::string text;
    if (!path.empty() && ReadFileBytes(path, &text))
        MergeInstalledState(CStateFiles::ReadSections(&text, CStateFiles::Installed));
}

void CComponentManager::MergeDownloadedState(const std::vector<CStateSection>& sections)
{
    for (const CStateSection& section : sections)
        CloseDownloadedSection(section);
}

void CComponentManager::MergeInstalledState(const std::vector<CStateSection>& sections)
{
    for (const CStateSection& section : sections)
        CloseInstalledSection(section);
}

namespace {

/// 0 when the file read is missing or sound; otherwise tells the user what is wrong with it
/// and gives 122 (its text was not kept). Read as empty, a damaged file would make every
/// command act as if nothing were downloaded or installed.
int ReportDamage(const CStateFileRead& read)
{
    if (read.damage.empty())
        return rc::Success;
    Trace("Damaged state file %s: %s", read.path.c_str(), read.damage.c_str());
    NUVDisplay("The file %s is damaged: %s\n", read.path.c_str(), read.damage.c_str());
    return rc::FileDamaged;
}

}  // namespace

void CComponentManager::ReadStateFilesAhead(StateFilesRead* read) const
{
    // Each file is read once: the damage check and the merge share its text.
    CStateFiles::ReadFile(DownloadedStatePath(std::string()), CStateFiles::Downloaded,
                          &read->downloaded);
    const std::string root = CStateFiles::GetInstallationDir();
    const std::string alias = m_pDistribution ? m_pDistribution->GetAlias() : std::string();
    // Nothing is installed, or no package is open: the installed state does not count.
    read->installedCounts = !root.empty() && !alias.empty();
    const std::string installed =
        read->installedCounts ? CStateFiles::InstalledStatePath(root, alias) : std::string();
    CStateFiles::ReadFile(installed, CStateFiles::Installed, &read->installed);
}

int CComponentManager::MergeStateFiles(const StateFilesRead& read)
{
    const int downloadedCheck = ReportDamage(read.downloaded);
    MergeDownloadedState(read.downloaded.sections);
    if (!read.installedCounts)
        return downloadedCheck;
    const int installedCheck = ReportDamage(read.installed);
    MergeInstalledState(read.installed.sections);
    return downloadedCheck != rc::Success ? downloadedCheck : installedCheck;
}

int CComponentManager::ReadStateFiles()
{
    StateFilesRead read;
    ReadStateFilesAhead(&read);
    return MergeStateFiles(read);
}

void CComponentManager::CloseDownloadedSection(const CStateSection& section)
{
    const std::string name(section.name);
    const CVersion version(section.version);
    const bool included = section.included;
    CComponentHolder* holder = FindHolder(name);
    CComponent* known = holder ? holder->FindByVersion(version) : nullptr;
    if (known) {
        known->SetIncluded(included);
    } else {
        // Refused values (empty texts) leave the defaults, as the catalogue reader does.
        CComponent record = NewRecord();
        (void)record.SetName(section.name);
        (void)record.SetPackage(section.package);
        (void)record.SetGroup(section.group);
        (void)record.SetDescription(section.description);
        (void)record.SetNeedSetup(section.needSetup);
        (void)record.SetNeedStartService(section.needStartService);
        (void)record.SetDepends(section.depends);
        (void)record.SetVersion(section.version);
        record.SetIncluded(included);
        const bool online = CRunState::Instance().m_bOnline;
        if (version != CVersion("0.0.0") && (!online || record.IsInCache(false))) {
            holder = AddHolder(name);
            holder->AddComponent(std::move(record));
        }
    }
    if (!holder)
        return;
    if (!section.capped.empty())
        (void)holder->SetCappedVersion(section.capped);
    if (!included)
        if (CComponent* current = holder->GetCurrent())
            current->SetIncluded(false);
    const CVersion downloaded(section.counter);
    if (CComponent* record = holder->FindByVersion(downloaded); record && record->IsInCache(false))
        holder->SetDownloadedVersion(downloaded);
}

void CComponentManager::CloseInstalledSection(const CStateSection& section)
{
    CComponentHolder* holder = AddHolder(std::string(section.name));
    auto makeRecord = [&](std::string_view version) {
        CComponent record = NewRecord();
        (void)record.SetName(section.name);
        (void)record.SetGroup(section.group);
        (void)record.SetDescription(section.description);
        (void)record.SetNeedSetup(section.needSetup);
        (void)record.SetNeedStartService(section.needStartService);
        (void)record.SetDepends(section.depends);
        (void)record.SetVersion(version);
        return record;
    };
    const CVersion version(section.version);
    const CVersion installed(section.counter);
    if (!holder->FindByVersion(version) &&
        (!CRunState::Instance().m_bOnline || version == installed))
        holder->AddComponent(makeRecord(section.version));
    // As SetInstalledVersion(section.counter) would set it, without reading the text again.
    if (!section.counter.empty())
        holder->SetInstalledVersion(installed);
    // Every installed version needs a record to be uninstalled from; a zero one is nothing.
    if (!installed.IsZero() && !holder->FindByVersion(installed))
        holder->AddComponent(makeRecord(section.counter));
    if (!section.capped.empty())
        (void)holder->SetCappedVersion(section.capped);
}

int CComponentManager::WriteServerPathList(const std::string& name)
{
    const std::string folder = "debug_files";
    (void)MakeDirPath(folder);   // may exist already; the write below decides
    // Earlier listings are kept: a taken name gets a number.
    std::string path = JoinPath(folder, name + ".txt");
    for (int n = 1; EntryExists(path); ++n)
        path = JoinPath(folder, name + "_" + std::to_string(n) + ".txt");
    static const char kStars[] = "*****************************************************";
    std::string text;
    for (const auto& holder : m_Holders) {
        const CComponent* record = holder->GetCurrent();
        if (!record)
            continue;
        if (record->GetServerPath().empty())
            text += std::string(kStars) + "\n" + record->GetName() + " EMPTY PATH\n" + kStars + "\n";
        else
            text += record->GetName() + " at  " + record->GetServerPath() + "\n";
    }
    return WriteFileAtomically(path, text) ? rc::Success : rc::CannotCreateFile;
}
