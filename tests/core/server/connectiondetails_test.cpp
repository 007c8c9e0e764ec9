#include "core/server/connectiondetails.h"

#include "support/testsupport.h"

#include <QByteArray>
#include <QDataStream>
#include <QDir>
#include <QFile>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

std::string Hex(const ntlm::Hash& hash)
{
    return QByteArray(reinterpret_cast<const char*>(hash.data()), int(hash.size()))
        .toHex()
        .toStdString();
}

std::string Record(const std::string& text)
{
    std::string record(256, '\0');
    record.replace(0, std::min<size_t>(text.size(), 256), text.substr(0, 256));
    return record;
}

std::string DetailsImage(const std::vector<std::string>& texts)
{
    std::string image;
    for (const std::string& text : texts)
        image += Record(text);
    return image;
}

/// Clears the proxy variables for one test and restores them afterwards.
class ProxyEnvironment {
public:
    ProxyEnvironment()
    {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_Saved.emplace_back(name, value ? std::string(value) : std::string("\x01"));
            ::unsetenv(name);
        }
    }
    ~ProxyEnvironment()
    {
        for (const auto& [name, value] : m_Saved) {
            if (value == "\x01")
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
    }

private:
    static constexpr const char* kNames[] = {"ftp_proxy", "FTP_PROXY", "all_proxy",
                                             "ALL_PROXY", "http_proxy"};
    std::vector<std::pair<std::string, std::string>> m_Saved;
};

class ConnectionDetailsTest : public testsupport::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("packages"))));
    }

    ProxyEnvironment m_Environment;
    CConnectionDetails m_Details;
};

