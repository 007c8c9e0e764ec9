#include "core/catalogue/version.h"

#include "core/base/textutil.h"

#include <algorithm>
#include <charconv>


namespace {

uint32_t Value(std::string_view text) { return uint32_t(ParseDecimal(text)); }

/// The last number of a version with its suffix letter's kind and the number after it.
struct LastPart {
    uint32_t number = 0;
    int32_t kind = CVersion::KindRelease;
    uint32_t suffixNumber = 0;
};

size_t FindEitherCase(std::string_view piece, char lower)
{
    const char upper = char(lower - 'a' + 'A');
    for (size_t i = 0; i < piece.size(); ++i)
        if (piece[i] == lower || piece[i] == upper)
            return i;
    return std::string_view::npos;
}

// The letters are searched in the order a, b, s, p, not by position: in "3b4a" the "a" wins.
LastPart ParseLast(std::string_view piece)
{
    const bool lettered = std::any_of(piece.begin(), piece.end(), [](char c) {
        const char lower = char(c | 0x20);   // maps exactly A, B, S, P onto a, b, s, p
        return lower == 'a' || lower == 'b' || lower == 's' || lower == 'p';
    });
    if (!lettered)
        return LastPart{Value(piece), CVersion::KindRelease, 0};
    static const struct { char letter; int32_t kind; } kLetters[] = {
        {'a', CVersion::KindA}, {'b', CVersion::KindB}, {'s', CVersion::KindS},
        {'p', CVersion::KindP}};
    for (const auto& entry : kLetters) {
        const size_t pos = FindEitherCase(piece, entry.letter);
        if (pos != std::string_view::npos)
            return LastPart{Value(piece.substr(0, pos)), entry.kind, Value(piece.substr(pos + 1))};
    }
    return LastPart{Value(piece), CVersion::KindRelease, 0};
}

}  // namespace

CVersion::CVersion(uint32_t major, uint32_t minor, uint32_t third, uint32_t fourth,
                   uint32_t suffixNumber, int32_t kind)
    : m_Major(major), m_Minor(minor), m_Third(third), m_Fourth(fourth),
      m_SuffixNumber(suffixNumber), m_Kind(kind), m_PartCount(0)
{
}

// The shape nearly every version has, "digits.digits.digits" or with a fourth number, read in
// one pass; false for anything else (letters, blanks, signs, empty pieces, long numbers), which
// the general reading below handles. Numbers of up to nine digits cannot reach the cap the
// general reading applies.
bool CVersion::ReadPlain(std::string_view text)
{
    uint32_t numbers[4] = {};
    size_t count = 0;
    size_t digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > 9)
                return false;
            numbers[count] = numbers[count] * 10 + uint32_t(c - '0');
        } else if (c == '.' && digits > 0 && count < 3) {
            ++count;
            digits = 0;
        } else {
            return false;
        }
    }
    if (digits == 0 || count < 2)
        return false;
    m_Major = numbers[0];
    m_Minor = numbers[1];
    m_Third = numbers[2];
    m_Fourth = numbers[3];
    m_Kind = KindRelease;
    m_PartCount = int32_t(count + 1);
    return true;
}

CVersion::CVersion(std::string_view text) : m_Kind(KindNotSet)
{
    if (ReadPlain(text))
        return;
    if (text.find('.') == std::string_view::npos)
        return;
    // Pieces are read as they come: the first three as plain numbers, the third and fourth
    // also as a possible last piece, since only the count says which one ends the version.
    uint32_t numbers[3] = {};
    LastPart lasts[2];
    size_t count = 0;
    SplitFields(text, '.', [&](std::string_view piece) {
        if (count < 3)
            numbers[count] = Value(piece);
        if (count == 2 || count == 3)
            lasts[count - 2] = ParseLast(piece);
        ++count;
    });
    m_PartCount = int32_t(count);
    if (count != 3 && count != 4)
        return;
    m_Major = numbers[0];
    m_Minor = numbers[1];
    if (count == 4)
        m_Third = numbers[2];
    const LastPart& last = lasts[count - 3];
    uint32_t* target = count == 3 ? &m_Third : &m_Fourth;
    *target = last.number;
    m_Kind = last.kind;
    m_SuffixNumber = last.suffixNumber;
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
    // Digits straight into the text instead of a string per piece: a list prints three
    // versions per component.
    std::string text;
    auto number = [&text](uint32_t value) {
        char digits[10];
        text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    };
    number(m_Major);
    text += '.';
    number(m_Minor);
    text += '.';
    number(m_Third);
    if (m_PartCount == 4) {
        text += '.';
        number(m_Fourth);
    }
    static const char kLetters[] = {0, 'A', 'B', 'S', 0, 'P'};
    if (m_Kind != KindRelease) {
        text += kLetters[m_Kind];
        number(m_SuffixNumber);
    }
    return text;
}
