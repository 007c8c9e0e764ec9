#include "core/catalogue/component.h"

#include "core/base/digest.h"

#include "core/catalogue/componentholder.h"
#include "core/catalogue/componentmanager.h"
#include "core/nuvfunctions.h"
#include "core/base/resultcodes.h"
#include "core/server/connectiondetails.h"
#include "support/componentarchive.h"
#include "support/coreapp.h"
#include "support/ftpserver.h"
#include "support/testsupport.h"
#include "portability/systemenv.h"

#include <cerrno>
#include <unistd.h>

using namespace testsupport;

namespace {

/// A package whose archives come from a real FTP server serving <temp>/served.
class ComponentDownloadTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        EnsureCoreApplication();
        WriteFile(Path("served/software/r5/main/.keep"), "");
        ASSERT_TRUE(m_Server.Start(Path("served"), Path("ftp.log")));
        CConnectionDetails* details = CConnectionDetails::Instance();
        details->SetUserName(CFtpServer::kUser);
        details->SetPassword(CFtpServer::kPassword);
        details->SetServer(m_Server.Address());
        CNUVFunctions::Instance()->SetOnline(true);
        WriteFile(Path("packages/pkg/package.dat"), "");
        m_Package = std::make_unique<CTestPackage>(Path("root"));
    }
    void TearDown() override
    {
        CNUVFunctions::Instance()->SetOnline(false);
        m_Server.Stop();
        TempDirTest::TearDown();
    }
    /// A record served below /software/r5/main/ (its archive built there when served).
    CComponent* Add(const std::string& name, bool served)
    {
        if (served) {
            MakeArchive(Path(), name, "1.0.0",
                        {{name + ".txt", "x"}, {"installer/" + name + "/filelist", name + ".txt\n"}});
            WriteFile(Path("served/software/r5/main/" + name + "-1.0.0.zip"),
                      ReadFile(Path("cache/Linux/" + name + "-1.0.0.zip")));
            ::unlink(Path("cache/Linux/" + name + "-1.0.0.zip").c_str());
        }
        CComponent* record = m_Package->Add(name, "1.0.0");
        record->SetServerPath("r5/main/");
        return record;
    }
    CComponentManager* Manager() { return m_Package->m_Distribution.GetComponentManager(); }

    CaptureOutputModule m_Output;
    CFtpServer m_Server;
    std::unique_ptr<CTestPackage> m_Package;
};

/// A disk that fails the sync of the files whose path contains one name.
class FailingSync : public CSystemEnv {
public:
    explicit FailingSync(std::string name) : m_Name(std::move(name)) {}
    bool SyncFile(int fd) const override
    {
        char path[4096] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
        if (length > 0 && std::string(path, size_t(length)).find(m_Name) != std::string::npos) {
            errno = EIO;
            return false;
        }
        return CSystemEnv::SyncFile(fd);
    }

private:
    std::string m_Name;
};

}  // namespace

TEST_F(ComponentDownloadTest, BatchFetchesSkipsCachedAndListsFailures)
{
    Add("A", true);
    Add("B", false);
    Add("C", false);
    WriteFile(Path("cache/Linux/C-1.0.0.zip"), "cached");
    ASSERT_EQ(rc::Success, Manager()->MarkAll(CComponent::ActionDownload));

    EXPECT_EQ(rc::Success, Manager()->DownloadComponents());   // the save's result
    EXPECT_EQ("Downloading..... 001/003:\tA (v1.0.0)\n"
              "Downloading..... 002/003:\tB (v1.0.0)\n"
              "\t/software/r5/main/B-1.0.0.zip failed to download\n"
              "\tDownloading B, Failed FTP download error\n"
              "Downloading..... 003/003:\tC (v1.0.0)\n"
              "\tAlready present in the cache.\n"
              "\nErrors occurred while trying to dowload the following components:\n\n"
              "B\n"
              "\nSee output above for error details.\n",
              m_Output.m_Text);
    EXPECT_EQ(std::vector<std::string>{"B"}, Manager()->FailedComponents());
    EXPECT_EQ(ReadFile(Path("served/software/r5/main/A-1.0.0.zip")),
              ReadFile(Path("cache/Linux/A-1.0.0.zip")));
    EXPECT_FALSE(Exists(Path("cache/Linux/B-1.0.0.zip")));
    EXPECT_EQ(CVersion("1.0.0"), Manager()->FindHolder("A")->GetDownloadedVersion());
    EXPECT_TRUE(Manager()->FindHolder("B")->GetDownloadedVersion().IsZero());
    EXPECT_NE(std::string::npos,
              ReadFile(Path("packages/pkg/packages.dat")).find("A-1.0.0.zip"));
}

