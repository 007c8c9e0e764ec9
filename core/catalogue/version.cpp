#include "core/catalogue/version.h"

#include "core/base/textutil.h"

#include <vector>

namespace {

uint32_t Value(const std::string& text) { return uint32_t(ParseDecimal(text)); }

bool HasSuffixLetter(const std::string& piece)
{
    return ToLower(piece).find_first_of("absp") != std::string::npos;
}

}  // namespace

CVersion::CVersion(uint32_t major, uint32_t minor, uint32_t third, uint32_t fourth,
                   uint32_t suffixNumber, int32_t kind)
    : m_Major(major), m_Minor(minor), m_Third(third), m_Fourth(fourth),
      m_SuffixNumber(suffixNumber), m_Kind(kind), m_PartCount(0)
{
}

CVersion::CVersion(const std::string& text) : m_Kind(KindNotSet)
{
    if (text.find('.') == std::string::npos)
        return;
    const std::vector<std::string> parts = SplitFields(text, '.');
    m_PartCount = int32_t(parts.size());
    if (parts.size() != 3 && parts.size() != 4)
        return;
    m_Major = Value(parts[0]);
    m_Minor = Value(parts[1]);
    const std::string& last = parts.back();
    if (parts.size() == 4)
        m_Third = Value(parts[2]);
    uint32_t* target = parts.size() == 3 ? &m_Third : &m_Fourth;
    if (HasSuffixLetter(last)) {
        ApplySuffix(last, target);
    } else {
        *target = Value(last);
        m_Kind = KindRelease;
        m_SuffixNumber = 0;
    }
}

// The letters are searched in the order a, b, s, p, not by position: in "3b4a" the "a" wins.
void CVersion::ApplySuffix(const std::string& piece, uint32_t* target)
{
    static const struct { char letter; int32_t kind; } kLetters[] = {
        {'a', KindA}, {'b', KindB}, {'s', KindS}, {'p', KindP}};
    const std::string lower = ToLower(piece);
    for (const auto& entry : kLetters) {
        const size_t pos = lower.find(entry.letter);
        if (pos == std::string::npos)
            continue;
        *target = Value(piece.substr(0, pos));
        m_Kind = entry.kind;
        m_SuffixNumber = Value(piece.substr(pos + 1));
        return;
    }
}

bool CVersion::operator==(const CVersion& other) const
{
    return m_PartCount == other.m_PartCount && m_Major == other.m_Major &&
           m_Minor == other.m_Minor && m_Third == other.m_Third &&
           (m_PartCount != 4 || m_Fourth == other.m_Fourth) && m_Kind == other.m_Kind &&
           m_SuffixNumber == other.m_SuffixNumber;
}

bool CVersion::operator>(const CVersion& other) const
{
    if (*this == other)
        return false;
    if (m_Major != other.m_Major)
        return m_Major > other.m_Major;
    if (m_Minor != other.m_Minor)
        return m_Minor > other.m_Minor;
    if (m_Third != other.m_Third)
        return m_Third > other.m_Third;
    if (m_Fourth != other.m_Fourth)
        return m_Fourth > other.m_Fourth;
    if (m_Kind != other.m_Kind)
        return m_Kind > other.m_Kind;
    return m_SuffixNumber > other.m_SuffixNumber;
}

bool CVersion::IsZero() const
{
    return m_Major == 0 && m_Minor == 0 && m_Third == 0 && m_Fourth == 0;
}

std::string CVersion::ToString() const
{
    if (IsZero())
        return "0.0.0";
    if ((m_PartCount != 3 && m_PartCount != 4) || m_Kind < KindA || m_Kind > KindP)
        return "0.0.0";
    std::string text = std::to_string(m_Major) + "." + std::to_string(m_Minor) + "." +
                       std::to_string(m_Third);
    if (m_PartCount == 4)
        text += "." + std::to_string(m_Fourth);
    static const char kLetters[] = {0, 'A', 'B', 'S', 0, 'P'};
    if (m_Kind != KindRelease)
        text += kLetters[m_Kind] + std::to_string(m_SuffixNumber);
    return text;
}
