#include "core/catalogue/cache.h"

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/base/resultcodes.h"
#include "support/testsupport.h"

#include <QDir>

using testsupport::Exists;
using testsupport::WriteFile;

namespace {

class CacheTest : public testsupport::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        CCacheList::destroy();
    }
    void TearDown() override
    {
        CCacheList::destroy();
        TempDirTest::TearDown();
    }
};

std::vector<std::string> Describe(const std::vector<CacheEntry>& entries)
{
    std::vector<std::string> lines;
    for (const CacheEntry& entry : entries) {
        std::string line = entry.folder + entry.fileName + ":";
        for (const std::string& package : entry.packages)
            line += " " + package;
        lines.push_back(line);
    }
    return lines;
}

using List = std::vector<std::string>;

}  // namespace

TEST_F(CacheTest, CreateCacheFoldersReportsTheFirstFolderThatFails)
{
    EXPECT_EQ(0, CreateCacheFolders(Path()));
    EXPECT_EQ(0, CreateCacheFolders(Path()));   // all four there already
    for (const char* folder : {"cache", "cache/Windows", "cache/Linux", "cache/Solaris"})
        EXPECT_TRUE(QDir(QString::fromStdString(Path(folder))).exists()) << folder;

    // A file where a folder belongs cannot be replaced by the folder.
    const struct { const char* blocker; int code; } cases[] = {
        {"cache", rc::CacheDirCreateFailed},
        {"cache/Windows", rc::CacheWindowsDirCreateFailed},
        {"cache/Linux", rc::CacheLinuxDirCreateFailed},
        {"cache/Solaris", rc::CacheSolarisDirCreateFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocker);
        const std::string root = Path(std::string("r_") + std::to_string(c.code));
        WriteFile(root + "/" + c.blocker, "not a folder");
        EXPECT_EQ(c.code, CreateCacheFolders(root));
    }
}

TEST_F(CacheTest, EntriesAreAttachedToThePackagesThatNameThem)
{
    WriteFile("cache/shared.pdf", "");
    WriteFile("cache/Linux/b.tgz", "");
    WriteFile("cache/Linux/a.tgz", "");
    WriteFile("cache/Linux/shared.pdf", "");   // same name in a later folder
    WriteFile("cache/Windows/orphan.zip", "");
    QDir().mkpath("cache/Linux/Tools");          // extraction folders are no entries
    WriteFile("packages/one/packages.dat",
              "[A]\ndownloadedpackage=a.tgz\n[S]\ndownloadedpackage=shared.pdf\n"
              "[X]\ndownloadedpackage=missing.tgz\n");
    WriteFile("packages/two/packages.dat", "[A]\nDOWNLOADEDPACKAGE=b.tgz\nx downloadedpackage=a.tgz\n");
    WriteFile("packages/three/package.dat", "no state file here");
    WriteFile("packages/InstallDir.nuv", "/opt");

    CCacheList* list = CCacheList::instance();
    EXPECT_EQ(List({"cache/shared.pdf: one", "cache/Windows/orphan.zip:", "cache/Linux/a.tgz: one two",
                    "cache/Linux/b.tgz:", "cache/Linux/shared.pdf:"}),
              Describe(list->GetEntries()));
    EXPECT_EQ(List({"cache/shared.pdf: one", "cache/Linux/a.tgz: one two"}), Describe(list->GetAttached()));
    EXPECT_EQ(3u, list->GetUnattached().size());

    list->AddCacheEntry("b.tgz", "three", "cache/Linux/");
    list->AddCacheEntry("new.tgz", "", "cache/Linux/");
    list->AddCacheEntry("a.tgz", "", "cache/Linux/");
    EXPECT_EQ(List({"cache/shared.pdf: one", "cache/Windows/orphan.zip:", "cache/Linux/a.tgz: one two",
                    "cache/Linux/b.tgz: three", "cache/Linux/shared.pdf:", "cache/Linux/new.tgz:"}),
              Describe(list->GetEntries()));
}

