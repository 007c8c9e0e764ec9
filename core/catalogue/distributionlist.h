#pragma once

#include "core/catalogue/distribution.h"

#include <memory>
#include <string>
#include <vector>

/// The one process-wide list of distributions, built from the servers' distribution texts and
/// from the packages' details files. Owns its records; knows the current one and the highest
/// minimum client version any text demanded. Used from the facade's thread only.
class CDistributionList {
public:
    /// The list, created on first use (current index 0, no entries, no minclient).
    static CDistributionList* instance();
    /// Deletes the list; the next instance() makes a fresh one. Pointers to its records die.
    static void destroy();

    CDistributionList(const CDistributionList&) = delete;
    CDistributionList& operator=(const CDistributionList&) = delete;

    /// Parses a distributions text: sections create records (with merge, a section naming an
    /// existing record adds to it); "filelist" lines are kept with subPath; every other known
    /// key overwrites; "minclient" keeps the highest version met. Malformed lines are traced and
    /// skipped. Always 0.
    int addDistributions(const std::string& text, const std::string& subPath, bool merge);

    int count() const { return int(m_Entries.size()); }
    /// Entry i for 0 <= i < count(), else null.
    CDistribution* getDistribution(int i) const;
    /// First entry whose name equals name exactly, else null.
    CDistribution* findDistribution(const std::string& name) const;
    /// Makes the first entry whose trimmed name equals name current; none matching: index -1.
    void setCurrentDistribution(const std::string& name);
    /// Null when the current index is -1 or not below count().
    CDistribution* getCurrentDistribution() const;
    /// Sets and returns entry index when it exists; otherwise null and the index stays.
    CDistribution* selectDistribution(int index);
    /// Accepts 0 <= index <= count() (count() leaves no current entry); ignores others.
    void setCurrentIndex(int index);
    int getCurrentIndex() const { return m_CurrentIndex; }
    /// Removes every entry; minclient and the current index stay.
    void clear() { m_Entries.clear(); }
    const std::string& getMinClient() const { return m_MinClient; }

    /// Writes the current entry's nine-line details file (values cut to 254 characters).
    /// 0; 1 for an empty path, no current entry or a failed write (an older file stays).
    int writeDistributionDetails(const std::string& path);
    /// Reads a details file (or its older data-stream form), adds the distribution when it is
    /// not listed, makes it current and sets its fields. 0; 1 when the file cannot be read.
    int readDistributionDetails(const std::string& path);

private:
    CDistributionList() = default;
    void ApplyKey(CDistribution* section, const std::string& key, const std::string& value,
                  const std::string& subPath);
    void UpdateMinClient(const std::string& value);

    int m_CurrentIndex = 0;
    std::string m_MinClient;
    std::vector<std::unique_ptr<CDistribution>> m_Entries;
};
