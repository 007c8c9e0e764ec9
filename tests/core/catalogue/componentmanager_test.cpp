#include "core/catalogue/componentmanager.h"

#include "core/catalogue/distribution.h"
#include "core/nuvfunctions.h"
#include "core/base/resultcodes.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Names(const std::vector<CComponent*>& records)
{
    std::vector<std::string> names;
    for (const CComponent* record : records)
        names.push_back(record->GetName() + "@" + record->GetVersion().ToString());
    return names;
}

std::vector<std::string> HolderNames(const CComponentManager& manager)
{
    std::vector<std::string> names;
    for (int i = 0; i < manager.HolderCount(); ++i)
        names.push_back(manager.GetHolder(i)->GetName());
    return names;
}

using List = std::vector<std::string>;

}  // namespace

TEST(ReadPDF, SectionsKeysAndRefusedValues)
{
    CDistribution dist("Main");
    dist.SetPlatform(2);
    CComponentManager* manager = dist.GetComponentManager();
    const std::string text =
        "package=before-any-section\n"
        "   [Tools] trailing words\r\n"
        "package=tools_1.zip\n"
        "version=1.2.3\n"
        "group=Utilities\n"
        "description=a=b=c\n"
        "releasenotes=notes.txt\n"
        "depends=Base, Lib\n"
        "needsetup=True\n"
        "needstartservice=YES\n"
        "installmessage=\n"
        "group =ignored\n"
        "Group=ignored\n"
        "no equals here\n"
        "description=\n"
        "\n"
        "[Tools\n"
        "version=1.2.3\n";
    ASSERT_EQ(0, manager->ReadPDF(text, "r5/main/", ".tgz"));
    ASSERT_EQ(List({"Tools"}), HolderNames(*manager));
    const CComponentHolder* holder = manager->FindHolder("Tools");
    ASSERT_EQ(2, holder->Count());
    const CComponent* record = holder->GetByIndex(0);
    EXPECT_EQ("tools_1.zip", record->GetPackage());
    EXPECT_EQ(CVersion("1.2.3"), record->GetVersion());
    EXPECT_EQ("Utilities", record->GetGroup());
    EXPECT_EQ("a=b=c", record->GetDescription());   // an empty repeat is refused
    EXPECT_EQ("notes.txt", record->GetReleaseNotes());
    EXPECT_EQ(List({"Base", "Lib"}), record->ParseDepends());
    EXPECT_FALSE(record->NeedSetup());               // "True" is refused
    EXPECT_TRUE(record->NeedStartService());
    EXPECT_EQ("r5/main/", record->GetServerPath());
    EXPECT_EQ(".tgz", record->GetExtention());
    EXPECT_EQ(2, record->GetPlatform());
    EXPECT_EQ(&dist, record->GetDistribution());
    EXPECT_EQ(holder, record->GetHolder());
    EXPECT_TRUE(record->IsIncluded());
    // The second section of the same name and version is a second record (a duplicate).
    EXPECT_EQ("", holder->GetByIndex(1)->GetPackage());
    EXPECT_EQ(".tgz", holder->GetByIndex(1)->GetExtention());
    EXPECT_TRUE(manager->FindHolder("Tools")->HasDuplicateVersions());

    EXPECT_EQ(rc::NoPDFText, manager->ReadPDF("", "", ""));
}