TEST_F(CacheTest, BulkDeletionsRemoveUnattachedFirstAndAllOnRequest)
{
    WriteFile("cache/Linux/kept.tgz", "");
    WriteFile("cache/Linux/loose.tgz", "");
    WriteFile("cache/Solaris/stray.zip", "");
    WriteFile("packages/p/packages.dat", "downloadedpackage=kept.tgz\n");
    // Unfinished downloads are no entries, even named after an attached archive; the
    // clean-ups remove them.
    WriteFile("cache/Linux/kept.tgz.part", "half");
    WriteFile("cache/half.zip.part", "half");
    CCacheList* list = CCacheList::instance();
    EXPECT_EQ(0, list->DeleteUnattachedCacheFiles());
    EXPECT_EQ(3u, list->GetEntries().size());   // the list waits for a refresh
    list->RefreshCacheList();
    EXPECT_EQ(List({"cache/Linux/kept.tgz: p"}), Describe(list->GetEntries()));
    EXPECT_FALSE(Exists("cache/Linux/loose.tgz"));
    EXPECT_FALSE(Exists("cache/Solaris/stray.zip"));
    EXPECT_FALSE(Exists("cache/Linux/kept.tgz.part"));
    EXPECT_FALSE(Exists("cache/half.zip.part"));

    list->AddCacheEntry("never-there.zip", "", "cache/");
    EXPECT_EQ(0, list->DeleteAllCacheFiles());
    list->RefreshCacheList();
    EXPECT_TRUE(list->GetEntries().empty());
    EXPECT_TRUE(Exists("packages/p/packages.dat"));
}

TEST_F(CacheTest, IsInCacheAndVerifyDownloaded)
{
    CDistribution dist("Main");
    dist.SetPlatform(2);
    CComponentManager* manager = dist.GetComponentManager();
    ASSERT_EQ(0, manager->ReadPDF("[Gone]\nversion=1.0.0\n[Gone]\nversion=2.0.0\n"
                                  "[Found]\nversion=1.0.0\n[Found]\nversion=3.0.0\n"
                                  "[Named]\npackage=named_pkg\nversion=1.0.0\n"
                                  "[Dir]\nversion=1.0.0\n",
                                  "", ".zip"));
    manager->SortHolders();
    WriteFile("cache/Linux/Found-3.0.0.zip", "");
    WriteFile("cache/Linux/named_pkg.zip", "");
    WriteFile("cache/Gone-2.0.0.zip", "");   // wrong platform folder
    QDir().mkpath("cache/Linux/Dir-1.0.0.zip");
    CComponentHolder* gone = manager->FindHolder("Gone");
    CComponentHolder* found = manager->FindHolder("Found");
    gone->SetDownloadedVersion(CVersion("2.0.0"));
    found->SetDownloadedVersion(CVersion("1.0.0"));   // has a record; its archive is gone
    manager->VerifyDownloaded();
    EXPECT_EQ(CVersion("0.0.0.0"), gone->GetDownloadedVersion());
    EXPECT_EQ(CVersion("0.0.0.0"), found->GetDownloadedVersion());
    manager->VerifyDownloaded();   // no record of 0.0.0.0: the current one is looked for
    EXPECT_EQ(CVersion("3.0.0"), found->GetDownloadedVersion());
    EXPECT_EQ(CVersion("1.0.0"), manager->FindHolder("Named")->GetDownloadedVersion());
    EXPECT_TRUE(manager->FindHolder("Dir")->GetDownloadedVersion().IsZero());

    // A hit stores the derived name; without update the holder is left alone.
    CComponent* current = manager->FindCurrentComponent("Found");
    EXPECT_EQ("Found-3.0.0.zip", current->GetPackage());
    found->SetDownloadedVersion(CVersion());
    EXPECT_TRUE(current->IsInCache(false));
    EXPECT_EQ(CVersion(), found->GetDownloadedVersion());
}
