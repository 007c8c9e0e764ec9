// The distribution lists, release notes, template lists and catalogues fetched from a real
// FTP server on loopback.
#include "core/catalogue/cache.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distributionlist.h"
#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "core/base/resultcodes.h"
#include "core/server/connectiondetails.h"
#include "core/base/trace.h"
#include "support/coreapp.h"
#include "support/ftpserver.h"
#include "support/testsupport.h"

#include <QTemporaryDir>

using testsupport::CFtpServer;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

struct Served {
    QTemporaryDir dir;
    CFtpServer server;
    std::string Root() const { return dir.path().toStdString() + "/root"; }
};

const char kGlobalList[] =
    "[Global]\ndescription=Global line\npackagetype=zip\n"
    "filelist=lists/base/pdf.txt\nfilelist=missing.txt\nfilelist=empty.txt\n";
const char kUserList[] = "[Global]\nfilelist=extra.txt\n[Mine]\ndescription=Personal\nfilelist=pdf.txt\n";

class RetrievalTest : public testsupport::TempDirTest {
protected:
    static void SetUpTestSuite()
    {
        testsupport::EnsureCoreApplication();
        s_Served = new Served;
        const std::string root = s_Served->Root();
        WriteFile(root + "/software/distributions.txt", kGlobalList);
        WriteFile(root + "/software/users/tester/distributions.txt", kUserList);
        WriteFile(root + "/software/lists/base/pdf.txt",
                  "[Zed]\nversion=1.0.0\ndepends=R5_Base\n[R5_Base]\nversion=6.3.9\n"
                  "releasenotes=notes.txt\n");
        WriteFile(root + "/software/lists/base/notes.txt", "Fixed everything.\n");
        WriteFile(root + "/software/empty.txt", "");
        WriteFile(root + "/software/users/tester/extra.txt", "[Alpha]\nversion=2.0.0\n");
        WriteFile(root + "/software/PTF/PTFList.txt", "first.ptf\r\n\r\nsecond.ptf\n");
        ASSERT_TRUE(s_Served->server.Start(root, s_Served->dir.path().toStdString() + "/ftp.log"));
    }
    static void TearDownTestSuite()
    {
        delete s_Served;
        s_Served = nullptr;
    }

    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_NE(nullptr, s_Served);
        ASSERT_EQ(rc::Success, CreateCacheFolders("."));
        CConnectionDetails* details = CConnectionDetails::Instance();
        details->SetUserName(CFtpServer::kUser);
        details->SetPassword(CFtpServer::kPassword);
        details->SetServer(Server().Address());
        details->SetTransferTimeout(5);
        CNUVOptions::Instance()->m_nLoginTimeout = 5;
        CDistributionList::destroy();
        m_Nuv->SetCatalogueProgress(nullptr);
        m_Nuv->m_bPTFReferenceOnly = false;
        m_Nuv->SetOnlineState(true);
        ASSERT_TRUE(m_Nuv->IsOnline());
        Server().ClearLog();
        DebugTraceOn();
    }

    void TearDown() override
    {
        DebugTraceOff();
        CDistributionList::destroy();
        TempDirTest::TearDown();
    }

    static CFtpServer& Server() { return s_Served->server; }
    std::string TraceText() const { return ReadFile(Path("NUVdebugtrace.txt")); }

    CDistribution* Distribution(const std::string& name, const std::string& alias)
    {
        CDistribution* distribution = CDistributionList::instance()->findDistribution(name);
        if (distribution)
            distribution->SetAlias(alias);
        return distribution;
    }

    static Served* s_Served;
    CNUVFunctions* m_Nuv = CNUVFunctions::Instance();
};

Served* RetrievalTest::s_Served = nullptr;

std::vector<std::string> HolderNames(const CComponentManager& manager)
{
    std::vector<std::string> names;
    for (int i = 0; i < manager.HolderCount(); ++i)
        names.push_back(manager.GetHolder(i)->GetName());
    return names;
}

}  // namespace

TEST_F(RetrievalTest, StartUpMergesTheGlobalAndTheUserList)
{
    const CDistributionList* list = CDistributionList::instance();
    ASSERT_EQ(2, list->count());
    using Lists = std::vector<CDistribution::FileList>;
    EXPECT_EQ((Lists{{"lists/base/pdf.txt", ""}, {"missing.txt", ""}, {"empty.txt", ""},
                     {"extra.txt", "users/tester"}}),
              list->findDistribution("Global")->GetFileLists());
    EXPECT_EQ((Lists{{"pdf.txt", "users/tester"}}), list->findDistribution("Mine")->GetFileLists());
    EXPECT_EQ("Personal", list->findDistribution("Mine")->GetDescription());
}

TEST_F(RetrievalTest, AMissingListIsTriedFiveTimesAndOffLineOnlyTheUserListFails)
{
    const std::string global = s_Served->Root() + "/software/distributions.txt";
    ASSERT_TRUE(QFile::rename(QString::fromStdString(global), QString::fromStdString(global + ".away")));
    const int missing = m_Nuv->GetDistributionDetails(CNUVFunctions::GLOBAL_SERVER);
    ASSERT_TRUE(QFile::rename(QString::fromStdString(global + ".away"), QString::fromStdString(global)));
    EXPECT_EQ(rc::DownloadFailed, missing);
    EXPECT_EQ(5, Server().Count("SIZE /software/distributions.txt"));
    EXPECT_NE(std::string::npos, TraceText().find("]:/software/distributions.txt is empty!!\n"));

    Server().ClearLog();
    m_Nuv->SetOnline(false);
    EXPECT_EQ(rc::Success, m_Nuv->GetDistributionDetails(CNUVFunctions::GLOBAL_SERVER));
    EXPECT_EQ(rc::DownloadFailed, m_Nuv->GetDistributionDetails(CNUVFunctions::USER_SERVER));
    EXPECT_NE(std::string::npos,
              TraceText().find("]:/software/users/tester/distributions.txt Is Empty\n"));
    CComponent noted;
    ASSERT_EQ(rc::Success, noted.SetReleaseNotes("notes.txt"));
    EXPECT_EQ("Release Notes unavailable - none specified", m_Nuv->GetReleaseNotes(&noted));
    EXPECT_TRUE(Server().Requests().empty());
}

