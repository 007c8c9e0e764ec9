// cmake --install lays out a self-contained program folder; the NUV_CMD command in bin/ runs
// the program there.
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gmock/gmock.h>

using testsupport::Exists;
using testsupport::ProgramRun;
using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::WriteFile;

namespace {

const std::string kSource = NUV_SOURCE_DIR;
const std::string kBuild = NUV_BINARY_DIR;

class InstallTest : public testsupport::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        const ProgramRun run = RunProgram("cmake", {"--install", kBuild, "--prefix", Path("prefix")}, Path());
        ASSERT_EQ(0, run.exitCode) << run.out << run.err;
        m_Program = Path("prefix/lib/nuv");
    }
    bool IsProgram(const std::string& path) const
    {
        const QFileInfo info(QString::fromStdString(path));
        return info.isFile() && info.isExecutable();
    }
    std::string m_Program;
};

TEST_F(InstallTest, LaysOutTheProgramFolderTheManPageAndTheCommand)
{
    EXPECT_TRUE(IsProgram(m_Program + "/NUV_CMD"));
    EXPECT_TRUE(IsProgram(Path("prefix/bin/NUV_CMD")));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(m_Program + "/zip")).isDir());
    EXPECT_TRUE(QDir(QString::fromStdString(m_Program + "/zip")).isEmpty());
    const struct {
        std::string installed, source;
    } copies[] = {
        {m_Program + "/EULA/End_User_Licence_Agreement.txt", "dist/EULA/End_User_Licence_Agreement.txt"},
        {m_Program + "/EULA/End_User_Licence_Agreement.html", "dist/EULA/End_User_Licence_Agreement.html"},
        {Path("prefix/share/man/man1/NUV_CMD.1"), "dist/NUV_CMD.1"},
    };
    for (const auto& copy : copies) {
        SCOPED_TRACE(copy.installed);
        const std::string content = ReadFile(copy.installed);
        EXPECT_FALSE(content.empty());
        EXPECT_EQ(ReadFile(kSource + "/" + copy.source), content);
    }
    // The graphical program comes with its link and desktop entry, or not at all.
    const bool gui = Exists(kBuild + "/bin/NUV_GUI");
    EXPECT_EQ(gui, IsProgram(m_Program + "/NUV_GUI"));
    EXPECT_EQ(gui, Exists(Path("prefix/share/applications/NUV_GUI.desktop")));
    EXPECT_EQ(gui, Exists(Path("prefix/share/icons/hicolor/128x128/apps/nuv.png")));
    // The About box's licence link opens this file.
    if (Exists("/usr/share/common-licenses/LGPL-3")) {
        EXPECT_EQ(gui, Exists(m_Program + "/docs/LICENSE.LGPL"));
    }
    const QFileInfo link(QString::fromStdString(Path("prefix/bin/NUV_GUI")));
    EXPECT_EQ(gui, link.isSymLink());
    if (gui) {
        EXPECT_EQ(QFileInfo(QString::fromStdString(m_Program + "/NUV_GUI")).canonicalFilePath(),
                  link.canonicalFilePath());
    }
}

TEST_F(InstallTest, CommandRunsTheProgramInItsFolder)
{
    testsupport::WriteUnreachableServerDetails(m_Program);
    WriteFile(Path("caller/.keep"), "");
    const ProgramRun run = RunProgram(Path("prefix/bin/NUV_CMD"), {"-version"}, Path("caller"));
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_THAT(run.out, testing::HasSubstr("NUV_CMD 2.0.21\n"));
    EXPECT_TRUE(Exists(m_Program + "/cache/Linux"));
    EXPECT_FALSE(Exists(Path("caller/cache")));
}

TEST_F(InstallTest, CommandMakesTheNamedFilesAbsolute)
{
    // A stand-in program that reports its folder and its arguments, one per line.
    QFile::remove(QString::fromStdString(m_Program + "/NUV_CMD"));
    WriteFile(m_Program + "/NUV_CMD", "#!/bin/sh\npwd\nfor a in \"$@\"; do echo \"[$a]\"; done\n");
    QFile::setPermissions(QString::fromStdString(m_Program + "/NUV_CMD"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    WriteFile(Path("caller/.keep"), "");
    const std::string caller = QFileInfo(QString::fromStdString(Path("caller"))).canonicalFilePath().toStdString();
    const std::string program = QFileInfo(QString::fromStdString(m_Program)).canonicalFilePath().toStdString();
    const ProgramRun run = RunProgram(Path("prefix/bin/NUV_CMD"),
        {"-install", "pkg", "-path", "roots/r5", "-loadNPF", "/abs/x.npf", "-loadPTF", "t.ptf",
         "-loadDPF", "my file.dpf", "-makePTF", "name"},
        caller);
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(program + "\n[-install]\n[pkg]\n[-path]\n[" + caller + "/roots/r5]\n[-loadNPF]\n"
              "[/abs/x.npf]\n[-loadPTF]\n[" + caller + "/t.ptf]\n[-loadDPF]\n[" + caller +
              "/my file.dpf]\n[-makePTF]\n[name]\n",
              run.out);
}

}  // namespace