TEST(ReadPDF, Sha256IsKeptLowerCasedOrIgnoredWhenMalformed)
{
    const std::string digest(64, 'a');
    const struct { const char* name; std::string value; std::string kept; } cases[] = {
        {"upper case", std::string(64, 'A'), digest},
        {"short", std::string(63, 'a'), ""},
        {"not hex", std::string(63, 'a') + "g", ""},
        {"blank inside", "sha256 " + std::string(57, 'a'), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CDistribution dist("Main");
        CComponentManager* manager = dist.GetComponentManager();
        ASSERT_EQ(0, manager->ReadPDF("[A]\nversion=1.0\nsha256=" + c.value + "\n", "", ".zip"));
        EXPECT_EQ(c.kept, manager->FindHolder("A")->GetByIndex(0)->GetSha256());
    }
}

TEST(ReadPDF, HoldersKeepFirstSeenOrderAcrossTexts)
{
    CComponentManager manager;
    ASSERT_EQ(0, manager.ReadPDF("[Zeta]\n[Alpha]\nversion=1.0.0\n[Zeta]\nversion=2.0.0\n", "", ""));
    ASSERT_EQ(0, manager.ReadPDF("[Mid]\n[Alpha]\nversion=3.0.0\n", "", ""));
    EXPECT_EQ(List({"Zeta", "Alpha", "Mid"}), HolderNames(manager));
    const CComponentHolder* zeta = manager.FindHolder("Zeta");
    ASSERT_EQ(2, zeta->Count());
    EXPECT_EQ(0, zeta->GetByIndex(0)->GetVersion().PartCount());   // a section without keys
    EXPECT_EQ(".zip", zeta->GetByIndex(0)->GetExtention());        // empty argument: default
    EXPECT_EQ(2, manager.FindHolder("Alpha")->Count());
    EXPECT_EQ(nullptr, manager.FindHolder("alpha"));

    manager.SortHolders();
    EXPECT_EQ(List({"Alpha", "Mid", "Zeta"}), HolderNames(manager));
    EXPECT_EQ(CVersion("3.0.0"), manager.FindHolder("Alpha")->GetMaxVersion());
    EXPECT_EQ("Zeta", manager.FindCurrentComponent("Zeta")->GetName());
}

TEST(Dependencies, SelfMutualAndTransitive)
{
    CComponentManager manager;
    ASSERT_EQ(0, manager.ReadPDF("[Self]\nversion=1.0.0\ndepends=Self\n"
                                 "[A]\nversion=1.0.0\ndepends=B\n"
                                 "[B]\nversion=1.0.0\ndepends=A\n"
                                 "[App]\nversion=1.0.0\ndepends= Lib ,Missing,Net\n"
                                 "[Lib]\nversion=1.0.0\ndepends=Core\n"
                                 "[Net]\nversion=1.0.0\ndepends=Core,Lib\n"
                                 "[Core]\nversion=1.0.0\n"
                                 "[Twice]\nversion=1.0.0\ndepends=Core,Core\n",
                                 "", ""));
    manager.SortHolders();
    manager.ResolveDependencies();
    auto deps = [&](const char* name) { return Names(manager.FindCurrentComponent(name)->GetDependencies()); };
    auto dependants = [&](const char* name) { return Names(manager.FindCurrentComponent(name)->GetDependants()); };
    EXPECT_EQ(List(), deps("Self"));
    EXPECT_EQ(List(), dependants("Self"));
    EXPECT_EQ(List({"B@1.0.0"}), deps("A"));
    EXPECT_EQ(List({"A@1.0.0"}), deps("B"));
    EXPECT_EQ(List({"B@1.0.0"}), dependants("A"));
    EXPECT_EQ(List({"Lib@1.0.0", "Core@1.0.0", "Net@1.0.0"}), deps("App"));
    EXPECT_EQ(List({"Core@1.0.0", "Lib@1.0.0"}), deps("Net"));
    // Holders are sorted by name; a component named twice is listed twice.
    EXPECT_EQ(List({"Lib@1.0.0", "Net@1.0.0", "Twice@1.0.0", "Twice@1.0.0"}), dependants("Core"));
    for (int i = 0; i < manager.HolderCount(); ++i)
        EXPECT_FALSE(manager.GetHolder(i)->m_Visited) << i;

    // Resolving again gives the same lists, not doubled ones.
    manager.ResolveDependencies();
    EXPECT_EQ(4u, manager.FindCurrentComponent("Core")->GetDependants().size());
}

TEST(Dependencies, LongChainsDoNotExhaustTheStack)
{
    CComponentManager manager;
    std::string text;
    const int kLength = 3000;
    for (int i = 0; i < kLength; ++i)
        text += "[c" + std::to_string(i) + "]\nversion=1.0.0\ndepends=c" + std::to_string(i + 1) + "\n";
    ASSERT_EQ(0, manager.ReadPDF(text, "", ""));
    CComponent* head = manager.FindCurrentComponent("c0");
    const std::vector<CComponent*> chain = manager.CollectDependencies(head);
    ASSERT_EQ(size_t(kLength - 1), chain.size());
    EXPECT_EQ("c1", chain.front()->GetName());
    EXPECT_EQ("c2999", chain.back()->GetName());
}

TEST(Dependencies, DependencyListFollowsWhatStillNeedsTheAction)
{
    CComponentManager manager;
    ASSERT_EQ(0, manager.ReadPDF("[App]\nversion=2.0.0\ndepends=Lib,Done\n"
                                 "[Lib]\nversion=1.0.0\ndepends=Core\n"
                                 "[Core]\nversion=1.0.0\n"
                                 "[Done]\nversion=1.0.0\n"
                                 "[User]\nversion=1.0.0\ndepends=Core\n",
                                 "", ""));
    manager.SortHolders();
    manager.FindHolder("Done")->SetInstalledVersion(CVersion("1.0.0"));
    manager.FindHolder("Core")->SetInstalledVersion(CVersion("0.9.0"));
    manager.FindHolder("User")->SetInstalledVersion(CVersion("1.0.0"));
    manager.ResolveDependencies();

    manager.FindCurrentComponent("App")->SetAction(CComponent::ActionInstall);
    EXPECT_EQ(List({"Core@1.0.0", "Lib@1.0.0"}),
              [&] { List l = Names(manager.GetDependencyList(2)); std::sort(l.begin(), l.end()); return l; }());
    // A component already marked is not dragged along again.
    manager.FindCurrentComponent("Lib")->SetAction(CComponent::ActionInstall);
    EXPECT_EQ(List({"Core@1.0.0"}), Names(manager.GetDependencyList(2)));

    manager.ClearAllActions();
    manager.FindCurrentComponent("Core")->SetAction(CComponent::ActionUninstall);
    EXPECT_EQ(List({"User@1.0.0"}), Names(manager.GetDependencyList(3)));   // Lib is not installed
}

TEST(Marks, MarkAllUpgradeCandidatesAndInstallMessages)
{
    CComponentManager manager;
    ASSERT_EQ(0, manager.ReadPDF("[New]\nversion=1.0.0\ninstallmessage=Restart the server\n"
                                 "[Same]\nversion=1.0.0\ninstallmessage=never shown\n"
                                 "[Old]\nversion=2.0.0\n[Old]\nversion=1.0.0\n"
                                 "[Out]\nversion=1.0.0\n",
                                 "", ""));
    manager.FindHolder("Same")->SetInstalledVersion(CVersion("1.0.0"));
    manager.FindHolder("Old")->SetInstalledVersion(CVersion("1.0.0"));
    manager.FindCurrentComponent("Out")->SetIncluded(false);

    CNUVFunctions::Instance()->SetOnline(false);
    EXPECT_EQ(rc::CannotDownloadOffline, manager.MarkAll(CComponent::ActionDownload));
    EXPECT_FALSE(manager.FindHolder("New")->HasAction(1));

    EXPECT_EQ(0, manager.MarkAll(CComponent::ActionInstall));
    EXPECT_EQ(2, manager.FindCurrentComponent("New")->GetAction());
    EXPECT_EQ(0, manager.FindCurrentComponent("Same")->GetAction());
    EXPECT_EQ(2, manager.FindCurrentComponent("Old")->GetAction());
    EXPECT_EQ(3, manager.FindHolder("Old")->FindByVersion(CVersion("1.0.0"))->GetAction());
    EXPECT_EQ(0, manager.FindCurrentComponent("Out")->GetAction());
    EXPECT_EQ("New v.1.0.0\n\tRestart the server\n\n", manager.InstallMessages());

    manager.ClearAllActions();
    EXPECT_EQ("", manager.InstallMessages());
    EXPECT_EQ(3, manager.FindHolder("Old")->FindByVersion(CVersion("1.0.0"))->GetAction());

    CNUVFunctions::Instance()->SetOnline(true);
    EXPECT_EQ(0, manager.MarkAll(CComponent::ActionDownload));
    EXPECT_EQ(1, manager.FindCurrentComponent("Same")->GetAction());
    CNUVFunctions::Instance()->SetOnline(false);

    // installed / downloaded / highest record: candidate?
    const struct { const char* installed; const char* downloaded; bool candidate; } cases[] = {
        {"0.0.0", "0.0.0", true},   {"0.0.0", "2.0.0", true},  {"0.0.0", "3.0.0", false},
        {"1.0.0", "0.0.0", true},   {"2.0.0", "0.0.0", false}, {"2.0.0", "2.0.0", false},
        {"1.0.0", "2.0.0", true},   {"2.0.0", "1.0.0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.installed) + "/" + c.downloaded);
        CComponentHolder* old = manager.FindHolder("Old");
        old->SetInstalledVersion(CVersion(c.installed));
        old->SetDownloadedVersion(CVersion(c.downloaded));
        const std::vector<CComponent*> candidates = manager.UpgradeCandidates();
        const bool found = std::find(candidates.begin(), candidates.end(), old->GetLatest()) != candidates.end();
        EXPECT_EQ(c.candidate, found);
    }
}
