#include "core/server/responseheader.h"

#include "core/base/textutil.h"

namespace {

std::string TrimLine(const std::string& text) { return TrimChars(text, " \t\r\n"); }

}  // namespace

bool CResponseHeader::AddLine(const std::string& rawLine)
{
    const std::string line = TrimLine(rawLine);
    if (line.empty())
        return true;
    if (line.compare(0, 5, "HTTP/") == 0) {
        Clear();
        const size_t code = line.find(' ');
        if (code == std::string::npos)
            return false;
        m_Status = int(ParseDecimal(line.substr(code + 1)));
        const size_t reason = line.find(' ', code + 1);
        if (reason != std::string::npos)
            m_Reason = TrimLine(line.substr(reason + 1));
        return false;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return false;   // not a header line; a folded or broken line is ignored
    m_Fields.emplace_back(TrimLine(line.substr(0, colon)), TrimLine(line.substr(colon + 1)));
    return false;
}

void CResponseHeader::Clear()
{
    m_Status = 0;
    m_Reason.clear();
    m_Fields.clear();
}

const std::string* CResponseHeader::Find(const std::string& key) const
{
    const std::string wanted = ToLower(key);
    for (const auto& field : m_Fields) {
        if (ToLower(field.first) == wanted)
            return &field.second;
    }
    return nullptr;
}

bool CResponseHeader::Has(const std::string& key) const { return Find(key) != nullptr; }

std::string CResponseHeader::Value(const std::string& key) const
{
    const std::string* value = Find(key);
    return value ? *value : std::string();
}

std::vector<std::string> CResponseHeader::Keys() const
{
    std::vector<std::string> keys;
    for (const auto& field : m_Fields)
        keys.push_back(field.first);
    return keys;
}
