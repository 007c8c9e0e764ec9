#include "core/base/filewriter.h"

#include "support/testsupport.h"

#include <QDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace testsupport;

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class FileWriterTest : public TempDirTest {
protected:
    // Everything in the folder: a failed write must leave no temporary file behind.
    QStringList Entries(const std::string& folder = std::string()) const
    {
        return QDir(QString::fromStdString(Path(folder)))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(FileWriterTest, WritesAndReplacesContent)
{
    const std::string content("line one\nbinary \0 byte\n", 23);
    ASSERT_TRUE(WriteFileAtomically("state.dat", content));
    EXPECT_EQ(content, ReadFile(Path("state.dat")));
    ASSERT_TRUE(WriteFileAtomically("state.dat", "short"));
    EXPECT_EQ("short", ReadFile(Path("state.dat")));
    EXPECT_EQ(QStringList{"state.dat"}, Entries());
}

TEST_F(FileWriterTest, ChoosesThePermissionBits)
{
    ASSERT_TRUE(WriteFileAtomically("new.txt", "x"));
    EXPECT_EQ(mode_t(0644), ModeOf(Path("new.txt")));

    WriteFile(Path("tool.sh"), "old");
    ASSERT_EQ(0, ::chmod(Path("tool.sh").c_str(), 0750));
    ASSERT_TRUE(WriteFileAtomically("tool.sh", "new"));
    EXPECT_EQ(mode_t(0750), ModeOf(Path("tool.sh")));

    ASSERT_TRUE(WriteFileAtomically("tool.sh", "secret", 0600));
    EXPECT_EQ(mode_t(0600), ModeOf(Path("tool.sh")));
}

TEST_F(FileWriterTest, FailuresLeaveTheOldStateAndNoTemporaryFile)
{
    EXPECT_FALSE(WriteFileAtomically("missing/file.txt", "x"));
    EXPECT_TRUE(Entries().isEmpty());

    WriteFile(Path("folder/inside.txt"), "kept");
    EXPECT_FALSE(WriteFileAtomically("folder", "x"));
    EXPECT_EQ("kept", ReadFile(Path("folder/inside.txt")));
    EXPECT_EQ(QStringList{"folder"}, Entries());
}

// A write that fails half-way, as on a full disk: the file size limit stops it.
TEST_F(FileWriterTest, AWriteFailingHalfWayKeepsTheOldFile)
{
    WriteFile(Path("packages.dat"), "old content");
    struct rlimit previous;
    ASSERT_EQ(0, ::getrlimit(RLIMIT_FSIZE, &previous));
    struct rlimit limited = previous;
    limited.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, ::setrlimit(RLIMIT_FSIZE, &limited));

    const bool written = WriteFileAtomically("packages.dat", std::string(100000, 'n'));

    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ("old content", ReadFile(Path("packages.dat")));
    EXPECT_EQ(QStringList{"packages.dat"}, Entries());
}

}  // namespace
