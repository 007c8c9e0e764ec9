#include "core/base/textutil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

std::string TrimSpaces(const std::string& text) { return TrimChars(text, " "); }

std::string TrimChars(const std::string& text, const char* chars)
{
    const size_t first = text.find_first_not_of(chars);
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(chars);
    return text.substr(first, last - first + 1);
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

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line(text, start, end - start);
        if (line.find('\r') != std::string::npos)
            line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        lines.push_back(std::move(line));
        if (end == text.size())
            return lines;
        start = end + 1;
    }
}

bool IsPlainText(const std::string& bytes)
{
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const unsigned char byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7f;
    });
}

bool ReadFileBytes(const std::string& path, std::string* content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        text.append(block, size_t(in.gcount()));
    if (in.bad())
        return false;
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
    std::string current;
    bool quoted = false;
    for (char ch : text) {
        if (ch == '\r')
            continue;
        if (ch == '"')
            quoted = !quoted;
        if (ch == c && !quoted) {
            if (!current.empty())
                fields.push_back(std::move(current));
            current.clear();
            continue;
        }
        current += ch;
    }
    if (!current.empty())
        fields.push_back(std::move(current));
    return fields;
}

bool SplitKeyValue(const std::string& line, std::string* key, std::string* value)
{
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    *key = line.substr(0, eq);
    *value = line.substr(eq + 1);
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

long long ParseDecimal(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
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
