// The sample installation server: scripts/make-sample-server lays it out with the real zip and
// tar programs; the tree must hold what the tool will read and fetch from it.
#include "core/base/digest.h"
#include "core/base/fileutils.h"
#include "core/base/textutil.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distributionlist.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <set>

using testsupport::Exists;
using testsupport::ProgramRun;
using testsupport::ReadFile;
using testsupport::RunProgram;

namespace {

const std::string kSource = NUV_SOURCE_DIR;
const std::string kScript = kSource + "/scripts/make-sample-server";

struct Archive {
    std::string component;
    std::string path;          // below software/
    std::string releaseNotes;  // below software/
    std::string sha256;        // as the definition file publishes it
};

/// Every archive (and its release notes) that the definition files of the distributions name,
/// read by the tool's own readers: the distribution list, the definition reader and the
/// archive-name rule of the component records.
std::vector<Archive> ArchivesOf(const std::string& software, std::vector<std::string>* problems)
{
    std::vector<Archive> archives;
    const CDistributionList* list = CDistributionList::instance();
    for (int i = 0; i < list->count(); ++i) {
        CDistribution* distribution = list->getDistribution(i);
        const std::string& name = distribution->GetName();
        if (distribution->GetPackageType() != ".zip" && distribution->GetPackageType() != ".tgz")
            problems->push_back(name + ": package type " + distribution->GetPackageType());
        if (distribution->GetPlatform() != 2 && distribution->GetPlatform() != 3)
            problems->push_back(name + ": platform " + std::to_string(distribution->GetPlatform()));
        for (const auto& [file, subPath] : distribution->GetFileLists()) {
            const std::string fileList = subPath.empty() ? file : subPath + "/" + file;
            std::string text;
            if (!ReadFileBytes(software + "/" + fileList, &text)) {
                problems->push_back(name + ": missing file list " + fileList);
                continue;
            }
            const std::string folder = DirName(fileList);
            CComponentManager manager(distribution);
            if (manager.ReadPDF(text, folder + "/", distribution->GetPackageType()) != 0)
                problems->push_back(name + ": unreadable file list " + fileList);
            for (int h = 0; h < manager.HolderCount(); ++h) {
                const CComponentHolder* holder = manager.GetHolder(h);
                for (int v = 0; v < holder->Count(); ++v) {
                    const CComponent* record = holder->GetByIndex(v);
                    archives.push_back({record->GetName(), JoinPath(folder, record->ArchiveName()),
                                        JoinPath(folder, record->GetReleaseNotes()),
                                        record->GetSha256()});
                }
            }
        }
    }
    return archives;
}

std::vector<Archive> ReadServer(const std::string& root, std::vector<std::string>* problems)
{
    const std::string software = root + "/software";
    CDistributionList::destroy();
    CDistributionList* list = CDistributionList::instance();
    auto read = [&](const std::string& path, const std::string& subPath) {
        std::string text;
        if (!ReadFileBytes(path, &text))
            problems->push_back(path + " unreadable");
        (void)list->addDistributions(text, subPath, true);   // always 0
    };
    read(software + "/distributions.txt", "");
    for (const std::string& user : ListSubFolders(software + "/users"))
        read(software + "/users/" + user + "/distributions.txt", "users/" + user);
    std::vector<Archive> archives = ArchivesOf(software, problems);
    CDistributionList::destroy();
    return archives;
}

std::set<std::string> PathsOf(const std::vector<Archive>& archives)
{
    std::set<std::string> paths;
    for (const Archive& archive : archives)
        paths.insert(archive.path);
    return paths;
}

const std::set<std::string> kBaseArchives = {
    "r5/linux/R5_Base-6.4.0.zip", "r5/linux/R5_Runtime-6.4.0.zip",
    "r5/linux/R5_Config-1.2.0.zip", "r5/linux/Velocity_Server-3.1.0.zip",
    "r5/linux/Message_Broker-2.0.1b3.zip", "r5/linux/Scheduler-1.0.0.zip",
    "r5/linux/Serial_Driver-1.0.3.zip", "r5/linux/tools/Admin_Console-4.2.0.zip",
    "r5/linux/tools/Log_Viewer-1.1.0.zip", "r5/linux/tools/Backup_Tool-2.3.0.zip",
    "r5/linux/tools/Tessom_Docs-6.4.0.zip", "r5/linux/tools/Examples-6.4.0.zip",
    "users/demo/Demo_Plugin-0.9.0.zip", "r5/linux-tgz/R5_Base-6.4.0.tgz",
    "r5/linux-tgz/R5_Runtime-6.4.0.tgz", "r5/linux-tgz/R5_Config-1.2.0.tgz",
    "r5/linux-tgz/Log_Viewer-1.1.0.tgz", "r5/linux-tgz/Tessom_Docs-6.4.0.tgz",
    "users/demo/solaris/Tessom_Docs-6.4.0.tgz"};
const std::set<std::string> kNewerArchives = {"r5/linux/R5_Base-6.4.1.zip",
    "r5/linux/Message_Broker-2.0.1.zip", "r5/linux/tools/Backup_Tool-2.4.0.zip"};

class SampleServerTest : public testsupport::TempDirTest {
protected:
    // Both trees are laid out once: the script is the slow part and the trees are only read.
    static void SetUpTestSuite()
    {
        s_Trees = std::make_unique<QTemporaryDir>();
        const std::string trees = s_Trees->path().toStdString();
        s_Base = trees + "/base";
        s_Updated = trees + "/updated";
        s_BaseRun = RunProgram(kScript, {s_Base}, trees);
        s_UpdatedRun = RunProgram(kScript, {"--updates", s_Updated}, trees);
    }
    static void TearDownTestSuite() { s_Trees.reset(); }

    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_EQ(0, s_BaseRun.exitCode) << s_BaseRun.err;
        ASSERT_EQ(0, s_UpdatedRun.exitCode) << s_UpdatedRun.err;
    }

