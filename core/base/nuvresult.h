#pragma once

#include <string>

/// A result code with its message text. Codes and texts are those of rc:: (resultcodes.h).
class CNUVResult {
public:
    CNUVResult() = default;
    explicit CNUVResult(int code) : m_Code(code) {}

    void SetCode(int code) { m_Code = code; }
    int GetCode() const { return m_Code; }
    void Reset() { m_Code = 0; }
    bool operator==(const CNUVResult& other) const { return m_Code == other.m_Code; }
    bool operator!=(const CNUVResult& other) const { return m_Code != other.m_Code; }

    /// The message for this code; "No text representation of error code" for codes without one.
    std::string Text() const { return Text(m_Code); }
    static std::string Text(int code);

private:
    int m_Code = 0;
};
