#include "core/base/textutil.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string TrimSpaces(const std::string& text) { return TrimChars(text, " "); }

std::string TrimChars(const std::string& text, const char* chars)
{
    return std::string(TrimChars(std::string_view(text), chars));
}

std::string_view TrimChars(std::string_view text, const char* chars)
{
    // A plain loop: the library's search measures chars and calls out for every byte tested.
    auto trimmed = [chars](char c) {
        for (const char* p = chars; *p; ++p)
            if (*p == c)
                return true;
        return false;
    };
    size_t first = 0;
    size_t end = text.size();
    while (first < end && trimmed(text[first]))
        ++first;
    while (end > first && trimmed(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

std::string CollapseSpaces(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    bool inRun = false;
    for (char c : text) {
        if (c == ' ') {
            inRun = true;
            continue;
        }
        if (inRun)
            out += ' ';
        inRun = false;
        out += c;
    }
    return out;
}

std::string ToLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string ToUpper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

std::string WithoutCarriageReturns(std::string_view text)
{
    std::string copy(text);
    copy.erase(std::remove(copy.begin(), copy.end(), '\r'), copy.end());
    return copy;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    SplitLines(text, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

bool IsPlainText(std::string_view bytes)
{
    // Catalogues and state files run to megabytes and every one is checked before it is read.
    static const auto kControl = [] {
        std::array<bool, 256> table{};
        for (int byte = 0; byte < 0x20; ++byte)
            table[size_t(byte)] = byte != '\t' && byte != '\n' && byte != '\r';
        table[0x7f] = true;
        return table;
    }();
    size_t at = 0;
#if defined(__GNUC__)
    // Sixteen bytes per step, tested side by side; the table takes the rest.
    using Block = unsigned char __attribute__((vector_size(16)));
    constexpr size_t kStep = 4 * sizeof(Block);
    for (; bytes.size() - at >= kStep; at += kStep) {
        Block found = {};
        for (size_t part = 0; part < kStep; part += sizeof(Block)) {
            Block b;
            std::memcpy(&b, bytes.data() + at + part, sizeof b);
            const auto control = (b < 0x20) & (b != '\t') & (b != '\n') & (b != '\r');
            found |= Block(control | (b == 0x7f));
        }
        std::uint64_t halves[2];
        std::memcpy(halves, &found, sizeof halves);
        if ((halves[0] | halves[1]) != 0)
            return false;
    }
#endif
    for (; at < bytes.size(); ++at)
        if (kControl[static_cast<unsigned char>(bytes[at])])
            return false;
    return true;
}

bool ReadFileBytes(const std::string& path, std::string* content)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Read straight into a text of the file's size: grown a block at a time, a state file of
    // a large catalogue was copied several times over and its pages touched twice. One byte
    // more lets the read that finds the end need no growth; files whose size is not known
    // (or grows meanwhile) still read whole, the text doubling as needed.
    struct stat status;
    const size_t expected =
        ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? size_t(status.st_size) : 0;
    std::string text(expected + 1, '\0');
    size_t used = 0;
    for (;;) {
        if (used == text.size())
            text.resize(std::max<size_t>(text.size() * 2, 65536));
        const ssize_t got = ::read(fd, &text[used], text.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        used += size_t(got);
    }
    ::close(fd);
    text.resize(used);
    *content = std::move(text);
    return true;
}

bool ReadLines(const std::string& path, std::vector<std::string>* lines)
{
    lines->clear();
    std::string content;
    if (!ReadFileBytes(path, &content))
        return false;
    *lines = SplitLines(content);
    return true;
}

std::vector<std::string> SplitFields(const std::string& text, char c)
{
    std::vector<std::string> fields;
    SplitFields(text, c, [&fields](std::string_view field) { fields.emplace_back(field); });
    return fields;
}

bool SplitKeyValue(std::string_view line, std::string_view* key, std::string_view* value)
{
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    *key = line.substr(0, eq);
    *value = line.substr(eq + 1);
    return true;
}

bool SplitKeyValue(const std::string& line, std::string* key, std::string* value)
{
    std::string_view keyView, valueView;
    if (!SplitKeyValue(std::string_view(line), &keyView, &valueView))
        return false;
    key->assign(keyView);
    value->assign(valueView);
    return true;
}

std::string ToBackslashes(std::string path)
{
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::string JoinPath(const std::string& first, const std::string& second)
{
    if (first.empty())
        return second;
    return first + "/" + second;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsSinglePathSegment(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

std::string FormatV(size_t bufferSize, const char* format, va_list args)
{
    std::string buffer(bufferSize, '\0');
    const int n = std::vsnprintf(&buffer[0], bufferSize, format, args);
    if (n < 0)
        return std::string();
    buffer.resize(std::min<size_t>(size_t(n), bufferSize - 1));
    return buffer;
}

std::string Format(size_t bufferSize, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatV(bufferSize, format, args);
    va_end(args);
    return text;
}

std::string Stars(const std::string& secret) { return std::string(secret.size(), '*'); }

long long ParseDecimal(std::string_view text)
{
    size_t i = 0;
    // Most fields start with their first digit; only the others need the locale's blanks.
    const bool digitFirst = !text.empty() && text[0] >= '0' && text[0] <= '9';
    while (!digitFirst && i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0xFFFFFFFFLL)   // far beyond any field; stop before overflowing
            value = 0xFFFFFFFFLL;
    }
    return negative ? -value : value;
}
