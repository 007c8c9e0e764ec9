#include "core/operations/filesync.h"

#include "core/base/fileutils.h"
#include "core/base/resultcodes.h"
#include "core/base/trace.h"
#include "support/testsupport.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

constexpr const char* kExtraction = "cache/Linux/comp";

class FileSyncTest : public TracedTempDirTest {
protected:
    // Copies with the install list text given; the archive is whatever the test put below
    // cache/Linux/comp.
    int Install(const std::string& list, CFileSync* sync)
    {
        WriteFile(Path("cache/Linux/comp/installer/comp/filelist"), list);
        sync->SetInstallListPath("cache/Linux/comp/installer/comp/filelist");
        return sync->SyncFiles(Path("root"), CFileSync::kInstall);
    }
    int Install(const std::string& list)
    {
        CFileSync sync(kExtraction);
        return Install(list, &sync);
    }
    int Uninstall(const std::string& list, CFileSync* sync)
    {
        WriteFile(Path("root/installer/comp/filelist"), list);
        sync->SetUninstallListPath(Path("root/installer/comp/filelist"));
        return sync->SyncFiles(Path("root"), CFileSync::kUninstall);
    }

    size_t TraceCount(const std::string& message) const
    {
        const std::string text = TraceText();
        const std::string needle = "]:" + message + "\n";
        size_t count = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++count;
        return count;
    }
};

mode_t ModeOf(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::string LinkTargetOf(const std::string& path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, size_t(n));
}

