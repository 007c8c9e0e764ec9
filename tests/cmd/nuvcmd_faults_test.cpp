// NUV_CMD on a bad day: killed in the middle of its batches, interrupted during a download,
// and started twice on one working folder. Real processes, a real FTP server, real signals.
#include "support/componentarchive.h"
#include "support/ftpserver.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <set>

using namespace testsupport;

namespace {

const char kDistributions[] =
    "[Main]\ndescription=Main line\npath=r5/main\nplatform=Linux\npackagetype=zip\n"
    "filelist=r5/main/main.pdf\n";
const char* const kComponents[] = {"A", "B", "C"};

class NuvCmdFaultsTest : public TempDirTest {
protected:
    void SetUp() override { TempDirTest::SetUp(); }

    /// Serves A, B and C, each installing one file with scripts that take two seconds; trickled
    /// names a component whose archive is sent slowly.
    void StartServer(const std::string& trickled = std::string())
    {
        WriteFile(Path("server/software/distributions.txt"), kDistributions);
        std::string pdf;
        for (const char* name : kComponents) {
            const std::string n = name;
            pdf += "[" + n + "]\npackage=" + n + "-1.0.0.zip\nversion=1.0.0\ngroup=G\n"
                   "description=" + n + "\n";
            ArchiveFiles files = {{n + ".txt", std::string(20000, 'x')},
                                  {"installer/" + n + "/filelist", n + ".txt\n"},
                                  {"installer/" + n + "/" + n + "_install.scr", "exec sleep 2\n"},
                                  {"installer/" + n + "/" + n + "_uninstall.scr", "exec sleep 2\n"}};
            MakeArchive(Path("build"), n, "1.0.0", files);
            WriteFile(Path("server/software/r5/main/" + n + "-1.0.0.zip"),
                      ReadFile(Path("build/cache/Linux/" + n + "-1.0.0.zip")));
        }
        WriteFile(Path("server/software/r5/main/main.pdf"), pdf);
        CFtpServer::Options options;
        options.trickleFile = trickled.empty() ? "" : trickled + "-1.0.0.zip";
        options.trickleBlocks = 20;
        ASSERT_TRUE(m_Server.Start(Path("server"), Path("ftp.log"), options));
        WriteServerDetails(Path(), m_Server.Address(), CFtpServer::kUser, CFtpServer::kPassword);
        WriteFile(Path("packages/pkg/package.dat"),
                  "Main\n" + Path("root") + "\n\n\n\n\n.zip\n2\ntag\n");
        WriteFile(Path("packages/pkg/packages.dat"), FreshStateFile());
    }

    ProgramRun Run(const std::vector<std::string>& args) { return RunNuvCmd(args, Path()); }

    /// Starts NUV_CMD with args; once its output holds marker and delayMs more have passed,
    /// sends signal and waits for the end. The output so far; the exit code in *exitCode
    /// (-1 for a death by signal).
    std::string SignalWhen(const std::vector<std::string>& args, const std::string& marker,
                           int delayMs, int signal, int* exitCode)
    {
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(Path()));
        QStringList arguments;
        for (const std::string& arg : args)
            arguments << QString::fromStdString(arg);
        process.start(NUV_CMD_PATH, arguments);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForStarted(10000));
        std::string out;
        QElapsedTimer clock;
        clock.start();
        while (out.find(marker) == std::string::npos && clock.elapsed() < 60000 &&
               process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            out += process.readAllStandardOutput().toStdString();
        }
        EXPECT_NE(std::string::npos, out.find(marker)) << out;
        QThread::msleep(delayMs);
        // A process that already ended has id 0, and kill(0) would hit the test runner's group.
        if (const pid_t pid = pid_t(process.processId()); pid > 0)
            ::kill(pid, signal);
        process.waitForFinished(60000);
        out += process.readAllStandardOutput().toStdString();
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return out;
    }

    /// Files below the root, relative to it.
    std::set<std::string> RootFiles() const
    {
        std::set<std::string> files;
        const QString root = QString::fromStdString(Path("root"));
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.insert(QDir(root).relativeFilePath(it.next()).toStdString());
        return files;
    }

    /// The components a state file lists with the given counter at 1.0.0.
    std::set<std::string> Listed(const std::string& path, const std::string& counter) const
    {
        std::set<std::string> names;
        if (!Exists(path))
            return names;
        std::string section;
        for (const QString& line : QString::fromStdString(ReadFile(path)).split('\n')) {
            const std::string text = line.toStdString();
            if (!text.empty() && text[0] == '[')
                section = text.substr(1, text.find(']') - 1);
            else if (text == counter + "=1.0.0")
                names.insert(section);
        }
        return names;
    }

    /// The files the installed components put in the root, with their record.
    static std::set<std::string> FilesOf(const std::set<std::string>& components)
    {
        std::set<std::string> files;
        for (const std::string& n : components) {
            files.insert(n + ".txt");
            files.insert("installer/" + n + "/filelist");
            files.insert("installer/" + n + "/" + n + "_install.scr");
            files.insert("installer/" + n + "/" + n + "_uninstall.scr");
        }
        if (!components.empty())
            files.insert("installer/packages.pkg");
        return files;
    }

    CFtpServer m_Server;
};

}  // namespace

