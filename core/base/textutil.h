#pragma once

#include <algorithm>
#include <cstdarg>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The one set of text helpers every line-oriented reader and writer of the tool uses.
// Strings are 8-bit; only the space character counts as a blank.

/// Leading and trailing blanks removed.
std::string TrimSpaces(const std::string& text);
/// Leading and trailing bytes that occur in chars removed.
std::string TrimChars(const std::string& text, const char* chars);
std::string_view TrimChars(std::string_view text, const char* chars);
/// Runs of blanks become one blank, trailing blanks are dropped, a leading run stays as one blank.
std::string CollapseSpaces(const std::string& text);
/// A-Z only; other bytes are left alone.
std::string ToLower(std::string text);
std::string ToUpper(std::string text);
/// The text without its carriage returns.
std::string WithoutCarriageReturns(std::string_view text);

/// Line feed ends a line; carriage returns are dropped; the piece after the last line feed is
/// handed over too (so "a\n" gives "a" and ""). onLine(std::string_view) is called once per
/// line in text order; the views point into text, or into a copy without its carriage
/// returns, and stay valid until SplitLines returns. An onLine that returns bool ends the
/// splitting by returning false.
template <typename OnLine>
void SplitLines(std::string_view text, OnLine&& onLine)
{
    std::string copy;
    if (text.find('\r') != std::string_view::npos) {
        copy = WithoutCarriageReturns(text);
        text = copy;
    }
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if constexpr (std::is_same_v<decltype(onLine(line)), bool>) {
            if (!onLine(line))
                return;
        } else {
            onLine(line);
        }
        if (end == text.size())
            return;
        start = end + 1;
    }
}
/// The lines as copies.
std::vector<std::string> SplitLines(const std::string& text);
/// The lines of a text file, as SplitLines. False (and no lines) when the file cannot be read.
bool ReadLines(const std::string& path, std::vector<std::string>* lines);
/// Pieces of text separated by c; carriage returns dropped; a double quote toggles a quoted
/// state in which c does not separate (the quotes stay in the piece); empty pieces dropped.
/// onField(std::string_view) is called per piece in text order; the views behave as
/// SplitLines' do.
template <typename OnField>
void SplitFields(std::string_view text, char c, OnField&& onField)
{
    std::string copy;
    if (text.find('\r') != std::string_view::npos) {
        copy = WithoutCarriageReturns(text);
        text = copy;
    }
    size_t start = 0;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        if (text[i] != c || quoted)
            continue;
        if (i > start)
            onField(text.substr(start, i - start));
        start = i + 1;
    }
    if (text.size() > start)
        onField(text.substr(start));
}
/// The pieces as copies.
std::vector<std::string> SplitFields(const std::string& text, char c);
/// Split at the first "="; false when the line has none. Key and value are not trimmed.
bool SplitKeyValue(std::string_view line, std::string_view* key, std::string_view* value);
bool SplitKeyValue(const std::string& line, std::string* key, std::string* value);
/// Converts the foreign separator to the native one: on this system every "\" becomes "/".
std::string ToBackslashes(std::string path);
/// Joins two local path pieces with the native separator "/".
std::string JoinPath(const std::string& first, const std::string& second);
/// The part after the last "/" (the whole text when there is none).
std::string BaseName(const std::string& path);
/// The part before the last "/" (empty when there is none).
std::string DirName(const std::string& path);
/// A name that stays one folder level when joined to a path: not empty, not "." or "..", and
/// without "/" or "\". Names from servers and from files carried between machines are checked
/// with it before they are joined to a local folder.
bool IsSinglePathSegment(const std::string& name);
/// printf-style formatting into a buffer of bufferSize bytes: the result is cut to
/// bufferSize - 1 characters, as the fixed buffers of the trace and output modules are.
std::string FormatV(size_t bufferSize, const char* format, va_list args);
std::string Format(size_t bufferSize, const char* format, ...) __attribute__((format(printf, 2, 3)));
/// One "*" per character of secret: how a password is shown wherever it would appear.
std::string Stars(const std::string& secret);
/// Decimal value as C's atoi: leading blanks, optional sign, digits up to the first other byte.
long long ParseDecimal(std::string_view text);

/// True when bytes hold no control characters besides tab, line feed and carriage return: what
/// every text file of the tool holds, and random bytes practically never do.
bool IsPlainText(std::string_view bytes);

/// The whole content of a file. False when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string* content);
