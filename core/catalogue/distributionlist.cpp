#include "core/catalogue/distributionlist.h"

#include "core/catalogue/packagedetails.h"
#include "core/catalogue/version.h"
#include "core/base/filewriter.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

namespace {

// Never destroyed itself: at exit the catalogue's memory goes back with the process, and
// freeing tens of thousands of records one by one took longer than printing them. Its
// destructors release memory only. destroy() still empties the slot.
std::unique_ptr<CDistributionList>& Slot()
{
    static auto* const list = new std::unique_ptr<CDistributionList>();
    return *list;
}

constexpr size_t kDetailsLines = 9;
// Each line was formed in a 256-byte buffer: value, line feed and terminating zero.
constexpr size_t kDetailsValueLimit = 254;

// One line of the details file. A line break inside a value would shift every later line on
// reading, so it is written as a blank.
std::string DetailsLine(std::string value)
{
    if (value.size() > kDetailsValueLimit)
        value.resize(kDetailsValueLimit);
    for (char& c : value)
        if (c == '\n' || c == '\r')
            c = ' ';
    return value + "\n";
}

}  // namespace

CDistributionList* CDistributionList::instance()
{
    std::unique_ptr<CDistributionList>& list = Slot();
    if (!list)
        list.reset(new CDistributionList());
    return list.get();
}

void CDistributionList::destroy() { Slot().reset(); }

int CDistributionList::addDistributions(const std::string& text, const std::string& subPath,
                                        bool merge)
{
    CDistribution* section = nullptr;
    for (std::string line : SplitLines(text)) {
        line = TrimSpaces(line);
        const size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        line = CollapseSpaces(line);
        if (line.empty())
            continue;
        if (line[0] == '[') {
            const size_t close = line.rfind(']');
            const std::string name =
                line.substr(1, close == std::string::npos || close == 0 ? std::string::npos : close - 1);
            if (merge) {
                if (CDistribution* existing = findDistribution(name)) {
                    Trace("Merging with Distribution %s", existing->GetName().c_str());
                    section = existing;
                    continue;
                }
                Trace("No Matching Distribution %s", name.c_str());
            }
            m_Entries.push_back(std::make_unique<CDistribution>(name));
            section = m_Entries.back().get();
            Trace("%s Created", name.c_str());
            continue;
        }
        if (line.find('=') == std::string::npos) {
            Trace("Line Expected to contain \"=\" - %s", line.c_str());
            continue;
        }
        const std::vector<std::string> fields = SplitFields(line, '=');
        if (fields.size() != 2)
            continue;
        const std::string key = CollapseSpaces(ToLower(fields[0]));
        const std::string value = CollapseSpaces(fields[1]);
        Trace("Processing %s = %s", key.c_str(), value.c_str());
        if (key == "minclient")
            UpdateMinClient(value);
        if (section)
            ApplyKey(section, key, value, subPath);
    }
    return 0;
}

void CDistributionList::UpdateMinClient(const std::string& value)
{
    if (m_MinClient.empty() || CVersion(value) > CVersion(m_MinClient))
        m_MinClient = value;
}

void CDistributionList::ApplyKey(CDistribution* section, const std::string& key,
                                 const std::string& value, const std::string& subPath)
{
    if (key == "path") {
        section->SetPath(value);
    } else if (key == "filelist") {
        section->AddFileList(value, subPath);
    } else if (key == "setup") {
        section->SetSetup(value);
    } else if (key == "remove") {
        section->SetRemove(value);
    } else if (key == "start") {
        section->SetStart(value);
    } else if (key == "stop") {
        section->SetStop(value);
    } else if (key == "description") {
        section->SetDescription(value);
    } else if (key == "packagetype") {
        const std::string type = ToLower(value);
        if (type == "exe" || type == "tgz" || type == "zip")
            section->SetPackageType("." + type);
        else
            Trace("Unknown package type %s", type.c_str());
    } else if (key == "platform") {
        const std::string platform = ToLower(value);
        section->SetPlatform(platform == "windows" ? 1 : platform == "linux" ? 2
                             : platform == "solaris" ? 3 : 0);
    } else if (key == "local") {
        if (ToLower(value) == "yes")
            section->SetLocal(true);
        else
            Trace("Unknown distribution option %s", key.c_str());
    }
    // "minclient" was handled for the whole list; other keys are not ours.
}

