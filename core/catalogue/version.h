#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// A component version such as 6.4.0 or 2.0.1b3. Suffix letters order a < b < s < (none) < p.
/// Versions with different part counts are never equal and never ordered against each other
/// unless their numbers differ.
class CVersion {
public:
    enum Kind : int32_t { KindNotSet = 0, KindA = 1, KindB = 2, KindS = 3, KindRelease = 4, KindP = 5 };

    /// The none version: all numbers 0, kind release, part count 0; formats as "0.0.0".
    CVersion() = default;
    explicit CVersion(std::string_view text);
    CVersion(uint32_t major, uint32_t minor, uint32_t third, uint32_t fourth,
             uint32_t suffixNumber, int32_t kind);

    bool operator==(const CVersion& other) const;
    bool operator!=(const CVersion& other) const { return !(*this == other); }
    bool operator>(const CVersion& other) const;
    bool operator<(const CVersion& other) const { return other > *this; }
    bool operator>=(const CVersion& other) const { return *this == other || *this > other; }
    bool operator<=(const CVersion& other) const { return *this == other || *this < other; }

    /// Major, minor, third and fourth all 0 (kind and suffix ignored).
    bool IsZero() const;
    std::string ToString() const;

    uint32_t Major() const { return m_Major; }
    uint32_t Minor() const { return m_Minor; }
    uint32_t Third() const { return m_Third; }
    uint32_t Fourth() const { return m_Fourth; }
    uint32_t SuffixNumber() const { return m_SuffixNumber; }
    int32_t GetKind() const { return m_Kind; }
    int32_t PartCount() const { return m_PartCount; }

private:
    bool ReadPlain(std::string_view text);

    uint32_t m_Major = 0;
    uint32_t m_Minor = 0;
    uint32_t m_Third = 0;
    uint32_t m_Fourth = 0;
    uint32_t m_SuffixNumber = 0;
    int32_t m_Kind = KindRelease;
    int32_t m_PartCount = 0;
};
