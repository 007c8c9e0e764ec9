#include "core/catalogue/distributionlist.h"

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/packagedetails.h"
#include "support/testsupport.h"

#include <QDataStream>
#include <QFile>

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class DistributionListTest : public testsupport::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        CDistributionList::destroy();
        m_List = CDistributionList::instance();
    }
    void TearDown() override
    {
        CDistributionList::destroy();
        TempDirTest::TearDown();
    }

    CDistributionList* m_List = nullptr;
};

const char kGlobal[] =
    "minclient=2.1.0\n"
    "path=/ignored\n"
    "[R5 Main] # the main line\n"
    "description=Main release\n"
    "path=main\n"
    "filelist=main/pdf/list.txt\n"
    "packagetype=ZIP\n"
    "platform=Windows\n"
    "setup=r5install -upgrade\n"
    "local=yes\n"
    "[Beta\n"
    "platform=Amiga\n"
    "packagetype=rar\n"
    "minclient=2.0.9\n";

}  // namespace

TEST_F(DistributionListTest, ReadsSectionsAndKeys)
{
    EXPECT_EQ(0, m_List->addDistributions(kGlobal, "", true));
    ASSERT_EQ(2, m_List->count());

    const CDistribution* main = m_List->getDistribution(0);
    EXPECT_EQ("R5 Main", main->GetName());
    EXPECT_EQ("Main release", main->GetDescription());
    EXPECT_EQ("main", main->GetPath());   // the line before any section was ignored
    EXPECT_EQ(".zip", main->GetPackageType());
    EXPECT_EQ(1, main->GetPlatform());
    EXPECT_EQ("r5install -upgrade", main->GetSetup());
    EXPECT_TRUE(main->IsLocal());
    ASSERT_EQ(1, main->FileListCount());
    EXPECT_EQ(CDistribution::FileList("main/pdf/list.txt", ""), main->GetFileLists()[0]);

    const CDistribution* beta = m_List->getDistribution(1);
    EXPECT_EQ("Beta", beta->GetName());   // no closing bracket: the rest of the line
    EXPECT_EQ(0, beta->GetPlatform());
    EXPECT_EQ("", beta->GetPackageType());
    EXPECT_EQ("2.1.0", m_List->getMinClient());
    EXPECT_EQ(0, m_List->getCurrentIndex());   // loading does not move the selection
}

