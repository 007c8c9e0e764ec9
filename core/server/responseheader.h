#pragma once

#include <string>
#include <utility>
#include <vector>

/// The status line and header lines of one HTTP response, as they arrive line by line.
/// Keys are matched without regard to case and the first occurrence wins; values are
/// trimmed of blanks and line ends.
class CResponseHeader {
public:
    /// Takes one raw header line. A status line ("HTTP/x.y code reason") starts a new
    /// response; the empty line that ends the header returns true.
    bool AddLine(const std::string& rawLine);
    void Clear();

    int StatusCode() const { return m_Status; }
    const std::string& Reason() const { return m_Reason; }
    bool Has(const std::string& key) const;
    /// The value of the first line with that key; empty when there is none.
    std::string Value(const std::string& key) const;
    /// Keys in the order they arrived.
    std::vector<std::string> Keys() const;

private:
    /// The value of the first line with that key, or null.
    const std::string* Find(const std::string& key) const;

    int m_Status = 0;
    std::string m_Reason;
    std::vector<std::pair<std::string, std::string>> m_Fields;
};
