// Every catalogue reader meets damaged input: junk bytes, giant lines, missing "]" or "=",
// repeated sections, files cut anywhere. Each must keep reading what follows the damage.

#include "core/catalogue/cache.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/catalogue/packagedetails.h"
#include "core/nuvfunctions.h"
#include "core/base/trace.h"
#include "support/testsupport.h"

#include <random>

using testsupport::WriteFile;

namespace {

std::string Junk(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    // Bytes the readers give meaning to are drawn often, the rest at random.
    const char special[] = {'[', ']', '=', '#', '\n', '\r', ' ', '"', ',', '\0', '.'};
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        const unsigned r = random();
        text += (r % 3 == 0) ? special[(r >> 8) % sizeof special] : char(r >> 16);
    }
    return text;
}

// Damage put before a good tail; the tail must still be read.
std::vector<std::pair<std::string, std::string>> Damages()
{
    return {
        {"junk", Junk(20000, 1) + "\n"},
        {"more junk", Junk(5000, 7) + "\n"},
        {"huge line", std::string(2 * 1024 * 1024, 'x') + "\n"},
        {"huge key", "[" + std::string(100000, 'k') + "\n" + std::string(100000, 'v') + "=1\n"},
        {"open bracket", "[\n[[[[\n"},
        {"no equals", "version 1.0.0\npath\n"},
        {"only equals", "=\n==\n===\n"},
        {"nul bytes", std::string("\0\0\0[\0]=\0\n", 9)},
    };
}

class HostileInputTest : public testsupport::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        CDistributionList::destroy();
        CCacheList::destroy();
        CNUVFunctions::Instance()->SetOnline(false);
        DebugTraceOn();   // the messages are formatted too, with the damaged text in them
    }
    void TearDown() override
    {
        DebugTraceOff();
        CDistributionList::destroy();
        CCacheList::destroy();
        TempDirTest::TearDown();
    }
};

}  // namespace

TEST_F(HostileInputTest, DistributionTextsReadOnAfterDamage)
{
    for (const auto& [what, damage] : Damages()) {
        SCOPED_TRACE(what);
        CDistributionList::destroy();
        CDistributionList* list = CDistributionList::instance();
        EXPECT_EQ(0, list->addDistributions(damage + "[Good]\npath=p\n[Good]\npath=q\n", "", true));
        const CDistribution* good = list->findDistribution("Good");
        ASSERT_NE(nullptr, good);
        EXPECT_EQ("q", good->GetPath());   // the repeated section merged into the first
    }
}

TEST_F(HostileInputTest, DetailsFilesCutAnywhere)
{
    CDistributionList* list = CDistributionList::instance();
    list->addDistributions("[Main]\nsetup=s\npackagetype=zip\nplatform=linux\n", "", true);
    list->getCurrentDistribution()->setTessomRoot("/root");
    list->getCurrentDistribution()->SetPackageTag("tag");
    ASSERT_EQ(0, list->writeDistributionDetails("package.dat"));
    const std::string whole = testsupport::ReadFile("package.dat");
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        WriteFile("cut.dat", whole.substr(0, cut));
        EXPECT_EQ(0, list->readDistributionDetails("cut.dat"));
        if (cut > 4) {   // once the name is whole, the distribution is current again
            EXPECT_EQ("Main", list->getCurrentDistribution()->GetName());
        }
    }
    for (const auto& [what, damage] : Damages()) {
        SCOPED_TRACE(what);
        WriteFile("junk.dat", damage);
        EXPECT_EQ(0, list->readDistributionDetails("junk.dat"));
        CPackageDetails details;
        EXPECT_TRUE(details.ReadOldFormat("junk.dat"));
        EXPECT_LE(details.distribution.size(), damage.size() / 2);   // never beyond the data
    }
}

TEST_F(HostileInputTest, PackageDefinitionsReadOnAfterDamage)
{
    for (const auto& [what, damage] : Damages()) {
        SCOPED_TRACE(what);
        CComponentManager manager;
        ASSERT_EQ(0, manager.ReadPDF(damage + "[Good]\nversion=1.2.3\n[Good]\nversion=1.2.3\n", "", ""));
        const CComponentHolder* good = manager.FindHolder("Good");
        ASSERT_NE(nullptr, good);
        EXPECT_EQ(2, good->Count());
        EXPECT_EQ(CVersion("1.2.3"), good->GetByIndex(1)->GetVersion());
        manager.SortHolders();
        manager.ResolveDependencies();
    }
    const std::string whole = "[A]\nversion=1.0.0\ndepends=B\n[B]\nversion=2.0.0\ndepends=A\n";
    for (size_t cut = 1; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        CComponentManager manager;
        EXPECT_EQ(0, manager.ReadPDF(whole.substr(0, cut), "", ""));
        EXPECT_EQ(cut <= 28 ? 1 : 2, manager.HolderCount());
        manager.SortHolders();
        manager.ResolveDependencies();
    }
}

TEST_F(HostileInputTest, StateFilesReadOnAfterDamage)
{
    CDistribution dist("Main");
    dist.SetAlias("pkg");
    for (const auto& [what, damage] : Damages()) {
        SCOPED_TRACE(what);
        CComponentManager* manager = dist.GetComponentManager();
        manager->ClearHolders();
        WriteFile("down.dat", damage + "[Good]\nversion=1.0.0\nincluded=no\n");
        WriteFile("inst.dat", damage + "[Good]\nversion=1.0.0\ninstalledversion=1.0.0\n");
        manager->ReadDownloadedState("down.dat");
        manager->ReadInstalledState("inst.dat");
        const CComponentHolder* good = manager->FindHolder("Good");
        ASSERT_NE(nullptr, good);
        EXPECT_FALSE(good->GetCurrent()->IsIncluded());
        EXPECT_EQ(CVersion("1.0.0"), good->GetInstalledVersion());
    }
    // A file cut anywhere: never more than its one component.
    const std::string whole = "[Good]\nversion=1.0.0\ncappedversion=1.0.0\ndownloadedversion=1.0.0\n";
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        CComponentManager* manager = dist.GetComponentManager();
        manager->ClearHolders();
        WriteFile("down.dat", whole.substr(0, cut));
        manager->ReadDownloadedState("down.dat");
        EXPECT_GE(1, manager->HolderCount());
    }
}

TEST_F(HostileInputTest, CacheListSurvivesDamagedStateFiles)
{
    WriteFile("cache/a.zip", "");
    for (const auto& [what, damage] : Damages()) {
        SCOPED_TRACE(what);
        WriteFile("packages/p/packages.dat", damage + "downloadedpackage=a.zip\n");
        CCacheList::instance()->RefreshCacheList();
        ASSERT_EQ(1u, CCacheList::instance()->GetAttached().size());
        EXPECT_EQ(std::vector<std::string>{"p"}, CCacheList::instance()->GetAttached()[0].packages);
    }
}