TEST_F(ConnectionDetailsTest, DetailsFileRoundTripsNineOwnerOnlyRecords)
{
    m_Details.SetUserName("alice");
    m_Details.SetPassword("pw");
    m_Details.SetServer("files.example:2121");
    m_Details.SetProxyServer("proxy.example");
    m_Details.SetProxyPort(8080);
    m_Details.SetProxyUsername("bob");
    m_Details.SetProxyPassword("proxypw");
    m_Details.SetProxyDomain("CORP");
    m_Details.SetTransferTimeout(45);
    ASSERT_EQ(0, m_Details.WriteDetails());

    const std::string path = Path("packages/Details.data");
    EXPECT_EQ(DetailsImage({"alice", "pw", "files.example:2121", "proxy.example", "8080", "bob",
                            "proxypw", "CORP", "45"}),
              ReadFile(path));
    struct stat st {};
    ASSERT_EQ(0, ::stat(path.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);

    CConnectionDetails read;
    EXPECT_EQ(0, read.ReadDetails());
    EXPECT_EQ("alice", read.GetUserName());
    EXPECT_EQ("files.example:2121", read.GetServer());
    EXPECT_EQ(8080, read.GetProxyPort());
    EXPECT_EQ("proxypw", read.GetProxyPassword());
    EXPECT_EQ("CORP", read.GetProxyDomain());
    EXPECT_EQ(45, read.GetTransferTimeout());
}

TEST_F(ConnectionDetailsTest, LongTextIsCutToItsRecordWithoutTerminator)
{
    m_Details.SetUserName(std::string(300, 'u'));
    m_Details.SetPassword("pw");
    ASSERT_EQ(0, m_Details.WriteDetails());
    const std::string image = ReadFile(Path("packages/Details.data"));
    ASSERT_EQ(9u * 256u, image.size());
    EXPECT_EQ(std::string(256, 'u'), image.substr(0, 256));
    EXPECT_EQ(Record("pw"), image.substr(256, 256));

    CConnectionDetails read;
    read.ReadDetails();
    EXPECT_EQ(std::string(256, 'u'), read.GetUserName());
    EXPECT_EQ("pw", read.GetPassword());
}

TEST_F(ConnectionDetailsTest, ReadingAppliesClampsAndDefaults)
{
    struct Case {
        std::vector<std::string> records;
        const char* user;
        const char* password;
        const char* server;
        int timeout;
    };
    const Case cases[] = {
        {{"u", "p", "s", "", "80", "", "", "", "400"}, "u", "p", "s", 15},
        {{"u", "p", "s", "", "80", "", "", "", "14"}, "u", "p", "s", 15},
        {{"u", "p", "s", "", "80", "", "", "", "300"}, "u", "p", "s", 300},
        {{"u", "p", "s", "", "80", "", "", "", "15"}, "u", "p", "s", 15},
        {{"", "", "", "", "80", "", "", "", "20"}, "genacct1", "harbour", "install.nuv.example",
         20},
        {{"u", "", "s", "", "80", "", "", "", "20"}, "u", "", "s", 20},
        {{"", "p", "s", "", "80", "", "", "", "20"}, "", "p", "s", 20},
        // A short file: what is missing reads as empty.
        {{"u", "p", "s"}, "u", "p", "s", 15},
        // An oversized file: the bytes after the ninth record are ignored.
        {{"u", "p", "s", "", "80", "", "", "", "30", "extra"}, "u", "p", "s", 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records[0] + "/" + c.records[c.records.size() - 1]);
        WriteFile(Path("packages/Details.data"), DetailsImage(c.records));
        CConnectionDetails read;
        EXPECT_EQ(0, read.ReadDetails());
        EXPECT_EQ(c.user, read.GetUserName());
        EXPECT_EQ(c.password, read.GetPassword());
        EXPECT_EQ(c.server, read.GetServer());
        EXPECT_EQ(c.timeout, read.GetTransferTimeout());
    }
}

TEST_F(ConnectionDetailsTest, EmptyProxyPasswordGetsTheHashesOfTheEmptyPassword)
{
    WriteFile(Path("packages/Details.data"), DetailsImage({"u", "p", "s"}));
    ASSERT_EQ(0, m_Details.ReadDetails());
    EXPECT_EQ("aad3b435b51404eeaad3b435b51404ee", Hex(m_Details.GetLMHash()));
    EXPECT_EQ("31d6cfe0d16ae931b73c59d7e0c089c0", Hex(m_Details.GetNTHash()));

    m_Details.SetProxyPassword(std::string(127, 'x') + "yyy");
    EXPECT_EQ(Hex(ntlm::NtHash(std::string(127, 'x'))), Hex(m_Details.GetNTHash()));
}

void WriteLoginDat(const std::string& path, bool withProxySection, int cutBytes = 0)
{
    QByteArray data;
    {
        QDataStream out(&data, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_4_0);
        out << QString("legacy") << QString("oldpw") << qint32(1) << QString("proxy.example")
            << qint32(3128);
        if (withProxySection) {
            out << QString("puser") << QString("pdom");
            for (int i = 0; i < 16; ++i)
                out << qint8(i + 1);
            for (int i = 0; i < 16; ++i)
                out << qint8(0x20 + i);
        }
    }
    data.chop(cutBytes);
    WriteFile(path, data.toStdString());
}

TEST_F(ConnectionDetailsTest, LegacyFileIsReadWhenNoDetailsFileExists)
{
    WriteLoginDat(Path("packages/login.dat"), true);
    EXPECT_EQ(-1, m_Details.ReadDetails());
    EXPECT_EQ("legacy", m_Details.GetUserName());
    EXPECT_EQ("oldpw", m_Details.GetPassword());
    EXPECT_TRUE(m_Details.IsSystemProxy());
    EXPECT_EQ("proxy.example", m_Details.GetProxyServer());
    EXPECT_EQ(3128, m_Details.GetProxyPort());
    EXPECT_EQ("puser", m_Details.GetProxyUsername());
    EXPECT_EQ("pdom", m_Details.GetProxyDomain());
    EXPECT_EQ("0102030405060708090a0b0c0d0e0f10", Hex(m_Details.GetLMHash()));
    EXPECT_EQ("202122232425262728292a2b2c2d2e2f", Hex(m_Details.GetNTHash()));   // kept
    EXPECT_EQ("install.nuv.example", m_Details.GetServer());   // the old file has no server
}

TEST_F(ConnectionDetailsTest, LegacyFileWithoutProxySectionOrTruncated)
{
    WriteLoginDat(Path("packages/login.dat"), false);
    CConnectionDetails shortFile;
    EXPECT_EQ(-1, shortFile.ReadDetails());
    EXPECT_EQ("legacy", shortFile.GetUserName());
    EXPECT_EQ("", shortFile.GetProxyUsername());

    WriteLoginDat(Path("packages/login.dat"), true, 10);   // cut inside the hashes
    CConnectionDetails cutHashes;
    EXPECT_EQ(-1, cutHashes.ReadDetails());
    EXPECT_EQ("legacy", cutHashes.GetUserName());
    EXPECT_EQ("", cutHashes.GetProxyUsername());

    WriteLoginDat(Path("packages/login.dat"), false, 3);   // cut inside the port
    CConnectionDetails cutPort;
    EXPECT_EQ(-1, cutPort.ReadDetails());
    EXPECT_EQ("genacct1", cutPort.GetUserName());
    EXPECT_EQ("", cutPort.GetProxyServer());
    EXPECT_FALSE(cutPort.IsSystemProxy());
}

TEST_F(ConnectionDetailsTest, DetailsFileWinsOverLegacyFileAndSystemProxy)
{
    ::setenv("ftp_proxy", "http://envproxy.example:3128", 1);
    WriteLoginDat(Path("packages/login.dat"), true);
    WriteFile(Path("packages/Details.data"), DetailsImage({"new", "pw", "s", "", "80"}));
    EXPECT_EQ(0, m_Details.ReadDetails());
    EXPECT_EQ("new", m_Details.GetUserName());
    EXPECT_EQ("", m_Details.GetProxyServer());

    QFile::remove(QString::fromStdString(Path("packages/Details.data")));
    CConnectionDetails fallBack;
    EXPECT_EQ(-1, fallBack.ReadDetails());
    EXPECT_EQ("legacy", fallBack.GetUserName());
    EXPECT_EQ("envproxy.example", fallBack.GetProxyServer());   // the system proxy comes last
    EXPECT_EQ(3128, fallBack.GetProxyPort());
}

TEST_F(ConnectionDetailsTest, SystemProxyFromTheEnvironment)
{
    struct Case {
        const char* name;
        const char* value;
        const char* server;
        int port;
    };
    const Case cases[] = {
        {"ftp_proxy", "http://user:pw@p.example:3128/", "p.example", 3128},
        {"FTP_PROXY", "p.example:2121", "p.example", 2121},
        {"all_proxy", "http://all.example:8000", "all.example", 8000},
        {"ALL_PROXY", "all.example", "all.example", 80},
        {"ftp_proxy", "socks5://s.example:1080", "", 80},
        {"http_proxy", "http://h.example:8080", "", 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        ProxyEnvironment clean;
        ::setenv(c.name, c.value, 1);
        CConnectionDetails details;
        details.ReadSystemProxy();
        EXPECT_EQ(c.server, details.GetProxyServer());
        EXPECT_EQ(c.port, details.GetProxyPort());
        EXPECT_EQ(*c.server != '\0', details.IsSystemProxy());
    }
}

TEST_F(ConnectionDetailsTest, ProxyTextPicksTheFtpEntry)
{
    const std::tuple<const char*, const char*, int> cases[] = {
        {"http=h:80;ftp=p:2121;https=s:443", "p", 2121},
        {"ftp=p:2121;http=h:80", "p", 2121},
        {"http=h:80;https=s:443", "", 80},
        {"host:8080", "host", 8080},
    };
    for (const auto& [text, server, port] : cases) {
        SCOPED_TRACE(text);
        CConnectionDetails details;
        details.ApplyProxyText(text);
        EXPECT_EQ(server, details.GetProxyServer());
        EXPECT_EQ(port, details.GetProxyPort());
    }
}

TEST_F(ConnectionDetailsTest, GenericLoginsAndBuiltInServers)
{
    const std::pair<const char*, bool> users[] = {
        {"genacct1", true}, {"genacct2", true}, {"GENACCT1", false}, {"genacct", false}};
    for (const auto& [user, generic] : users) {
        SCOPED_TRACE(user);
        m_Details.SetUserName(user);
        EXPECT_EQ(generic, m_Details.IsGenericLogin());
    }
    m_Details.SetServer("INSTALL2.nuv.EXAMPLE");
    EXPECT_TRUE(m_Details.IsBuiltInServer());
    m_Details.SetServer("install.nuv.example:21");
    EXPECT_FALSE(m_Details.IsBuiltInServer());
    EXPECT_EQ("We have detected you are using the generic login settings, which are provided by "
              "default when the NUV is installed.\n\nTo remove this message, please request "
              "your own login details by e-mailing support@nuv.example\n",
              CConnectionDetails::GenericLoginWarning());
}

/// ReadPassword over a real pipe holding input.
std::string ReadFromPipe(const std::string& input)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "<no pipe>";
    EXPECT_EQ(ssize_t(input.size()), ::write(fds[1], input.data(), input.size()));
    ::close(fds[1]);
    std::FILE* in = ::fdopen(fds[0], "r");
    const std::string password = CConnectionDetails::ReadPassword("Password", in);
    std::fclose(in);
    return password;
}

TEST_F(ConnectionDetailsTest, ReadPasswordKeys)
{
    const std::string longest(31, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"abc\n", "abc"},
        {"abc\r\nnext\n", "abc"},
        {"ab\x08" "c\n", "ac"},
        {"ab\x7f\x7f\x7f" "c\n", "c"},
        {std::string("a\0b\n", 4), "ab"},
        {"abc", "abc"},                   // end of input acts as Enter
        {"", ""},
        {longest + "\n", longest},
        {longest + "b" + "xy\n", "xy"},   // a 32nd character restarts the entry
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        EXPECT_EQ(expected, ReadFromPipe(input));
    }
}

TEST_F(ConnectionDetailsTest, ReadPasswordEchoesStars)
{
    testsupport::CaptureOutputModule output;
    EXPECT_EQ("b", ReadFromPipe("a\x08" "b\n"));
    EXPECT_EQ("Password:*\b \b*", output.m_Text);

    output.m_Text.clear();
    EXPECT_EQ("", ReadFromPipe(std::string(32, 'z') + "\n"));
    EXPECT_EQ("Password:" + std::string(32, '*') + "\nPassword too long please reenter => ",
              output.m_Text);
}

}  // namespace
