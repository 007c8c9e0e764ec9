#pragma once

#include <string>

/// Server, log-in, proxy and time-out settings. Process-wide; created on first use.
class CConnectionDetails {
public:
    static CConnectionDetails* Instance();

    /// Reads "packages/Details.data" (0) or falls back to the older files (-1).
    int ReadDetails();

    const std::string& GetUserName() const { return m_UserName; }
    /// The user name is one of the two generic log-ins shipped as defaults.
    bool IsGenericLogin() const;
    /// The warning printed before every NUV_CMD command while a generic log-in is used.
    static std::string GenericLoginWarning();

private:
    CConnectionDetails() = default;
    std::string m_UserName = "genacct1";
};
