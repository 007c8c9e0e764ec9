#pragma once

#include "core/server/ntlm.h"

#include <cstdio>
#include <string>

/// Server, log-in, proxy and time-out settings. Process-wide; created on first use with the
/// defaults. Kept in "packages/Details.data" below the working directory; read from the
/// older "packages/login.dat" plus the system proxy while that file does not exist.
class CConnectionDetails {
public:
    static CConnectionDetails* Instance();
    /// A separate set with the defaults; the programs use Instance().
    CConnectionDetails() = default;

    static constexpr const char* kDetailsFile = "Details.data";
    static constexpr const char* kLegacyFile = "login.dat";
    static constexpr size_t kRecordSize = 256;
    static constexpr int kRecordCount = 9;
    /// The installation servers built into the program; the first is the default. Both lie
    /// in a reserved domain, so a start with the defaults never reaches a real host.
    static constexpr const char* kBuiltInServers[2] = {"install.nuv.example",
                                                       "install2.nuv.example"};
    static constexpr const char* kSupportEmail = "support@nuv.example";
    static constexpr const char* kGenericUsers[2] = {"genacct1", "genacct2"};
    static constexpr const char* kGenericPassword = "harbour";
    static constexpr int kMinTimeout = 15;
    static constexpr int kMaxTimeout = 300;
    static constexpr int kDefaultProxyPort = 80;

    /// Reads "Details.data" (0), or falls back to "login.dat" and the system proxy (-1);
    /// then fills in the default server, the hashes of an empty proxy password, a valid
    /// time-out and the first generic log-in. Never fails otherwise.
    int ReadDetails();
    /// Writes the nine records, owner-only (mode 0600), replacing the file atomically.
    /// 0, or -1 with the old file untouched. The hashes are not stored.
    int WriteDetails() const;
    /// The nine 256-byte records of the current values.
    std::string DetailsRecords() const;
    /// Applies the records of a "Details.data" image; missing records read as empty.
    void ParseDetailsRecords(const std::string& data);
    /// Reads "login.dat" over the current values; a missing or truncated file changes
    /// nothing it could not read whole (the first five fields go together, as do the rest).
    void ReadLegacyDetails();
    /// Takes the proxy from ftp_proxy (FTP_PROXY), else all_proxy (ALL_PROXY).
    void ReadSystemProxy();
    /// Applies a system proxy text ("host:port", or "ftp=host:port;http=..."); false and no
    /// change when it names no FTP proxy.
    bool ApplyProxyText(const std::string& text);
    /// LM and NT hashes of at most 127 characters of the proxy password.
    void ComputeProxyHashes();

    const std::string& GetUserName() const { return m_UserName; }
    const std::string& GetPassword() const { return m_Password; }
    const std::string& GetServer() const { return m_Server; }
    int GetTransferTimeout() const { return m_TransferTimeout; }
    const std::string& GetProxyServer() const { return m_ProxyServer; }
    int GetProxyPort() const { return m_ProxyPort; }
    const std::string& GetProxyUsername() const { return m_ProxyUsername; }
    const std::string& GetProxyPassword() const { return m_ProxyPassword; }
    const std::string& GetProxyDomain() const { return m_ProxyDomain; }
    const ntlm::Hash& GetLMHash() const { return m_LMHash; }
    const ntlm::Hash& GetNTHash() const { return m_NTHash; }
    bool IsSystemProxy() const { return m_SystemProxy; }
    bool IsChanged() const { return m_Changed; }

    void SetUserName(const std::string& value) { m_UserName = value; }
    void SetPassword(const std::string& value) { m_Password = value; }
    bool SetServer(const std::string& value);
    void SetTransferTimeout(int seconds) { m_TransferTimeout = seconds; }
    void SetProxyServer(const std::string& value) { m_ProxyServer = value; }
    void SetProxyPort(int port) { m_ProxyPort = port; }
    void SetProxyUsername(const std::string& value) { m_ProxyUsername = value; }
    /// Stores the password and recomputes the hashes.
    void SetProxyPassword(const std::string& value);
    void SetProxyDomain(const std::string& value) { m_ProxyDomain = value; }
    void SetChanged(bool changed) { m_Changed = changed; }

    bool UsesProxy() const { return !m_ProxyServer.empty(); }
    bool ProxyNeedsAuthorisation() const { return !m_ProxyUsername.empty(); }
    /// The user name is one of the two generic log-ins shipped as defaults.
    bool IsGenericLogin() const;
    /// The server, ignoring case, is one of the built-in ones.
    bool IsBuiltInServer() const;
    /// The warning printed before every NUV_CMD command while a generic log-in is used.
    static std::string GenericLoginWarning();

    /// Console password entry from standard input: hidden echo ("*") on a terminal, the
    /// same key handling from a pipe. Enter (CR or LF) or the end of input ends it; 8 and
    /// 127 erase; at most 31 characters (a 32nd restarts the entry).
    static std::string ReadPassword(const std::string& prompt);
    /// The same from any stream; the terminal is switched only when it is one.
    static std::string ReadPassword(const std::string& prompt, std::FILE* in);

private:
    std::string m_UserName;
    std::string m_Password;
    std::string m_Server = kBuiltInServers[0];
    int m_TransferTimeout = kMinTimeout;
    std::string m_ProxyServer;
    int m_ProxyPort = kDefaultProxyPort;
    std::string m_ProxyUsername;
    std::string m_ProxyPassword;
    std::string m_ProxyDomain;
    ntlm::Hash m_NTHash{};
    ntlm::Hash m_LMHash{};
    bool m_SystemProxy = false;
    bool m_Changed = false;
};
