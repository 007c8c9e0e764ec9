#include "core/server/connectiondetails.h"

#include "core/base/filewriter.h"
#include "core/base/outputmodule.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <QDataStream>
#include <QFile>
#include <QString>

#include <cstdlib>
#include <termios.h>
#include <unistd.h>

namespace {

/// Echo goes out key by key, so it cannot wait for a line end in the stdout buffer.
void Echo(const char* text)
{
    NUVDisplay("%s", text);
    std::fflush(stdout);
}

constexpr size_t kMaxProxyText = 260;
constexpr size_t kMaxPasswordLength = 31;

std::string PackagesPath(const char* name) { return JoinPath("packages", name); }

std::string Latin1(const QString& text) { return text.toLatin1().toStdString(); }

/// The environment value of the first of two names that is set and not empty.
std::string Environment(const char* name, const char* otherName)
{
    for (const char* key : {name, otherName}) {
        const char* value = std::getenv(key);
        if (value && *value)
            return value;
    }
    return std::string();
}

/// Switches a terminal to key-at-a-time input without echo for its lifetime.
class CHiddenInput {
public:
    explicit CHiddenInput(int fd) : m_Fd(fd)
    {
        if (!::isatty(fd) || ::tcgetattr(fd, &m_Saved) != 0)
            return;
        termios raw = m_Saved;
        raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        m_Active = ::tcsetattr(fd, TCSANOW, &raw) == 0;
        if (m_Active)
            (void)::tcflush(fd, TCIFLUSH);   // keys typed before the prompt are not the password
    }
    ~CHiddenInput()
    {
        if (m_Active)
            (void)::tcsetattr(m_Fd, TCSANOW, &m_Saved);
    }
    CHiddenInput(const CHiddenInput&) = delete;
    CHiddenInput& operator=(const CHiddenInput&) = delete;
    bool IsTerminal() const { return m_Active; }

private:
    int m_Fd;
    termios m_Saved{};
    bool m_Active = false;
};

}  // namespace

CConnectionDetails* CConnectionDetails::Instance()
{
    static CConnectionDetails instance;
    return &instance;
}

int CConnectionDetails::ReadDetails()
{
    std::string data;
    int result = 0;
    if (ReadFileBytes(PackagesPath(kDetailsFile), &data)) {
        ParseDetailsRecords(data);
    } else {
        ReadLegacyDetails();
        ReadSystemProxy();
        result = -1;
    }
    if (m_Server.empty())
        m_Server = kBuiltInServers[0];
    // "login.dat" keeps the hashes but never the proxy password: the stored hashes are then
    // the only trace of that password and must not be replaced by those of an empty one.
    const bool storedHashes = result != 0 && (m_LMHash[0] != 0 || m_NTHash[0] != 0);
    if (m_ProxyPassword.empty() && !storedHashes)
        ComputeProxyHashes();
    if (m_TransferTimeout < kMinTimeout || m_TransferTimeout > kMaxTimeout)
        m_TransferTimeout = kMinTimeout;
    if (m_UserName.empty() && m_Password.empty()) {
        m_UserName = kGenericUsers[0];
        m_Password = kGenericPassword;
    }
    return result;
}

void CConnectionDetails::ParseDetailsRecords(const std::string& data)
{
    std::string records[kRecordCount];
    for (int i = 0; i < kRecordCount; ++i) {
        const size_t start = size_t(i) * kRecordSize;
        if (start >= data.size())
            break;
        const std::string record = data.substr(start, kRecordSize);
        records[i] = record.substr(0, record.find('\0'));
    }
    m_UserName = records[0];
    m_Password = records[1];
    m_Server = records[2];
    m_ProxyServer = records[3];
    m_ProxyPort = int(ParseDecimal(records[4]));
    m_ProxyUsername = records[5];
    m_ProxyPassword = records[6];
    m_ProxyDomain = records[7];
    m_TransferTimeout = int(ParseDecimal(records[8]));
}

std::string CConnectionDetails::DetailsRecords() const
{
    const std::string values[kRecordCount] = {
        m_UserName,      m_Password,      m_Server,
        m_ProxyServer,   std::to_string(m_ProxyPort), m_ProxyUsername,
        m_ProxyPassword, m_ProxyDomain,   std::to_string(m_TransferTimeout)};
    std::string data;
    for (const std::string& value : values) {
        std::string record(kRecordSize, '\0');
        record.replace(0, std::min(value.size(), kRecordSize), value, 0, kRecordSize);
        data += record;
    }
    return data;
}

int CConnectionDetails::WriteDetails() const
{
    // Both passwords are stored in plain text: only the owner may read the file.
    return SaveFile(PackagesPath(kDetailsFile), DetailsRecords(), 0600) ? 0 : -1;
}