    static std::unique_ptr<QTemporaryDir> s_Trees;
    static std::string s_Base, s_Updated;
    static ProgramRun s_BaseRun, s_UpdatedRun;
};

std::unique_ptr<QTemporaryDir> SampleServerTest::s_Trees;
std::string SampleServerTest::s_Base, SampleServerTest::s_Updated;
ProgramRun SampleServerTest::s_BaseRun, SampleServerTest::s_UpdatedRun;

TEST_F(SampleServerTest, ListsReadCleanlyAndNameArchivesThatExist)
{
    std::set<std::string> newerAndBase = kBaseArchives;
    newerAndBase.insert(kNewerArchives.begin(), kNewerArchives.end());
    const struct {
        std::string root;
        std::set<std::string> archives;
    } cases[] = {{s_Base, kBaseArchives}, {s_Updated, newerAndBase}};
    for (const auto& tree : cases) {
        SCOPED_TRACE(tree.root);
        std::vector<std::string> problems;
        const std::vector<Archive> archives = ReadServer(tree.root, &problems);
        EXPECT_EQ(std::vector<std::string>{}, problems);
        EXPECT_EQ(tree.archives, PathsOf(archives));
        for (const Archive& archive : archives) {
            EXPECT_TRUE(Exists(tree.root + "/software/" + archive.path)) << archive.path;
            EXPECT_TRUE(Exists(tree.root + "/software/" + archive.releaseNotes)) << archive.releaseNotes;
            EXPECT_EQ(FileSha256(tree.root + "/software/" + archive.path), archive.sha256)
                << archive.path;
        }
    }
    for (const char* path : {"PTF/PTFList.txt", "PTF/R5_Standard.ptf",
                                    "users/demo/PTF/PTFList.txt", "users/demo/PTF/Demo_Server.ptf"})
        EXPECT_TRUE(Exists(s_Base + "/software/" + std::string(path))) << path;
}

/// Entries of a file list that name nothing below the unpacked component folder.
std::vector<std::string> MissingListEntries(const std::string& top, const std::string& listPath)
{
    std::vector<std::string> lines, missing;
    ReadLines(listPath, &lines);
    std::string prefix;
    for (const std::string& raw : lines) {
        const std::string line = TrimSpaces(raw);
        if (line.empty())
            continue;
        if (line.find('=') != std::string::npos) {
            const std::vector<std::string> pieces = SplitFields(line, '=');
            prefix = pieces.size() > 1 ? pieces[1] : "";
            continue;
        }
        const QFileInfo source(QString::fromStdString(top + "/" + line));
        if (line.compare(0, prefix.size(), prefix) != 0 || (!source.exists() && !source.isSymLink()))
            missing.push_back(line);
    }
    return missing;
}

TEST_F(SampleServerTest, EachArchiveUnpacksToOneFolderNamedAfterItsComponent)
{
    std::vector<std::string> problems;
    const std::vector<Archive> archives = ReadServer(s_Updated, &problems);
    ASSERT_EQ(22u, archives.size());
    int n = 0;
    for (const Archive& archive : archives) {
        SCOPED_TRACE(archive.path);
        const std::string into = Path("unpack" + std::to_string(n++));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(into)));
        const std::string file = s_Updated + "/software/" + archive.path;
        const bool zip = archive.path.size() > 4 && archive.path.substr(archive.path.size() - 4) == ".zip";
        const ProgramRun run = zip ? RunProgram("unzip", {"-o", file}, into)
                                   : RunProgram("tar", {"-xzf", file}, into);
        ASSERT_EQ(0, run.exitCode) << run.err;
        EXPECT_EQ(QStringList{QString::fromStdString(archive.component)},
                  QDir(QString::fromStdString(into)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        const std::string top = into + "/" + archive.component;
        const std::string installer = top + "/installer/" + archive.component + "/";
        for (const std::string& name : {archive.component + "_install.scr",
                                        archive.component + "_uninstall.scr", std::string("filelist")})
            EXPECT_TRUE(Exists(installer + name)) << name;
        EXPECT_EQ(std::vector<std::string>{}, MissingListEntries(top, installer + "filelist"));
    }
}

