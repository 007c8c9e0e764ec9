#include "core/base/fileutils.h"

#include "core/base/resultcodes.h"
#include "portability/systemenv.h"
#include "support/testsupport.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;

namespace {

std::string LinkTargetOf(const std::string& path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, size_t(n));
}

bool IsLink(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsDir(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

mode_t ModeOf(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Refuses to remove one file, as a read-only file on a locked-down machine would.
class RefusingEnv : public CSystemEnv {
public:
    explicit RefusingEnv(std::string refused) : m_Refused(std::move(refused)) {}
    bool RemoveFile(const std::string& path) const override
    {
        if (path != m_Refused)
            return CSystemEnv::RemoveFile(path);
        errno = EACCES;
        return false;
    }

private:
    std::string m_Refused;
};

class FileUtilsTest : public TempDirTest {};

TEST_F(FileUtilsTest, DeleteFileTreeRejectsDotsAndAcceptsMissingPaths)
{
    const std::pair<const char*, int> cases[] = {
        {".", rc::InvalidTreeName}, {"..", rc::InvalidTreeName}, {"no/such/tree", rc::Success}};
    for (const auto& [path, code] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(code, DeleteFileTree(path));
    }
}

TEST_F(FileUtilsTest, DeleteFileTreeRemovesHiddenEntriesButNothingBehindLinks)
{
    WriteFile(Path("outside/keep.txt"), "keep");
    WriteFile(Path("tree/.hidden"), "h");
    WriteFile(Path("tree/sub/deep/file.txt"), "f");
    ASSERT_EQ(0, ::symlink(Path("outside").c_str(), Path("tree/sub/link").c_str()));

    ASSERT_EQ(0, ::symlink(Path("outside").c_str(), Path("top-link").c_str()));

    EXPECT_EQ(rc::Success, DeleteFileTree("tree"));
    EXPECT_EQ(rc::Success, DeleteFileTree("top-link/"));
    EXPECT_FALSE(Exists(Path("tree")));
    EXPECT_FALSE(IsLink(Path("top-link")));
    EXPECT_EQ("keep", ReadFile(Path("outside/keep.txt")));
}

TEST_F(FileUtilsTest, DeleteFileTreeStopsAtAFileThatCannotBeRemoved)
{
    WriteFile(Path("tree/1.txt"), "1");
    WriteFile(Path("tree/2.txt"), "2");
    WriteFile(Path("tree/3.txt"), "3");
    auto previous = CSystemEnv::Replace(std::make_unique<RefusingEnv>("tree/2.txt"));
    CaptureOutputModule output;

    const int result = DeleteFileTree("tree");
    CSystemEnv::Replace(std::move(previous));

    EXPECT_EQ(rc::CannotRemoveFile, result);
    EXPECT_EQ("Unable to remove file: tree/2.txt\n", output.m_Text);
    EXPECT_FALSE(Exists(Path("tree/1.txt")));
    EXPECT_TRUE(Exists(Path("tree/2.txt")));
    EXPECT_TRUE(Exists(Path("tree/3.txt")));   // the walk stops at the first failure
}

TEST_F(FileUtilsTest, MakeDirPathCreatesEveryLevel)
{
    WriteFile(Path("blocker"), "a file where a folder should go");
    ASSERT_EQ(0, ::mkdir(Path("existing").c_str(), 0755));
    const struct {
        std::string path;
        int code;
        std::string created;
    } cases[] = {
        {"existing", rc::DirectoryAlreadyExists, "existing"},
        {"\"quoted/with blank\"", rc::Success, "quoted/with blank"},
        {"back\\slashed\\path", rc::Success, "back/slashed/path"},
        {Path("absolute/a/b"), rc::Success, Path("absolute/a/b")},
        {"blocker/below", rc::FailedCreatingDir, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.code, MakeDirPath(c.path));
        if (!c.created.empty()) {
            EXPECT_TRUE(IsDir(c.created));
        }
    }
    EXPECT_FALSE(Exists(Path("\"quoted")));
}

TEST_F(FileUtilsTest, CopyTreePutsAFileIntoAnExistingFolderKeepingItsMode)
{
    WriteFile(Path("src/tool.sh"), "#!/bin/sh\n");
    ASSERT_EQ(0, ::chmod(Path("src/tool.sh").c_str(), 0750));
    ASSERT_EQ(0, ::mkdir(Path("dest").c_str(), 0755));

    EXPECT_EQ(rc::Success, CopyTree("src/tool.sh", "dest"));
    EXPECT_EQ("#!/bin/sh\n", ReadFile(Path("dest/tool.sh")));
    EXPECT_EQ(mode_t(0750), ModeOf(Path("dest/tool.sh")));
}

TEST_F(FileUtilsTest, CopyTreeCopiesALargeFileExactlyOverALongerOne)
{
    std::string content(3 * 65536 + 7, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = char((i * 131) % 251);
    WriteFile(Path("large.bin"), content);
    WriteFile(Path("old.bin"), std::string(content.size() + 1000, 'x'));

    EXPECT_EQ(rc::Success, CopyTree("large.bin", "old.bin"));
    EXPECT_EQ(content, ReadFile(Path("old.bin")));
}

TEST_F(FileUtilsTest, CopyTreeCreatesTheMissingFolderOfADestinationFile)
{
    WriteFile(Path("a.txt"), "content");
    EXPECT_EQ(rc::Success, CopyTree("a.txt", "new/folder/b.txt"));
    EXPECT_EQ("content", ReadFile(Path("new/folder/b.txt")));
}

TEST_F(FileUtilsTest, CopyTreeReportsBadSources)
{
    const std::pair<const char*, int> cases[] = {
        {".", rc::InvalidCopying}, {"sub/..", rc::InvalidCopying}, {"missing.txt", rc::CantOpenSource}};
    for (const auto& [source, code] : cases) {
        SCOPED_TRACE(source);
        EXPECT_EQ(code, CopyTree(source, "dest"));
    }
    EXPECT_FALSE(Exists(Path("dest")));
}

TEST_F(FileUtilsTest, CopyTreeCopiesFoldersAndRecreatesLinks)
{
    WriteFile(Path("outside/secret.txt"), "outside");
    WriteFile(Path("src/bin/run"), "run");
    ASSERT_EQ(0, ::chmod(Path("src/bin/run").c_str(), 0755));
    WriteFile(Path("src/.config"), "hidden");
    ASSERT_EQ(0, ::symlink("bin/run", Path("src/run-link").c_str()));
    ASSERT_EQ(0, ::symlink(Path("outside").c_str(), Path("src/dir-link").c_str()));

    EXPECT_EQ(rc::Success, CopyTree("src", "dest"));
    EXPECT_EQ("run", ReadFile(Path("dest/bin/run")));
    EXPECT_EQ(mode_t(0755), ModeOf(Path("dest/bin/run")));
    EXPECT_EQ("hidden", ReadFile(Path("dest/.config")));
    EXPECT_TRUE(IsLink(Path("dest/run-link")));
    EXPECT_EQ("bin/run", LinkTargetOf(Path("dest/run-link")));
    EXPECT_TRUE(IsLink(Path("dest/dir-link")));
    EXPECT_EQ(Path("outside"), LinkTargetOf(Path("dest/dir-link")));
}

TEST_F(FileUtilsTest, CopyTreeReplacesLinksInTheDestinationInsteadOfWritingThroughThem)
{
    WriteFile(Path("outside/victim.txt"), "untouched");
    WriteFile(Path("src/victim.txt"), "new");
    ASSERT_EQ(0, ::mkdir(Path("dest").c_str(), 0755));
    ASSERT_EQ(0, ::symlink(Path("outside/victim.txt").c_str(), Path("dest/victim.txt").c_str()));
    WriteFile(Path("dest/plain"), "a file where the source has a folder");
    WriteFile(Path("src/plain/inner.txt"), "inner");
    // Links to a folder where the source has a folder and where it has a file.
    WriteFile(Path("src/sub/inner.txt"), "sub");
    WriteFile(Path("src/file"), "file");
    ASSERT_EQ(0, ::symlink(Path("outside").c_str(), Path("dest/sub").c_str()));
    ASSERT_EQ(0, ::symlink(Path("outside").c_str(), Path("dest/file").c_str()));

    EXPECT_EQ(rc::Success, CopyTree("src", "dest"));
    EXPECT_FALSE(IsLink(Path("dest/victim.txt")));
    EXPECT_EQ("new", ReadFile(Path("dest/victim.txt")));
    EXPECT_EQ("untouched", ReadFile(Path("outside/victim.txt")));
    EXPECT_EQ("inner", ReadFile(Path("dest/plain/inner.txt")));
    EXPECT_FALSE(IsLink(Path("dest/sub")));
    EXPECT_EQ("sub", ReadFile(Path("dest/sub/inner.txt")));
    EXPECT_EQ("file", ReadFile(Path("dest/file")));
    EXPECT_FALSE(Exists(Path("outside/inner.txt")));
    EXPECT_FALSE(Exists(Path("outside/file")));
}

TEST_F(FileUtilsTest, CopyTreeOntoItselfLeavesTheFilesAlone)
{
    WriteFile(Path("a/x.txt"), "content");
    EXPECT_EQ(rc::Success, CopyTree("a/x.txt", "a"));   // into the folder that holds it
    EXPECT_EQ(rc::Success, CopyTree("a", "a"));
    EXPECT_EQ("content", ReadFile(Path("a/x.txt")));
}

TEST_F(FileUtilsTest, CopyTreeIntoItsOwnSubFolderEnds)
{
    WriteFile(Path("src/file.txt"), "x");
    EXPECT_EQ(rc::Success, CopyTree("src", "src/copy"));
    EXPECT_EQ("x", ReadFile(Path("src/copy/file.txt")));
    EXPECT_FALSE(Exists(Path("src/copy/copy")));
}

TEST_F(FileUtilsTest, ClearEmptyFoldersRemovesEmptyBranchesBottomUp)
{
    ASSERT_EQ(rc::Success, MakeDirPath("all/a/b/c"));
    ASSERT_EQ(rc::Success, MakeDirPath("all/d"));
    EXPECT_EQ(rc::Success, ClearEmptyFolders("all"));
    EXPECT_FALSE(Exists(Path("all")));

    ASSERT_EQ(rc::Success, MakeDirPath("some/empty/er"));
    WriteFile(Path("some/keep/file.txt"), "f");
    EXPECT_EQ(rc::Success, ClearEmptyFolders("some"));
    EXPECT_FALSE(Exists(Path("some/empty")));
    EXPECT_TRUE(Exists(Path("some/keep/file.txt")));
}

TEST_F(FileUtilsTest, ClearEmptyFoldersNeverWalksThroughALink)
{
    ASSERT_EQ(rc::Success, MakeDirPath("outside/empty"));
    ASSERT_EQ(rc::Success, MakeDirPath("root/empty"));
    ASSERT_EQ(0, ::symlink(Path("outside").c_str(), Path("root/link").c_str()));

    EXPECT_EQ(rc::Success, ClearEmptyFolders("root"));
    EXPECT_TRUE(Exists(Path("outside/empty")));
    EXPECT_FALSE(Exists(Path("root/empty")));
    EXPECT_TRUE(IsLink(Path("root/link")));
}

TEST_F(FileUtilsTest, ClearEmptyFoldersFollowsAStartFolderThatIsALink)
{
    // A platform root on another disk: the root itself is the link.
    ASSERT_EQ(rc::Success, MakeDirPath("disk/installer/comp"));
    ASSERT_EQ(0, ::symlink(Path("disk").c_str(), Path("root").c_str()));
    ASSERT_EQ(0, ::symlink(Path("missing").c_str(), Path("dangling").c_str()));

    EXPECT_EQ(rc::Success, ClearEmptyFolders("root"));
    EXPECT_FALSE(Exists(Path("disk/installer")));
    EXPECT_TRUE(IsLink(Path("root")));
    EXPECT_EQ(rc::PathInvalid, ClearEmptyFolders("dangling"));
}

TEST_F(FileUtilsTest, ClearEmptyFoldersNeedsAFolder)
{
    WriteFile(Path("file.txt"), "f");
    EXPECT_EQ(rc::PathInvalid, ClearEmptyFolders("missing"));
    EXPECT_EQ(rc::PathInvalid, ClearEmptyFolders("file.txt"));
}

TEST_F(FileUtilsTest, CreateLinkReplacesAnExistingEntry)
{
    WriteFile(Path("lib/libx.so"), "old copy");
    EXPECT_EQ(rc::Success, CreateLink("lib", "libx.so.2", "libx.so"));
    EXPECT_EQ("libx.so.2", LinkTargetOf(Path("lib/libx.so")));
    EXPECT_EQ(rc::Success, CreateLink("new/lib", "../target", "l"));
    EXPECT_EQ("../target", LinkTargetOf(Path("new/lib/l")));
}

class MenuEntryTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        const char* previous = std::getenv("XDG_DATA_DIRS");
        m_HadPrevious = previous != nullptr;
        m_Previous = previous ? previous : "";
        ::setenv("XDG_DATA_DIRS", (Path("share1") + ":" + Path("share2")).c_str(), 1);
    }
    void TearDown() override
    {
        if (m_HadPrevious)
            ::setenv("XDG_DATA_DIRS", m_Previous.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_DIRS");
        TempDirTest::TearDown();
    }
    std::string Entry(const std::string& name) { return Path("share1/applications/" + name); }

    bool m_HadPrevious = false;
    std::string m_Previous;
};

TEST_F(MenuEntryTest, CreatesAnEntryInASubFolderOfTheFirstDataFolder)
{
    EXPECT_TRUE(CreateStartMenuShortcut("Tessom/Tools/Admin Console", "/opt/tessom/r5/bin/admin tool"));
    EXPECT_EQ("[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Admin Console\n"
              "Exec=\"/opt/tessom/r5/bin/admin tool\"\n"
              "Path=/opt/tessom/r5/bin\n",
              ReadFile(Entry("Tessom/Tools/Admin Console.desktop")));
    EXPECT_FALSE(Exists(Path("share2")));
}

TEST_F(MenuEntryTest, EscapesReservedCharactersOfTheExecLine)
{
    EXPECT_TRUE(CreateStartMenuShortcut("Tessom\\Odd", "/opt/a$b/100%\"q\""));
    EXPECT_EQ("[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Odd\n"
              "Exec=\"/opt/a\\\\$b/100%%\\\\\"q\\\\\"\"\n"
              "Path=/opt/a$b\n",
              ReadFile(Entry("Tessom/Odd.desktop")));
}

TEST_F(MenuEntryTest, DeletesTheEntryAndItsEmptyFolder)
{
    ASSERT_TRUE(CreateStartMenuShortcut("Tessom/Tools/Admin", "/opt/admin"));
    int error = -1;
    EXPECT_TRUE(DeleteStartMenuShortcut("Tessom/Tools/Admin.desktop", &error));
    EXPECT_EQ(0, error);
    EXPECT_FALSE(Exists(Entry("Tessom/Tools")));
    EXPECT_TRUE(Exists(Entry("Tessom")));
    EXPECT_TRUE(Exists(Path("share1/applications")));

    const char* missing[] = {"Tessom/Tools/Admin.desktop", "Nowhere/Gone.desktop"};
    for (const char* name : missing) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(DeleteStartMenuShortcut(name, &error));
        EXPECT_EQ(ENOENT, error);
    }
}

TEST_F(MenuEntryTest, ReportsAnEntryThatCannotBeDeleted)
{
    ASSERT_EQ(rc::Success, MakeDirPath(Entry("Busy.desktop/inside")));
    int error = 0;
    EXPECT_FALSE(DeleteStartMenuShortcut("Busy.desktop", &error));
    EXPECT_EQ(EISDIR, error);
}

// The test starts its own probe program under a name no other process has.
TEST_F(FileUtilsTest, IsProcessRunningFindsAStartedChildByName)
{
    const std::string name = "vrm" + std::to_string(::getpid());
    const std::string program = Path(name);
    WriteFile(program, ReadFile("/bin/sleep"));
    ASSERT_EQ(0, ::chmod(program.c_str(), 0755));
    EXPECT_FALSE(IsProcessRunning(name));

    pid_t pid = 0;
    char arg0[] = "probe";
    char arg1[] = "60";
    char* argv[] = {arg0, arg1, nullptr};
    ASSERT_EQ(0, ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ));
    EXPECT_TRUE(IsProcessRunning(name));
    EXPECT_TRUE(IsProcessRunning(name + ".exe"));
    EXPECT_FALSE(IsProcessRunning(name.substr(0, name.size() - 1)));
    EXPECT_FALSE(IsProcessRunning(name + "x"));

    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
    EXPECT_FALSE(IsProcessRunning(name));
}

TEST_F(FileUtilsTest, FindPathIgnoringCaseTakesExactNamesFirstAndOnlyOneOtherMatch)
{
    WriteFile(Path("Installer/Comp/Comp_install.scr"), "s");
    WriteFile(Path("Installer/Comp/filelist"), "exact");
    WriteFile(Path("Installer/Comp/FileList"), "other case");
    WriteFile(Path("Installer/Comp/R5Install"), "a");
    WriteFile(Path("Installer/Comp/r5INSTALL"), "b");
    const std::pair<std::string, std::string> cases[] = {
        {"installer/comp/comp_INSTALL.scr", "Installer/Comp/Comp_install.scr"},
        {"Installer/Comp/filelist", "Installer/Comp/filelist"},
        {"installer/comp/FileList", "Installer/Comp/FileList"},
        {"installer/comp/r5install", ""},   // two candidates: neither is taken
        {"installer/missing/filelist", ""},
        {Path("INSTALLER/comp/Filelist"), ""},   // "filelist" and "FileList" both match
        {Path("INSTALLER/comp/comp_install.scr"), Path("Installer/Comp/Comp_install.scr")},
        {"", ""},
    };
    for (const auto& [given, found] : cases) {
        SCOPED_TRACE(given);
        EXPECT_EQ(found, FindPathIgnoringCase(given));
    }
}

}  // namespace