void CConnectionDetails::ReadLegacyDetails()
{
    m_SystemProxy = false;
    QFile file(QFile::decodeName(PackagesPath(kLegacyFile).c_str()));
    if (!file.open(QIODevice::ReadOnly))
        return;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_4_0);
    in.setByteOrder(QDataStream::BigEndian);

    QString user, password, proxyServer;
    qint32 systemProxy = 0, proxyPort = 0;
    in >> user >> password >> systemProxy >> proxyServer >> proxyPort;
    if (in.status() != QDataStream::Ok) {
        Trace("login.dat is truncated; its values are ignored");
        return;
    }
    m_UserName = Latin1(user);
    m_Password = Latin1(password);
    m_SystemProxy = systemProxy != 0;
    m_ProxyServer = Latin1(proxyServer);
    m_ProxyPort = proxyPort;
    if (in.atEnd())
        return;

    QString proxyUser, proxyDomain;
    ntlm::Hash lm{}, nt{};
    in >> proxyUser >> proxyDomain;
    for (unsigned char& byte : lm)
        in >> byte;
    for (unsigned char& byte : nt)
        in >> byte;
    if (in.status() != QDataStream::Ok) {
        Trace("login.dat proxy section is truncated; it is ignored");
        return;
    }
    m_ProxyUsername = Latin1(proxyUser);
    m_ProxyDomain = Latin1(proxyDomain);
    m_LMHash = lm;
    m_NTHash = nt;
}

void CConnectionDetails::ReadSystemProxy()
{
    std::string text = Environment("ftp_proxy", "FTP_PROXY");
    if (text.empty())
        text = Environment("all_proxy", "ALL_PROXY");
    if (text.empty())
        return;
    text = text.substr(0, kMaxProxyText);
    const size_t scheme = text.find("://");
    if (scheme != std::string::npos) {
        if (ToLower(text.substr(0, scheme)) != "http")
            return;   // the engine speaks plain HTTP to its proxy and nothing else
        text.erase(0, scheme + 3);
    }
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    const size_t at = text.rfind('@');
    if (at != std::string::npos)
        text.erase(0, at + 1);   // credentials in the URL are not the NTLM proxy log-in
    (void)ApplyProxyText(text);
}

bool CConnectionDetails::ApplyProxyText(const std::string& text)
{
    std::string entry = text;
    if (text.find("ftp=") != std::string::npos) {
        for (const std::string& piece : SplitFields(text, ';')) {
            if (piece.find("ftp=") != std::string::npos) {
                entry = piece.substr(piece.find('=') + 1);
                break;
            }
        }
    } else if (text.find('=') != std::string::npos) {
        return false;   // a per-protocol list without an FTP proxy
    }
    if (entry.empty())
        return false;
    const size_t colon = entry.find(':');
    m_ProxyServer = entry.substr(0, colon);
    // Without a port the proxy listens on HTTP's own port; reading the host name as a
    // number would give port 0, which no proxy can use.
    m_ProxyPort = colon == std::string::npos ? kDefaultProxyPort
                                             : int(ParseDecimal(entry.substr(colon + 1)));
    m_SystemProxy = true;
    return true;
}

void CConnectionDetails::ComputeProxyHashes()
{
    const std::string password = m_ProxyPassword.substr(0, ntlm::kMaxPassword);
    m_LMHash = ntlm::LmHash(password);
    m_NTHash = ntlm::NtHash(password);
}

bool CConnectionDetails::SetServer(const std::string& value)
{
    m_Server = value;
    return true;
}

void CConnectionDetails::SetProxyPassword(const std::string& value)
{
    m_ProxyPassword = value;
    ComputeProxyHashes();
}

bool CConnectionDetails::IsGenericLogin() const
{
    return m_UserName == kGenericUsers[0] || m_UserName == kGenericUsers[1];
}

bool CConnectionDetails::IsBuiltInServer() const
{
    const std::string server = ToLower(m_Server);
    for (const char* name : kBuiltInServers) {
        if (server == ToLower(name))
            return true;
    }
    return false;
}

std::string CConnectionDetails::GenericLoginWarning()
{
    return std::string("We have detected you are using the generic login settings, which are "
                       "provided by default when the NUV is installed.\n\nTo remove this "
                       "message, please request your own login details by e-mailing ") +
           kSupportEmail + "\n";
}

std::string CConnectionDetails::ReadPassword(const std::string& prompt)
{
    return ReadPassword(prompt, stdin);
}

std::string CConnectionDetails::ReadPassword(const std::string& prompt, std::FILE* in)
{
    NUVDisplay("%s:", prompt.c_str());
    std::fflush(stdout);
    const CHiddenInput hidden(::fileno(in));
    std::string password;
    for (;;) {
        const int key = std::fgetc(in);
        if (key == EOF || key == '\r' || key == '\n') {
            if (key == '\r' && !hidden.IsTerminal()) {
                const int next = std::fgetc(in);   // a CR LF line end is one Enter
                if (next != '\n' && next != EOF)
                    std::ungetc(next, in);
            }
            break;
        }
        if (key == 8 || key == 127) {
            if (!password.empty()) {
                password.pop_back();
                Echo("\b \b");
            }
            continue;
        }
        if (key == 0)
            continue;
        password += char(key);
        Echo("*");
        if (password.size() > kMaxPasswordLength) {
            Echo("\nPassword too long please reenter => ");
            password.clear();
        }
    }
    return password;
}