TEST_F(RetrievalTest, ReleaseNotesAndTemplateListsComeAsText)
{
    CComponent record;
    EXPECT_EQ("Release Notes unavailable - none specified", m_Nuv->GetReleaseNotes(nullptr));
    EXPECT_EQ("Release Notes unavailable - none specified", m_Nuv->GetReleaseNotes(&record));
    EXPECT_TRUE(Server().Requests().empty());
    ASSERT_EQ(rc::Success, record.SetServerPath("lists/base/"));
    ASSERT_EQ(rc::Success, record.SetReleaseNotes("notes.txt"));
    EXPECT_EQ("Fixed everything.\n", m_Nuv->GetReleaseNotes(&record));
    ASSERT_EQ(rc::Success, record.SetReleaseNotes("gone.txt"));
    EXPECT_EQ("Release Notes unavailable - none specified", m_Nuv->GetReleaseNotes(&record));

    EXPECT_EQ((std::vector<std::string>{"first.ptf", "second.ptf"}), m_Nuv->GetPTFList(false));
    EXPECT_TRUE(m_Nuv->GetPTFList(true).empty());
    EXPECT_EQ(1, Server().Count("SIZE /software/users/tester/PTF/PTFList.txt"));
}

TEST_F(RetrievalTest, CatalogueLoadingCountsOnlyWhatWasFetchedOrFailed)
{
    testsupport::CaptureOutputModule output;
    CDistribution* global = Distribution("Global", "pkg");
    ASSERT_NE(nullptr, global);
    EXPECT_EQ(rc::Success, global->getComponents());
    // Four lists: the missing one still counts, the empty one (fetched twice) does not.
    EXPECT_EQ("\nReading Distribution Info   0%\r"
              "Reading Distribution Info  25%\r"
              "Reading Distribution Info  50%\r"
              "Reading Distribution Info  75%\r"
              "Reading Distribution Info  75%\r"
              "\n",
              output.m_Text);
    const CComponentManager& manager = *global->GetComponentManager();
    EXPECT_EQ((std::vector<std::string>{"Alpha", "R5_Base", "Zed"}), HolderNames(manager));
    EXPECT_EQ("users/tester/", manager.FindHolder("Alpha")->GetCurrent()->GetServerPath());
    EXPECT_EQ("lists/base/", manager.FindHolder("R5_Base")->GetCurrent()->GetServerPath());
    EXPECT_EQ(1u, manager.FindHolder("Zed")->GetCurrent()->GetDependencies().size());
    EXPECT_TRUE(m_Nuv->m_bCatalogueFromServer);
    EXPECT_EQ(1, Server().Count("SIZE /software/missing.txt"));
    EXPECT_EQ(2, Server().Count("RETR /software/empty.txt"));
    EXPECT_NE(std::string::npos,
              TraceText().find("]:\tStill FileListText Empty - DOUBLY UNEXPECTED RESULT\n"));

    const struct {
        const char* installed;
        bool old;
    } bases[] = {{"", true}, {"6.3.9", true}, {"6.4.0", false}, {"6.10.0", false}};
    for (const auto& b : bases) {
        SCOPED_TRACE(b.installed);
        manager.FindHolder("R5_Base")->SetInstalledVersion(CVersion(b.installed));
        EXPECT_EQ(b.old, global->IsOldBase());
    }

    // The graphical program takes the figures itself; the console sees none of them.
    std::vector<std::pair<int, std::string>> reports;
    m_Nuv->SetCatalogueProgress([&](int percent, const std::string& alias) {
        reports.emplace_back(percent, alias);
    });
    output.m_Text.clear();
    CDistribution* mine = Distribution("Mine", "own");
    EXPECT_EQ(rc::Success, mine->getComponents());
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{{100, "own"}}), reports);
    EXPECT_EQ("", output.m_Text);
    EXPECT_FALSE(mine->IsOldBase());   // no R5_Base in this catalogue
}

TEST_F(RetrievalTest, OffLineTheCatalogueIsWhatTheStateFileRecreates)
{
    testsupport::CaptureOutputModule output;
    m_Nuv->SetOnline(false);
    WriteFile(Path("packages/pkg/packages.dat"), "[Kept]\nversion=3.1.0\ndownloadedversion=0.0.0.0\n");
    CDistribution* global = Distribution("Global", "pkg");
    ASSERT_NE(nullptr, global);
    EXPECT_EQ(rc::Success, global->getComponents());
    EXPECT_EQ("\nReading Distribution Info   0%\r\n", output.m_Text);
    EXPECT_EQ((std::vector<std::string>{"Kept"}), HolderNames(*global->GetComponentManager()));
    EXPECT_FALSE(m_Nuv->m_bCatalogueFromServer);
    EXPECT_TRUE(Server().Requests().empty());
}