CDistribution* CDistributionList::getDistribution(int i) const
{
    if (i < 0 || i >= count())
        return nullptr;
    return m_Entries[size_t(i)].get();
}

CDistribution* CDistributionList::findDistribution(const std::string& name) const
{
    for (const auto& entry : m_Entries)
        if (entry->GetName() == name)
            return entry.get();
    return nullptr;
}

void CDistributionList::setCurrentDistribution(const std::string& name)
{
    Trace("Setting Current Distribution to <%s>", name.c_str());
    m_CurrentIndex = -1;
    for (int i = 0; i < count(); ++i) {
        const std::string candidate = TrimSpaces(m_Entries[size_t(i)]->GetName());
        Trace("\tComparing with <%s>", candidate.c_str());
        if (candidate == name) {
            m_CurrentIndex = i;
            Trace("\tMatched DistribIndex = %d", i);
            return;
        }
    }
}

CDistribution* CDistributionList::getCurrentDistribution() const
{
    return getDistribution(m_CurrentIndex);
}

CDistribution* CDistributionList::selectDistribution(int index)
{
    CDistribution* entry = getDistribution(index);
    if (entry)
        m_CurrentIndex = index;
    return entry;
}

void CDistributionList::setCurrentIndex(int index)
{
    if (index >= 0 && index <= count())
        m_CurrentIndex = index;
}

int CDistributionList::writeDistributionDetails(const std::string& path)
{
    const CDistribution* current = getCurrentDistribution();
    if (path.empty() || !current)
        return 1;
    std::string text;
    text += DetailsLine(current->GetName());
    text += DetailsLine(current->GetTessomRoot());
    text += DetailsLine(current->GetSetup());
    text += DetailsLine(current->GetRemove());
    text += DetailsLine(current->GetStart());
    text += DetailsLine(current->GetStop());
    text += DetailsLine(current->GetPackageType());
    text += DetailsLine(std::to_string(current->GetPlatform()));
    text += DetailsLine(current->GetPackageTag());
    return SaveFile(path, text) ? 0 : 1;
}

int CDistributionList::readDistributionDetails(const std::string& path)
{
    std::string content;
    if (path.empty() || !ReadFileBytes(path, &content))
        return 1;
    // The older form is told by its layout before the bytes are split into lines (its counts
    // may hold line-feed bytes); text without a package type falls back to what the stream
    // reader can make of it.
    CPackageDetails old;
    const bool oldLayout = old.ParseOldFormat(content);
    std::vector<std::string> lines = SplitLines(content);
    lines.resize(kDetailsLines);
    if (oldLayout || (lines[6].empty() && !old.distribution.empty())) {
        // The older form has no type, platform or tag: what the text split found there is
        // stream bytes.
        lines = {old.distribution, old.root, old.setup, old.remove, old.start, old.stop,
                 std::string(), std::string(), std::string()};
    }
    if (lines[7].empty())
        lines[7] = "0";
    const int platform = int(ParseDecimal(lines[7]));
    const std::string name = TrimSpaces(lines[0]);
    if (name.empty())
        return 0;
    if (!findDistribution(name)) {
        m_Entries.push_back(std::make_unique<CDistribution>(name));
        Trace("Adding Distribution %s ( none currently listed )", name.c_str());
    }
    setCurrentDistribution(name);
    CDistribution* entry = getCurrentDistribution();
    if (!entry)
        return 0;
    (void)entry->setTessomRoot(lines[1]);   // refused while installed: the old root stays
    entry->SetSetup(lines[2]);
    if (!lines[6].empty())
        entry->SetPackageType(lines[6]);
    if (!lines[3].empty())
        entry->SetRemove(lines[3]);
    if (!lines[4].empty())
        entry->SetStart(lines[4]);
    if (!lines[5].empty())
        entry->SetStop(lines[5]);
    if (platform != 0)
        entry->SetPlatform(platform);
    if (!lines[8].empty())
        entry->SetPackageTag(lines[8]);
    return 0;
}
