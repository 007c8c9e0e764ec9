#include "core/base/filewriter.h"

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/catalogue/packagetemplate.h"
#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "core/server/connectiondetails.h"
#include "portability/systemenv.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Re-saving what a file holds already would cost two syncs and change nothing.
TEST_F(FileWriterTest, LeavesAFileThatHoldsTheContentAlone)
{
    const auto inode = [this] {
        struct stat st;
        return ::stat(Path("same.dat").c_str(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    ASSERT_TRUE(WriteFileAtomically("same.dat", "content"));
    const ino_t first = inode();
    ASSERT_TRUE(WriteFileAtomically("same.dat", "content"));
    EXPECT_EQ(first, inode());
    ASSERT_TRUE(WriteFileAtomically("same.dat", "content", 0600));   // other bits: replaced
    EXPECT_NE(first, inode());
    EXPECT_EQ(mode_t(0600), ModeOf(Path("same.dat")));
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

/// Records, for every sync, the name the descriptor's file has at that moment.
class SyncRecorder : public CSystemEnv {
public:
    explicit SyncRecorder(std::vector<std::string>* synced) : m_Synced(synced) {}
    bool SyncFile(int fd) const override
    {
        char name[4096] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = ::readlink(link.c_str(), name, sizeof name - 1);
        m_Synced->push_back(length > 0 ? std::string(name, size_t(length)) : std::string());
        return CSystemEnv::SyncFile(fd);
    }

private:
    std::vector<std::string>* m_Synced;
};

// A writer that renames before its content reached the disk leaves an empty file after a
// power cut: every writer of the tool's own files must sync the new file while it still has
// its temporary name.
TEST_F(FileWriterTest, EveryStateWriterSyncsTheNewFileBeforeTheRename)
{
    CDistributionList::destroy();
    CDistributionList* list = CDistributionList::instance();
    list->addDistributions("[Main]\npackagetype=tgz\nplatform=linux\n", "", true);
    CDistribution* dist = list->getCurrentDistribution();
    ASSERT_NE(nullptr, dist);
    dist->SetAlias("pkg");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("root"))));
    ASSERT_EQ(0, dist->setTessomRoot(Path("root")));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("packages/pkg"))));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("PTF"))));
    CConnectionDetails details;

    std::vector<std::string> synced;
    std::unique_ptr<CSystemEnv> previous =
        CSystemEnv::Replace(std::make_unique<SyncRecorder>(&synced));
    const std::pair<const char*, std::function<bool()>> cases[] = {
        {"NUV_GUIOptions.opt", [] { return CNUVOptions::Instance()->Write(); }},
        {"packages/Details.data", [&] { return details.WriteDetails() == 0; }},
        {"packages/pkg/package.dat",
         [&] { return list->writeDistributionDetails("packages/pkg/package.dat") == 0; }},
        {"packages/pkg/packages.dat",
         [&] { return dist->GetComponentManager()->WriteDownloadedState() == 0; }},
        {"root/installer/packages.pkg",
         [&] { return dist->GetComponentManager()->WriteInstalledState() == 0; }},
        {"PTF/pkg.ptf", [&] { return CPackageTemplate::WriteTemplate(*dist) == 0; }},
        {"packages/copy/package.dat",
         [] { return CNUVFunctions::Instance()->CopyPackage("pkg", "copy", "/new") == 0; }},
    };
    const std::string folder =
        QFileInfo(QString::fromStdString(Path())).canonicalFilePath().toStdString();
    for (const auto& [file, write] : cases) {
        SCOPED_TRACE(file);
        synced.clear();
        ASSERT_TRUE(write());
        const std::string target = folder + "/" + file;
        ASSERT_TRUE(Exists(target));
        const auto temporary = [&](const std::string& name) {
            return name.compare(0, target.size() + 1, target + ".") == 0;
        };
        EXPECT_TRUE(std::any_of(synced.begin(), synced.end(), temporary));
    }
    CSystemEnv::Replace(std::move(previous));
    CDistributionList::destroy();
}

}  // namespace