TEST_F(NuvCmdFaultsTest, KilledBatchesLeaveRecordsMatchingTheRootAndTheNextRunFinishes)
{
    StartServer();
    ASSERT_EQ(0, Run({"-download", "pkg"}).exitCode);
    const std::string record = Path("root/installer/packages.pkg");
    const std::set<std::string> all(std::begin(kComponents), std::end(kComponents));
    for (int point = 1; point <= 3; ++point) {
        SCOPED_TRACE("killed during component " + std::to_string(point));
        // Killed while the install script of component number point runs: the ones before
        // it are recorded, the lock is left behind by a dead process.
        int code = 0;
        const std::string counter = "00" + std::to_string(point) + "/003";
        SignalWhen({"-install", "pkg", "-readEULA"}, "Installing...... " + counter, 500,
                   SIGKILL, &code);
        EXPECT_EQ(-1, code);
        const std::set<std::string> before(all.begin(), std::next(all.begin(), point - 1));
        EXPECT_EQ(before, Listed(record, "installedversion"));
        EXPECT_EQ(point > 1, Exists(Path("packages/InstallDir.nuv")));
        EXPECT_TRUE(Exists(Path("nuv.lock")));
        if (point == 1) {   // what a kill inside the atomic writer would leave
            WriteFile(Path("packages/pkg/packages.dat.a1B2c3"), "torn");
            WriteFile(Path("packages/pkg/notes.a1B2c3"), "mine");
        }

        ProgramRun run = Run({"-install", "pkg", "-readEULA"});
        EXPECT_EQ(0, run.exitCode) << run.out;
        EXPECT_EQ(all, Listed(record, "installedversion"));
        EXPECT_EQ(all, Listed(Path("packages/pkg/packages.dat"), "downloadedversion"));
        EXPECT_EQ(FilesOf(all), RootFiles());
        EXPECT_FALSE(Exists(Path("packages/pkg/packages.dat.a1B2c3")));
        EXPECT_TRUE(Exists(Path("packages/pkg/notes.a1B2c3")));

        // Killed while the uninstall script of component number point runs: the ones
        // removed before it are gone from the record.
        SignalWhen({"-uninstall", "pkg"}, "Uninstalling.... " + counter, 500, SIGKILL, &code);
        const std::set<std::string> left(std::next(all.begin(), point - 1), all.end());
        EXPECT_EQ(left, Listed(record, "installedversion"));
        run = Run({"-uninstall", "pkg"});
        EXPECT_EQ(0, run.exitCode) << run.out;
        EXPECT_EQ(std::set<std::string>(), RootFiles());
        EXPECT_FALSE(Exists(Path("packages/InstallDir.nuv")));
    }
}

TEST_F(NuvCmdFaultsTest, InterruptedDownloadKeepsWhatFinishedAndResumesThePartialArchive)
{
    StartServer("C");
    int code = 0;
    const std::string out = SignalWhen({"-download", "pkg"}, "Downloading..... 003/003:\tC",
                                       800, SIGINT, &code);
    EXPECT_EQ(98, code);
    EXPECT_NE(std::string::npos, out.find("\nInterrupted by SIGINT: ")) << out;
    EXPECT_EQ((std::set<std::string>{"A", "B"}),
              Listed(Path("packages/pkg/packages.dat"), "downloadedversion"));
    EXPECT_FALSE(Exists(Path("cache/Linux/C-1.0.0.zip")));
    EXPECT_FALSE(Exists(Path("nuv.lock")));
    // What arrived stays as the partial file, which is no archive; the next download asks
    // only for the rest.
    const std::string served = ReadFile(Path("server/software/r5/main/C-1.0.0.zip"));
    const std::string part = ReadFile(Path("cache/Linux/C-1.0.0.zip.part"));
    ASSERT_FALSE(part.empty());
    EXPECT_TRUE(part.size() < served.size() && served.compare(0, part.size(), part) == 0);

    m_Server.ClearLog();
    const ProgramRun run = Run({"-download", "pkg"});
    EXPECT_EQ(0, run.exitCode) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("Downloading..... 001/001:\tC")) << run.out;
    EXPECT_TRUE(served == ReadFile(Path("cache/Linux/C-1.0.0.zip")));
    EXPECT_FALSE(Exists(Path("cache/Linux/C-1.0.0.zip.part")));
    EXPECT_EQ(1, m_Server.Count("REST " + std::to_string(part.size())));
}

TEST_F(NuvCmdFaultsTest, SecondProcessIsRefusedWhileTheFirstHoldsTheFolder)
{
    StartServer();
    ASSERT_EQ(0, Run({"-download", "pkg"}).exitCode);
    QProcess first;
    first.setWorkingDirectory(QString::fromStdString(Path()));
    first.start(NUV_CMD_PATH, {"-install", "pkg", "-readEULA"});
    first.closeWriteChannel();
    std::string out;
    while (out.find("Installing...... 001") == std::string::npos && first.waitForReadyRead(20000))
        out += first.readAllStandardOutput().toStdString();

    ProgramRun second = Run({"-uninstall", "pkg"});
    EXPECT_EQ(123, second.exitCode);
    EXPECT_EQ("Another NUV process (process id " + std::to_string(first.processId()) +
                  ") is working in this folder; nothing was changed. Try again when it has "
                  "finished.\n",
              second.out);
    // Commands that only read go on.
    EXPECT_EQ(0, Run({"-packages"}).exitCode);

    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(0, first.exitCode());
    EXPECT_EQ(0, Run({"-uninstall", "pkg"}).exitCode);
}