TEST_F(DistributionListTest, KeepsTheHighestMinClient)
{
    const struct { const char* lines; const char* expected; } cases[] = {
        {"minclient=2.1.0\nminclient=2.0.9\n", "2.1.0"},
        {"minclient=2.0.9\nminclient=2.1.0\n", "2.1.0"},
        // different part counts are neither greater nor equal: the first stays
        {"minclient=2.1.0\nminclient=2.1.0.0\n", "2.1.0"},
        {"minclient=2.1.0\nminclient=2.1.0.1\n", "2.1.0.1"},
        {"[D]\nminclient=1.0.0\n", "1.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        CDistributionList::destroy();
        m_List = CDistributionList::instance();
        m_List->addDistributions(c.lines, "", true);
        EXPECT_EQ(c.expected, m_List->getMinClient());
    }
}

TEST_F(DistributionListTest, LineRulesOfKeysAndValues)
{
    const struct { const char* line; const char* path; } cases[] = {
        {"path=a/b", "a/b"},
        {"path = a/b", " a/b"},         // the blank after "=" survives as one blank
        {"PATH=a/b", "a/b"},            // keys are lower-cased
        {"path==a/b", "a/b"},           // a doubled "=" between two words still splits in two
        {"path=\"x=y\"", "\"x=y\""},    // "=" inside quotes does not split
        {"path=a=b", "old"},            // three fields: skipped
        {"path=", "old"},               // one field: skipped
        {"=a/b", "old"},
        {"path a/b", "old"},            // no "=" at all
        {"path=a   b  ", "a b"},        // blanks collapsed and trailing ones dropped
        {"path=a\tb", "a\tb"},          // a tab is no blank
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        CDistributionList::destroy();
        m_List = CDistributionList::instance();
        m_List->addDistributions(std::string("[D]\npath=old\n") + c.line + "\n", "", false);
        ASSERT_EQ(1, m_List->count());
        EXPECT_EQ(c.path, m_List->getDistribution(0)->GetPath());
    }
}

TEST_F(DistributionListTest, MergeAddsFileListsAndOverwritesOnlyNamedKeys)
{
    m_List->addDistributions(kGlobal, "", true);
    m_List->addDistributions("[R5 Main]\nfilelist=extra.txt\nsetup=other\n[New]\n", "users/ann", true);
    ASSERT_EQ(3, m_List->count());
    const CDistribution* main = m_List->findDistribution("R5 Main");
    ASSERT_EQ(2, main->FileListCount());
    EXPECT_EQ(CDistribution::FileList("extra.txt", "users/ann"), main->GetFileLists()[1]);
    EXPECT_EQ("other", main->GetSetup());
    EXPECT_EQ("Main release", main->GetDescription());
    EXPECT_EQ(".zip", main->GetPackageType());

    // Without merge a second text creates a second record of the same name.
    m_List->addDistributions("[R5 Main]\n", "", false);
    EXPECT_EQ(4, m_List->count());
    EXPECT_EQ(main, m_List->findDistribution("R5 Main"));
}

TEST_F(DistributionListTest, CurrentSelection)
{
    m_List->addDistributions("[ Padded]\n[B]\n[C]\n", "", true);
    m_List->setCurrentDistribution("Padded");   // entry names are trimmed for the comparison
    EXPECT_EQ(0, m_List->getCurrentIndex());
    m_List->setCurrentDistribution("c");
    EXPECT_EQ(-1, m_List->getCurrentIndex());
    EXPECT_EQ(nullptr, m_List->getCurrentDistribution());

    EXPECT_EQ(nullptr, m_List->selectDistribution(3));
    EXPECT_EQ(-1, m_List->getCurrentIndex());
    EXPECT_EQ("C", m_List->selectDistribution(2)->GetName());
    m_List->setCurrentIndex(3);   // count: accepted, but nothing is current
    EXPECT_EQ(3, m_List->getCurrentIndex());
    EXPECT_EQ(nullptr, m_List->getCurrentDistribution());
    m_List->setCurrentIndex(4);
    m_List->setCurrentIndex(-1);
    EXPECT_EQ(3, m_List->getCurrentIndex());

    m_List->clear();
    EXPECT_EQ(0, m_List->count());
    EXPECT_EQ(3, m_List->getCurrentIndex());
}

TEST_F(DistributionListTest, DetailsFileIsNineExactLinesWithValuesCut)
{
    EXPECT_EQ(1, m_List->writeDistributionDetails("package.dat"));   // nothing current
    m_List->addDistributions("[Main]\nsetup=inst\nstart=go.sh\nstop=halt.sh\npackagetype=tgz\n"
                             "platform=linux\n", "", true);
    CDistribution* dist = m_List->getCurrentDistribution();
    ASSERT_EQ(0, dist->setTessomRoot("/opt/tessom/r5"));
    dist->SetPackageTag(std::string(300, 't'));
    EXPECT_EQ(1, m_List->writeDistributionDetails(""));
    ASSERT_EQ(0, m_List->writeDistributionDetails("package.dat"));
    EXPECT_EQ("Main\n/opt/tessom/r5\ninst\n\ngo.sh\nhalt.sh\n.tgz\n2\n" + std::string(254, 't') + "\n",
              ReadFile("package.dat"));

    // A folder where the file should be: the write fails and reports it.
    WriteFile(Path("blocked/x"), "");
    EXPECT_EQ(1, m_List->writeDistributionDetails(Path("blocked/x/package.dat")));
}

TEST_F(DistributionListTest, ReadingDetailsAddsAndUpdatesTheDistribution)
{
    m_List->addDistributions("[Other]\n[Main]\nremove=keep\nplatform=solaris\n", "", true);
    m_List->getDistribution(1)->SetPackageTag("old tag");
    // Eight lines: the tag is left; empty remove keeps the listed value; platform 0 is ignored.
    WriteFile("eight.dat", "Main\n/root\n\n\n\nstop.sh\n.exe\n0\n");
    ASSERT_EQ(0, m_List->readDistributionDetails("eight.dat"));
    const CDistribution* main = m_List->getCurrentDistribution();
    ASSERT_NE(nullptr, main);
    EXPECT_EQ("Main", main->GetName());
    EXPECT_EQ("/root", main->GetTessomRoot());
    EXPECT_EQ("keep", main->GetRemove());
    EXPECT_EQ("stop.sh", main->GetStop());
    EXPECT_EQ(".exe", main->GetPackageType());
    EXPECT_EQ(3, main->GetPlatform());
    EXPECT_EQ("old tag", main->GetPackageTag());

    WriteFile("new.dat", "  Fresh  \r\nroot\r\n");
    ASSERT_EQ(0, m_List->readDistributionDetails("new.dat"));
    EXPECT_EQ(3, m_List->count());
    EXPECT_EQ("Fresh", m_List->getCurrentDistribution()->GetName());

    EXPECT_EQ(1, m_List->readDistributionDetails("missing.dat"));
    EXPECT_EQ(1, m_List->readDistributionDetails(""));
    WriteFile("empty.dat", "");
    EXPECT_EQ(0, m_List->readDistributionDetails("empty.dat"));
    EXPECT_EQ(3, m_List->count());
}

TEST_F(DistributionListTest, DetailsRoundTrip)
{
    m_List->addDistributions("[Main]\nsetup=a\nremove=b\nstart=c\nstop=d\npackagetype=zip\n"
                             "platform=linux\n", "", true);
    m_List->getCurrentDistribution()->setTessomRoot("/r");
    m_List->getCurrentDistribution()->SetPackageTag("tag\nwith break");
    ASSERT_EQ(0, m_List->writeDistributionDetails("package.dat"));
    CDistributionList::destroy();
    m_List = CDistributionList::instance();
    ASSERT_EQ(0, m_List->readDistributionDetails("package.dat"));
    const CDistribution* dist = m_List->getCurrentDistribution();
    ASSERT_NE(nullptr, dist);
    EXPECT_EQ("/r", dist->GetTessomRoot());
    EXPECT_EQ("a", dist->GetSetup());
    EXPECT_EQ("d", dist->GetStop());
    EXPECT_EQ(".zip", dist->GetPackageType());
    EXPECT_EQ(2, dist->GetPlatform());
    EXPECT_EQ("tag with break", dist->GetPackageTag());
}

TEST_F(DistributionListTest, OlderDataStreamFormIsHandedToTheOldReader)
{
    // Hand-made bytes: big-endian count, UTF-16BE code units; "Dist" and "/r" and a null string.
    const std::string bytes = std::string("\0\0\0\x08\0D\0i\0s\0t", 12) +
                              std::string("\0\0\0\x04\0/\0r", 8) +
                              std::string("\xff\xff\xff\xff", 4) +
                              std::string("\0\0\0\x02\0R", 6);
    WriteFile("old.dat", bytes);
    CPackageDetails details;
    ASSERT_TRUE(details.ReadOldFormat("old.dat"));
    EXPECT_EQ("Dist", details.distribution);
    EXPECT_EQ("/r", details.root);
    EXPECT_EQ("", details.setup);
    EXPECT_EQ("R", details.remove);
    EXPECT_EQ("", details.start);

    // Written by Qt itself, with the optional strings, and opened as a details file.
    {
        QFile file("package.dat");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QDataStream out(&file);
        out.setVersion(QDataStream::Qt_4_0);
        out << QString("Legacy") << QString("/opt/old") << QString("setup.sh")
            << QString("remove.sh") << QString("start.sh") << QString("stop.sh");
    }
    ASSERT_EQ(0, m_List->readDistributionDetails("package.dat"));
    const CDistribution* dist = m_List->getCurrentDistribution();
    ASSERT_NE(nullptr, dist);
    EXPECT_EQ("Legacy", dist->GetName());
    EXPECT_EQ("/opt/old", dist->GetTessomRoot());
    EXPECT_EQ("setup.sh", dist->GetSetup());
    EXPECT_EQ("stop.sh", dist->GetStop());
    EXPECT_EQ(0, dist->GetPlatform());
    EXPECT_EQ("", dist->GetPackageTag());

    // A truncated stream keeps what could be read and never reads past the data.
    WriteFile("cut.dat", bytes.substr(0, 15));
    ASSERT_TRUE(details.ReadOldFormat("cut.dat"));
    EXPECT_EQ("Dist", details.distribution);
    EXPECT_EQ("", details.root);
}

TEST_F(DistributionListTest, RootIsKeptWhileComponentsAreInstalled)
{
    m_List->addDistributions("[Main]\n", "", true);
    CDistribution* dist = m_List->getCurrentDistribution();
    ASSERT_EQ(0, dist->setTessomRoot("/first"));
    CComponentManager* manager = dist->GetComponentManager();
    ASSERT_EQ(0, manager->ReadPDF("[Base]\nversion=1.0.0\n", "", ".zip"));
    manager->FindHolder("Base")->SetInstalledVersion(CVersion("1.0.0"));
    EXPECT_EQ(80, dist->setTessomRoot("/second"));
    EXPECT_EQ("/first", dist->GetTessomRoot());

    WriteFile("package.dat", "Main\n/third\n\n\n\n\n.zip\n0\n\n");
    EXPECT_EQ(0, m_List->readDistributionDetails("package.dat"));   // refusal ignored
    EXPECT_EQ("/first", dist->GetTessomRoot());
}
