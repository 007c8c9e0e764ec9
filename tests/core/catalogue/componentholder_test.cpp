#include "core/catalogue/componentholder.h"

#include "core/base/resultcodes.h"

#include <gtest/gtest.h>

namespace {

CComponent Record(const std::string& name, const std::string& version)
{
    CComponent record;
    record.SetName(name);
    record.SetVersion(version);
    return record;
}

// A holder of "tool" with the given versions in this order.
void Fill(CComponentHolder* holder, std::initializer_list<const char*> versions)
{
    for (const char* version : versions)
        holder->AddComponent(Record(holder->GetName(), version));
}

}  // namespace

TEST(Component, TextSettersRefuseAndKeepTheField)
{
    CComponent record;
    record.SetName("keep");
    record.SetPackage("keep");
    record.SetGroup("keep");
    const struct { const char* what; int (CComponent::*set)(std::string_view); int code; } cases[] = {
        {"name", &CComponent::SetName, rc::ComponentNameInvalid},
        {"package", &CComponent::SetPackage, rc::InvalidComponentFileName},
        {"version", &CComponent::SetVersion, rc::InvalidVersion},
        {"group", &CComponent::SetGroup, rc::InvalidGroup},
        {"description", &CComponent::SetDescription, rc::InvalidDescription},
        {"releasenotes", &CComponent::SetReleaseNotes, rc::InvalidReleaseNotes},
        {"depends", &CComponent::SetDepends, rc::InvalidDepends},
        {"needsetup", &CComponent::SetNeedSetup, rc::InvalidNeedsSetup},
        {"needstartservice", &CComponent::SetNeedStartService, rc::InvalidNeedsSetup},
        {"serverpath", &CComponent::SetServerPath, rc::InvalidPathFromServerRoot},
        {"extention", &CComponent::SetExtention, rc::InvalidExtension},
        {"installmessage", &CComponent::SetInstallMessage, rc::Success},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.code, (record.*c.set)(""));
    }
    EXPECT_EQ("keep", record.GetName());
    EXPECT_EQ("keep", record.GetPackage());
    EXPECT_EQ(".zip", record.GetExtention());
}