TEST_F(SampleServerTest, ArchivesKeepExecuteBitsAndLinks)
{
    const struct {
        std::string archive, program, link, linkTarget;
    } cases[] = {
        {"r5/linux/R5_Runtime-6.4.0.zip", "R5_Runtime/files/bin/r5rt-info",
         "R5_Runtime/files/lib/libr5rt.so", "libr5rt.so.6.4"},
        {"r5/linux-tgz/R5_Runtime-6.4.0.tgz", "R5_Runtime/files/bin/r5rt-info",
         "R5_Runtime/files/lib/libr5rt.so", "libr5rt.so.6.4"},
        {"r5/linux-tgz/R5_Base-6.4.0.tgz", "R5_Base/r5install", "", ""},
        {"r5/linux/R5_Base-6.4.1.zip", "R5_Base/bin/r5status", "", ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        const std::string into = Path("x" + std::to_string(n++));
        QDir().mkpath(QString::fromStdString(into));
        const std::string file = s_Updated + "/software/" + c.archive;
        const bool zip = c.archive.substr(c.archive.size() - 4) == ".zip";
        ASSERT_EQ(0, (zip ? RunProgram("unzip", {"-o", file}, into)
                          : RunProgram("tar", {"-xzf", file}, into)).exitCode);
        const QFileInfo program(QString::fromStdString(into + "/" + c.program));
        EXPECT_TRUE(program.isFile() && program.isExecutable());
        if (c.link.empty())
            continue;
        const QFileInfo link(QString::fromStdString(into + "/" + c.link));
        EXPECT_TRUE(link.isSymLink());
        EXPECT_EQ(c.linkTarget, link.symLinkTarget().section('/', -1).toStdString());
    }
}

TEST_F(SampleServerTest, ScriptsUseEveryCommandAndEndOnOneThatCannotFail)
{
    std::set<std::string> commands;
    int scripts = 0;
    QDirIterator it(QString::fromStdString(kSource + "/samples/components"), {"*.scr"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const std::string path = it.next().toStdString();
        SCOPED_TRACE(path);
        ++scripts;
        std::vector<std::string> lines;
        ASSERT_TRUE(ReadLines(path, &lines));
        std::string last;
        for (const std::string& raw : lines) {
            const std::vector<std::string> words = SplitFields(raw.substr(0, raw.find('#')), ' ');
            if (words.empty())
                continue;
            commands.insert(words[0]);
            if (words[0] != "done")
                last = words[0];
            // A line with any other variable is skipped by the tool, and the script misbehaves.
            for (size_t dollar = raw.find('$'); dollar != std::string::npos; dollar = raw.find('$', dollar + 1))
                EXPECT_TRUE(raw.compare(dollar, 12, "$TESSOM_ROOT") == 0 ||
                            raw.compare(dollar, 12, "$INSTALL_DIR") == 0) << raw;
        }
        // The last command decides the script's result; these two always succeed.
        EXPECT_TRUE(last.empty() || last == "message" || last == "exec") << last;
    }
    EXPECT_EQ(32, scripts);
    EXPECT_EQ((std::set<std::string>{"copy", "delete", "mkdir", "createstartmenu", "deletestartmenu",
                                     "exec", "foreach", "done", "message"}),
              commands);
}

TEST_F(SampleServerTest, BuildingTwiceGivesTheSameBytes)
{
    // Base first and the updates on top, instead of the updates on an empty folder.
    ASSERT_EQ(0, RunProgram(kScript, {Path("again")}, Path()).exitCode);
    ASSERT_EQ(0, RunProgram(kScript, {"--updates", Path("again")}, Path()).exitCode);
    std::vector<std::string> problems;
    int compared = 0;
    for (const Archive& archive : ReadServer(s_Updated, &problems)) {
        const std::string first = ReadFile(s_Updated + "/software/" + archive.path);
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(first, ReadFile(Path("again/software/" + archive.path))) << archive.path;
        ++compared;
    }
    EXPECT_EQ(22, compared);
}

TEST_F(SampleServerTest, RefusesAMissingOutputFolder)
{
    const ProgramRun run = RunProgram(kScript, {}, Path());
    EXPECT_EQ(2, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("Usage:"));
    EXPECT_EQ(QStringList{}, QDir(QString::fromStdString(Path())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries));
}

}  // namespace