bool HasEntry(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsDir(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST_F(FileSyncTest, InstallCopiesBelowThePrefixKeepingModesAndLinks)
{
    WriteFile(Path("cache/Linux/comp/files/bin/run.sh"), "#!/bin/sh\n");
    WriteFile(Path("cache/Linux/comp/files/etc/conf.txt"), "conf");
    ASSERT_EQ(0, ::chmod(Path("cache/Linux/comp/files/bin/run.sh").c_str(), 0755));
    ASSERT_EQ(0, ::chmod(Path("cache/Linux/comp/files/etc/conf.txt").c_str(), 0444));
    ASSERT_EQ(0, ::mkdir(Path("cache/Linux/comp/files/share").c_str(), 0755));
    ASSERT_EQ(0, ::symlink("run.sh", Path("cache/Linux/comp/files/bin/current").c_str()));

    EXPECT_EQ(rc::Success, Install("FILES=files\r\n"
                                   "files/bin/run.sh\r\n"
                                   "   files/etc/conf.txt   \r\n"
                                   "files/share\r\n"
                                   "files/bin/current\r\n"
                                   "files/bin/run.sh\r\n"
                                   "files\r\n"
                                   "\r\n"));

    EXPECT_EQ("#!/bin/sh\n", ReadFile(Path("root/bin/run.sh")));
    EXPECT_EQ(0755u, ModeOf(Path("root/bin/run.sh")));
    EXPECT_EQ("conf", ReadFile(Path("root/etc/conf.txt")));
    EXPECT_EQ(0644u, ModeOf(Path("root/etc/conf.txt")));
    EXPECT_TRUE(IsDir(Path("root/share")));
    EXPECT_EQ("run.sh", LinkTargetOf(Path("root/bin/current")));
    EXPECT_EQ(1u, TraceCount("File to install: bin/run.sh"));
    EXPECT_EQ(1u, TraceCount("Number of files to install: 4"));
    EXPECT_EQ(1u, TraceCount("CFileSync::ReadInstalledFiles() : "
                             "cache/Linux/comp/installer/comp/filelist"));
    EXPECT_EQ(1u, TraceCount(Path("root") + ", 1"));
}

TEST_F(FileSyncTest, ListsWithoutOrWithSeveralPrefixesFindEveryFile)
{
    WriteFile(Path("cache/Linux/comp/top.txt"), "top");
    WriteFile(Path("cache/Linux/comp/a/one.txt"), "one");
    WriteFile(Path("cache/Linux/comp/b/two.txt"), "two");
    // A list made on a system that ignores case may be stored as "FileList".
    WriteFile(Path("cache/Linux/comp/installer/comp/FileList"),
              "top.txt\nA=a\na/one.txt\nB=b\nb/two.txt\n");
    CFileSync sync(kExtraction);
    sync.SetInstallListPath("cache/Linux/comp/installer/comp/filelist");
    EXPECT_EQ(rc::Success, sync.SyncFiles(Path("root"), CFileSync::kInstall));
    EXPECT_EQ("top", ReadFile(Path("root/top.txt")));
    EXPECT_EQ("one", ReadFile(Path("root/one.txt")));
    EXPECT_EQ("two", ReadFile(Path("root/two.txt")));
}

TEST_F(FileSyncTest, AMissingSourceStopsTheCopyWith55)
{
    WriteFile(Path("cache/Linux/comp/files/a.txt"), "a");
    WriteFile(Path("cache/Linux/comp/files/c.txt"), "c");
    CFileSync sync(kExtraction);
    EXPECT_EQ(rc::CantOpenSource, Install("X=files\nfiles/a.txt\nfiles/b.txt\nfiles/c.txt\n", &sync));
    EXPECT_EQ("cache/Linux/comp/files/b.txt: source file not found", sync.ErrorText());
    EXPECT_EQ("a", ReadFile(Path("root/a.txt")));
    EXPECT_FALSE(Exists(Path("root/c.txt")));
    EXPECT_EQ(1u, TraceCount("cache/Linux/comp/files/b.txt Does Not exists!!!!!"));
    EXPECT_EQ(1u, TraceCount("CFileSync::SyncFiles Error = 55"));
}

TEST_F(FileSyncTest, BadListsAreRefusedBeforeAnythingIsTouched)
{
    struct Case {
        const char* list;
        int install;
        int uninstall;
        const char* errorText;   // after the install attempt
    };
    const Case cases[] = {
        {"P=files\nfiles/a.txt\nother/b.txt\n", rc::ReadingInstallScriptFailed,
         rc::ReadingUninstallScriptFailed, ""},
        {"a.txt\n../escaped.txt\n", rc::ReadingInstallScriptFailed,
         rc::ReadingUninstallScriptFailed, "../escaped.txt: file list entry leaves the installation folder"},
        {"a.txt\nsub/../../escaped.txt\n", rc::ReadingInstallScriptFailed,
         rc::ReadingUninstallScriptFailed,
         "sub/../../escaped.txt: file list entry leaves the installation folder"},
        {"a.txt\n..\\escaped.txt\n", rc::ReadingInstallScriptFailed,
         rc::ReadingUninstallScriptFailed, "..\\escaped.txt: file list entry leaves the installation folder"},
        {"UP=..\n../a.txt\n", rc::ReadingInstallScriptFailed, rc::Success,
         "..: file list prefix leaves the unpacked archive"},
    };
    WriteFile(Path("cache/Linux/comp/a.txt"), "new");
    WriteFile(Path("cache/Linux/a.txt"), "outside the archive");
    WriteFile(Path("escaped.txt"), "keep");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        WriteFile(Path("root/a.txt"), "installed");
        CFileSync installing(kExtraction);
        EXPECT_EQ(c.install, Install(c.list, &installing));
        EXPECT_EQ(c.errorText, installing.ErrorText());
        EXPECT_EQ("installed", ReadFile(Path("root/a.txt")));
        CFileSync removing;
        EXPECT_EQ(c.uninstall, Uninstall(c.list, &removing));
        EXPECT_EQ("keep", ReadFile(Path("escaped.txt")));
    }
    EXPECT_EQ(9u, TraceCount("EXIT <<<CFileSync::SyncFiles (ReadFiles failed)"));
    // "a/../b" stays inside and is used as it is.
    EXPECT_EQ(rc::Success, Install("sub/../a.txt\n"));
    EXPECT_EQ("new", ReadFile(Path("root/a.txt")));
}

TEST_F(FileSyncTest, EmptyListsAndUnknownOperations)
{
    const std::pair<const char*, const char*> uninstallCases[] = {
        {"", "Uninstall File list filename invalid"},
        {"no/such/filelist", "Uninstall File empty"},
    };
    for (const auto& [path, text] : uninstallCases) {
        SCOPED_TRACE(path);
        CFileSync sync;
        sync.SetUninstallListPath(path);
        EXPECT_EQ(rc::Success, sync.SyncFiles(Path("root"), CFileSync::kUninstall));
        EXPECT_EQ(text, sync.ErrorText());
    }
    CFileSync sync(kExtraction);
    EXPECT_EQ(rc::Success, Install("", &sync));
    EXPECT_EQ("", sync.ErrorText());
    EXPECT_EQ(3u, TraceCount("\tEmpty file"));
    EXPECT_EQ(rc::UnknownFileSyncOperation, sync.SyncFiles(Path("root"), 3));
    EXPECT_EQ("Unknown Filesync operatation", sync.ErrorText());
}

TEST_F(FileSyncTest, UninstallRemovesListedFilesAndLinksButNotWhatLinksLeadTo)
{
    WriteFile(Path("outside/lib/x.so"), "not ours");
    WriteFile(Path("root/bin/run.sh"), "run");
    WriteFile(Path("root/etc/conf.txt"), "conf");
    WriteFile(Path("root/etc/local.txt"), "made by the user");
    ASSERT_EQ(0, ::mkdir(Path("root/share").c_str(), 0755));
    ASSERT_EQ(0, ::symlink(Path("outside/lib").c_str(), Path("root/lib").c_str()));

    CFileSync sync;
    EXPECT_EQ(rc::Success, Uninstall("P=files\n"
                                     "files/bin/run.sh\r\n"
                                     "files/lib/x.so\n"
                                     "files/lib\n"
                                     "files/etc/conf.txt\n"
                                     "files/etc/conf.txt\n"
                                     "files/share\n"
                                     "files/never/installed.txt\n",
                                     &sync));
    EXPECT_FALSE(Exists(Path("root/bin/run.sh")));
    EXPECT_FALSE(Exists(Path("root/etc/conf.txt")));
    EXPECT_EQ("made by the user", ReadFile(Path("root/etc/local.txt")));
    EXPECT_FALSE(HasEntry(Path("root/lib")));
    EXPECT_EQ("not ours", ReadFile(Path("outside/lib/x.so")));
    EXPECT_TRUE(IsDir(Path("root/share")));

    // The folders are the business of the empty-folder clean-up that follows.
    EXPECT_EQ(rc::Success, ClearEmptyFolders(Path("root/bin")));
    EXPECT_EQ(rc::Success, ClearEmptyFolders(Path("root/share")));
    EXPECT_FALSE(Exists(Path("root/bin")));
    EXPECT_FALSE(Exists(Path("root/share")));
    EXPECT_TRUE(IsDir(Path("root/etc")));
}

TEST_F(FileSyncTest, InstallNeverWritesThroughALinkTheComponentBringsOutOfTheRoot)
{
    WriteFile(Path("cache/Linux/comp/inner/y.so"), "inner");
    ASSERT_EQ(0, ::mkdir(Path("outside").c_str(), 0755));
    ASSERT_EQ(0, ::mkdir(Path("root").c_str(), 0755));
    ASSERT_EQ(0, ::mkdir(Path("root/real").c_str(), 0755));
    ASSERT_EQ(0, ::symlink("real", Path("root/inner").c_str()));
    // The archive holds the link itself, and below another prefix a file to be written
    // through it; the order of the two entries does not matter.
    ASSERT_EQ(0, ::symlink(Path("outside").c_str(), Path("cache/Linux/comp/lib").c_str()));
    WriteFile(Path("cache/Linux/comp/files/lib/x.so"), "library");

    CFileSync sync(kExtraction);
    EXPECT_EQ(rc::Success, Install("inner/y.so\n", &sync));   // a link within the root is fine
    EXPECT_EQ("inner", ReadFile(Path("root/real/y.so")));
    EXPECT_EQ(rc::CantOpenDestination, Install("lib\nF=files\nfiles/lib/x.so\n", &sync));
    EXPECT_EQ(rc::CantOpenDestination, Install("F=files\nfiles/lib/x.so\nL=\nlib\n", &sync));
    EXPECT_EQ(Path("root/lib/x.so") + ": lies behind a link that leaves the installation folder",
              sync.ErrorText());
    EXPECT_FALSE(Exists(Path("outside/x.so")));

    // A link to a folder outside standing where a file goes is replaced by the file.
    WriteFile(Path("cache/Linux/comp/data"), "data");
    ASSERT_EQ(0, ::symlink(Path("outside").c_str(), Path("root/data").c_str()));
    EXPECT_EQ(rc::Success, Install("data\n", &sync));
    EXPECT_EQ("data", ReadFile(Path("root/data")));
    EXPECT_FALSE(Exists(Path("outside/data")));
}

TEST_F(FileSyncTest, LinksTheAdministratorMadeAreGoneThroughLikeFolders)
{
    WriteFile(Path("cache/Linux/comp/data/x.db"), "data");
    ASSERT_EQ(0, ::mkdir(Path("disk").c_str(), 0755));
    ASSERT_EQ(0, ::mkdir(Path("root").c_str(), 0755));
    ASSERT_EQ(0, ::symlink(Path("disk").c_str(), Path("root/data").c_str()));

    EXPECT_EQ(rc::Success, Install("data/x.db\n"));
    EXPECT_EQ("data", ReadFile(Path("disk/x.db")));
    CFileSync sync;
    EXPECT_EQ(rc::Success, Uninstall("data/x.db\n", &sync));
    EXPECT_FALSE(Exists(Path("disk/x.db")));
    EXPECT_TRUE(IsLink(Path("root/data")));
}

TEST_F(FileSyncTest, CopiedFilesTakeTheSourceModeOverAnOlderFileAndTheUmask)
{
    WriteFile(Path("cache/Linux/comp/tool"), "v1");
    ASSERT_EQ(0, ::chmod(Path("cache/Linux/comp/tool").c_str(), 0755));
    const mode_t saved = ::umask(077);
    EXPECT_EQ(rc::Success, Install("tool\n"));
    EXPECT_EQ(0755u, ModeOf(Path("root/tool")));

    WriteFile(Path("cache/Linux/comp/tool"), "v2");   // the upgrade over the existing file
    ASSERT_EQ(0, ::chmod(Path("cache/Linux/comp/tool").c_str(), 0644));
    EXPECT_EQ(rc::Success, Install("tool\n"));
    ::umask(saved);
    EXPECT_EQ("v2", ReadFile(Path("root/tool")));
    EXPECT_EQ(0644u, ModeOf(Path("root/tool")));
}

// Moving instead of copying must look the same from the root, and must never take a file
// away from a place another entry, the installer folder or a link's target still needs.
TEST_F(FileSyncTest, MovingTakesOnlyFilesNothingElseReads)
{
    const char* kept[] = {"files/linked/via.txt", "files/taken.txt", "files/hard.txt",
                          "installer/comp/own.txt", "files/twice.txt"};
    WriteFile(Path("cache/Linux/comp/files/moved.txt"), "moved");
    WriteFile(Path("cache/Linux/comp/other/via.txt"), "files/linked/via.txt");
    ASSERT_EQ(0, ::symlink("../other", Path("cache/Linux/comp/files/linked").c_str()));
    for (const char* name : {"files/taken.txt", "files/hard.txt", "installer/comp/own.txt",
                             "files/twice.txt"})
        WriteFile(Path(std::string("cache/Linux/comp/") + name), name);
    ASSERT_EQ(0, ::link(Path("cache/Linux/comp/files/hard.txt").c_str(),
                        Path("cache/Linux/comp/hard-too").c_str()));
    WriteFile(Path("root/taken.txt"), "old");
    ASSERT_EQ(0, ::chmod(Path("cache/Linux/comp/files/moved.txt").c_str(), 0444));

    CFileSync sync(kExtraction);
    sync.AllowMoving("cache/Linux/comp/installer/comp");
    EXPECT_EQ(rc::Success, Install("F=files\nfiles/moved.txt\nfiles/linked/via.txt\n"
                                   "files/taken.txt\nfiles/hard.txt\nfiles/twice.txt\n"
                                   "G=\ninstaller/comp/own.txt\nfiles/twice.txt\n", &sync));

    EXPECT_EQ("moved", ReadFile(Path("root/moved.txt")));
    EXPECT_EQ(0644u, ModeOf(Path("root/moved.txt")));
    EXPECT_FALSE(HasEntry(Path("cache/Linux/comp/files/moved.txt")));
    EXPECT_EQ("files/taken.txt", ReadFile(Path("root/taken.txt")));
    for (const char* name : kept) {
        SCOPED_TRACE(name);
        EXPECT_EQ(name, ReadFile(Path(std::string("cache/Linux/comp/") + name)));
    }
    EXPECT_EQ("files/linked/via.txt", ReadFile(Path("root/linked/via.txt")));
    EXPECT_EQ("files/twice.txt", ReadFile(Path("root/files/twice.txt")));
}

}  // namespace