TEST(Component, BooleanTextsAcceptFourSpellings)
{
    const struct { const char* text; int code; bool value; } cases[] = {
        {"yes", 0, true}, {"YES", 0, true}, {"no", 0, false}, {"NO", 0, false},
        {"Yes", rc::UnknownBoolString, true}, {"True", rc::UnknownBoolString, true},
        {"1", rc::UnknownBoolString, true}, {" yes", rc::UnknownBoolString, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CComponent record;
        record.SetNeedSetup(true);
        EXPECT_EQ(c.code, record.SetNeedSetup(std::string(c.text)));
        EXPECT_EQ(c.value, record.NeedSetup());
    }
}

TEST(Component, CopyLeavesTheLastErrorBehind)
{
    CComponent dependency = Record("lib", "1.0.0");
    CComponent original = Record("app", "2.0.0");
    original.SetLastError("Extract failed");
    original.SetInstallMessage("restart");
    original.StoreAction(CComponent::ActionDownload);
    ASSERT_EQ(0, original.AddDependency(&dependency));
    const CComponent copy(original);
    EXPECT_EQ("", copy.GetLastError());
    EXPECT_EQ("app", copy.GetName());
    EXPECT_EQ("restart", copy.GetInstallMessage());
    EXPECT_EQ(CComponent::ActionDownload, copy.GetAction());
    ASSERT_EQ(1u, copy.GetDependencies().size());
    EXPECT_EQ(&dependency, copy.GetDependencies()[0]);
    CComponent assigned = Record("x", "1.0.0");
    assigned.SetLastError("old");
    assigned = original;
    EXPECT_EQ("", assigned.GetLastError());
    EXPECT_EQ("Extract failed", original.GetLastError());

    EXPECT_EQ(rc::CantDependOnSelf, original.AddDependant(&assigned));
    EXPECT_EQ(rc::NullPointer, original.AddDependant(nullptr));
}

TEST(Component, ArchiveNames)
{
    const struct { const char* package; const char* extention; const char* name; } cases[] = {
        {"", ".zip", "tools-1.2.3.zip"},
        {"tools_v1.zip", ".zip", "tools_v1.zip"},
        {"tools_v1", ".zip", "tools_v1.zip"},
        {"pkg.zip.old", ".zip", "pkg.zip.old"},   // the extension anywhere counts
        {"pkg.ZIP", ".zip", "pkg.ZIP.zip"},
        {"pkg", ".tgz", "pkg.tgz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.package);
        CComponent record = Record("tools", "1.2.3");
        record.SetPackage(c.package);
        record.SetExtention(c.extention);
        record.SetPlatform(1);
        EXPECT_EQ(c.name, record.ArchiveName());
        EXPECT_EQ(std::string("cache/Windows/") + c.name, record.ArchivePath());
    }
}

TEST(ComponentHolder, InstallMarkFollowsCapAndInstalledVersion)
{
    CComponentHolder holder("tool");
    Fill(&holder, {"1.0.0", "2.0.0", "3.0.0"});
    CComponent* v1 = holder.GetByIndex(0);
    CComponent* v2 = holder.GetByIndex(1);
    CComponent* v3 = holder.GetByIndex(2);

    // Nothing installed: only the chosen version is marked.
    v1->StoreAction(CComponent::ActionDelete);
    EXPECT_EQ(0, v2->SetAction(CComponent::ActionInstall));
    EXPECT_EQ(0, v1->GetAction());
    EXPECT_EQ(2, v2->GetAction());

    // Installed 3.0.0, installing 2.0.0: 3.0.0 is marked for uninstall.
    holder.SetInstalledVersion(CVersion("3.0.0"));
    EXPECT_EQ(0, v2->SetAction(CComponent::ActionInstall));
    EXPECT_EQ(2, v2->GetAction());
    EXPECT_EQ(3, v3->GetAction());

    // Installing what is installed leaves no mark anywhere.
    EXPECT_EQ(0, v3->SetAction(CComponent::ActionInstall));
    EXPECT_FALSE(holder.HasAction(2));
    EXPECT_FALSE(holder.HasAction(3));

    // Above the cap: 110 and no mark on the component.
    holder.SetCappedVersion(CVersion("2.0.0"));
    v1->StoreAction(CComponent::ActionDownload);
    EXPECT_EQ(rc::CapBelowInstallVersion, v3->SetAction(CComponent::ActionInstall));
    for (int i = 0; i < holder.Count(); ++i)
        EXPECT_EQ(0, holder.GetByIndex(i)->GetAction()) << i;

    // Other marks are stored as they are.
    EXPECT_EQ(0, v3->SetAction(CComponent::ActionDelete));
    EXPECT_EQ(4, v3->GetAction());
}

TEST(ComponentHolder, ReplaceInstalled)
{
    CComponentHolder holder("tool");
    Fill(&holder, {"1.0.0", "2.0.0"});
    EXPECT_EQ(rc::InstalledComponentNotFound, holder.ReplaceInstalled(CVersion("1.0.0")));

    holder.SetInstalledVersion(CVersion("2.0.0"));
    EXPECT_EQ(rc::ReplacementNotFound, holder.ReplaceInstalled(CVersion("0.9.0")));
    EXPECT_FALSE(holder.HasAction(3));

    EXPECT_EQ(0, holder.ReplaceInstalled(CVersion("1.0.0")));
    EXPECT_EQ(2, holder.GetByIndex(0)->GetAction());
    EXPECT_EQ(3, holder.GetByIndex(1)->GetAction());

    holder.SetCappedVersion(CVersion("1.0.0"));
    holder.SetInstalledVersion(CVersion("1.0.0"));
    EXPECT_EQ(rc::CapBelowInstallVersion, holder.ReplaceInstalled(CVersion("2.0.0")));
    EXPECT_FALSE(holder.HasAction(2));
}

TEST(ComponentHolder, SortingCurrentAndLatest)
{
    CComponentHolder holder("tool");
    Fill(&holder, {"2.0.0", "1.0.0b1", "1.0.0", "2.0.0.0", "1.0.0p1"});
    CComponent* first = holder.GetByIndex(0);
    EXPECT_EQ(first, holder.GetLatest());
    EXPECT_EQ(first, holder.GetCurrent());   // current before any sort
    holder.SortVersions();
    const char* sorted[] = {"1.0.0B1", "1.0.0", "1.0.0P1", "2.0.0", "2.0.0.0"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sorted[i], holder.GetByIndex(i)->GetVersion().ToString()) << i;
    EXPECT_EQ(first, holder.GetByIndex(3));   // records keep their addresses
    EXPECT_EQ(CVersion("2.0.0.0"), holder.GetMaxVersion());
    // 2.0.0 and 2.0.0.0 are unordered: the first met of the highest stays current
    EXPECT_EQ(first, holder.GetCurrent());

    holder.SetCappedVersion(CVersion("1.0.0"));
    EXPECT_EQ(holder.GetByIndex(1), holder.GetCurrent());
    EXPECT_EQ(CVersion("1.0.0"), holder.GetEffectiveVersion());
    holder.SetCappedVersion(CVersion("9.9.9"));
    EXPECT_EQ(nullptr, holder.GetCurrent());
    holder.ClearCap();
    EXPECT_FALSE(holder.IsCapped());
    EXPECT_EQ(CVersion("2.0.0.0"), holder.GetEffectiveVersion());
}

TEST(ComponentHolder, CapAtCurrent)
{
    const struct { const char* installed; const char* downloaded; const char* cap; } cases[] = {
        {"0.0.0", "0.0.0", "3.0.0"},
        {"0.0.0", "2.0.0", "2.0.0"},
        {"1.0.0", "0.0.0.0", "1.0.0"},
        {"1.0.0", "2.0.0", "2.0.0"},
        {"2.0.0", "1.0.0", "2.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.installed) + " " + c.downloaded);
        CComponentHolder holder("tool");
        Fill(&holder, {"1.0.0", "3.0.0", "2.0.0"});
        holder.SetInstalledVersion(CVersion(c.installed));
        holder.SetDownloadedVersion(CVersion(c.downloaded));
        holder.CapAtCurrent();
        EXPECT_EQ(CVersion(c.cap), holder.GetCappedVersion());
    }
}

TEST(ComponentHolder, DuplicatesAndLowestInstalled)
{
    CComponentHolder single("one");
    Fill(&single, {"1.0.0"});
    EXPECT_FALSE(single.HasDuplicateVersions());
    EXPECT_FALSE(single.IsLowestInstalled());
    single.SetInstalledVersion(CVersion("1.0.0"));
    EXPECT_TRUE(single.IsLowestInstalled());

    CComponentHolder holder("many");
    Fill(&holder, {"2.0.0", "1.0.0", "1.0.0", "2.0.0", "2.0.0", "1.0.0.0"});
    const std::vector<CVersion> duplicates = holder.DuplicateVersions();
    ASSERT_EQ(2u, duplicates.size());
    EXPECT_EQ(CVersion("2.0.0"), duplicates[0]);
    EXPECT_EQ(CVersion("1.0.0"), duplicates[1]);

    EXPECT_EQ(rc::InvalidVersion, holder.SetInstalledVersion(std::string()));
    EXPECT_EQ(0, holder.SetInstalledVersion(std::string("1.0.0")));
    EXPECT_TRUE(holder.IsLowestInstalled());
}