// An archive goes to the disk while the next one arrives. One that cannot get there is
// reported late, but as failed, and is never counted as downloaded; the others are.
TEST_F(ComponentDownloadTest, AnArchiveThatCannotReachTheDiskFailsAndIsNotRecorded)
{
    for (const char* name : {"A", "B", "C"})
        Add(name, true);
    ASSERT_EQ(rc::Success, Manager()->MarkAll(CComponent::ActionDownload));
    std::unique_ptr<CSystemEnv> previous =
        CSystemEnv::Replace(std::make_unique<FailingSync>("B-1.0.0.zip.part"));
    const int saved = Manager()->DownloadComponents();
    CSystemEnv::Replace(std::move(previous));

    EXPECT_EQ(rc::Success, saved);
    EXPECT_EQ("Downloading..... 001/003:\tA (v1.0.0)\n"
              "Downloading..... 002/003:\tB (v1.0.0)\n"
              "Downloading..... 003/003:\tC (v1.0.0)\n"
              "\t/software/r5/main/B-1.0.0.zip failed to download\n"
              "\tDownloading B, Failed FTP download error\n"
              "\nErrors occurred while trying to dowload the following components:\n\n"
              "B\n"
              "\nSee output above for error details.\n",
              m_Output.m_Text);
    EXPECT_EQ(std::vector<std::string>{"B"}, Manager()->FailedComponents());
    EXPECT_TRUE(Exists(Path("cache/Linux/A-1.0.0.zip")));
    EXPECT_TRUE(Exists(Path("cache/Linux/C-1.0.0.zip")));
    EXPECT_FALSE(Exists(Path("cache/Linux/B-1.0.0.zip")));
    EXPECT_FALSE(Exists(Path("cache/Linux/B-1.0.0.zip.part")));
    EXPECT_TRUE(Manager()->FindHolder("B")->GetDownloadedVersion().IsZero());
    const std::string state = ReadFile(Path("packages/pkg/packages.dat"));
    EXPECT_NE(std::string::npos, state.find("C-1.0.0.zip")) << state;
    EXPECT_EQ(std::string::npos, state.find("B-1.0.0.zip")) << state;
}

TEST_F(ComponentDownloadTest, InstallFetchesAnUncachedArchiveOnlineAndExcludedOnesNever)
{
    CComponent* served = Add("D", true);
    EXPECT_EQ(rc::Success, served->Install());
    EXPECT_EQ("x", ReadFile(Path("root/D.txt")));
    EXPECT_TRUE(Exists(Path("cache/Linux/D-1.0.0.zip")));   // stays cached

    CComponent* missing = Add("M", false);
    EXPECT_EQ(rc::NotDownloaded, missing->Install());

    CComponent* excluded = Add("E", true);
    excluded->SetIncluded(false);
    m_Server.ClearLog();
    EXPECT_EQ(rc::NotIncluded, excluded->Download());
    EXPECT_EQ(0, m_Server.Count("RETR"));
}

// An archive is installed only when it matches the catalogue's digest: checked while it
// downloads, or before it is unpacked when it was in the cache already. A mismatch removes it.
TEST_F(ComponentDownloadTest, ArchivesThatDifferFromTheirDigestAreNeverInstalled)
{
    const struct {
        const char* name;
        bool cached;        // altered in the cache after download instead of served wrong
        bool rightDigest;
        int result;
    } cases[] = {
        {"A", false, true, rc::Success},
        {"B", false, false, rc::ChecksumMismatch},
        {"C", true, true, rc::ChecksumMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        const std::string archive = "cache/Linux/" + name + "-1.0.0.zip";
        CComponent* record = Add(name, true);
        const std::string served = FileSha256(Path("served/software/r5/main/" + name + "-1.0.0.zip"));
        record->SetSha256(c.rightDigest ? served : std::string(64, 'f'));
        if (c.cached)
            WriteFile(Path(archive), "PK altered on disk");
        const std::string altered = FileSha256(Path(archive));
        m_Server.ClearLog();
        m_Output.m_Text.clear();

        EXPECT_EQ(c.result, record->Install());
        EXPECT_EQ(c.result == rc::Success, Exists(Path("root/" + name + ".txt")));
        EXPECT_EQ(c.result == rc::Success, Exists(Path(archive)));
        EXPECT_FALSE(Exists(Path(archive + ".part")));
        EXPECT_EQ(c.cached ? 0 : 1, m_Server.Count("RETR"));
        const std::string expected =
            c.result == rc::Success
                ? "\tChecksum verified (sha256 " + served.substr(0, 16) + "...)\n"
                : c.cached ? "\t" + archive + " does not match its checksum: expected sha256 " +
                                 served + ", received " + altered + "\n"
                           : "\t" + name + "-1.0.0.zip does not match its checksum: expected "
                             "sha256 " + std::string(64, 'f') + ", received " + served + "\n";
        EXPECT_EQ(expected, m_Output.m_Text);
    }
}
