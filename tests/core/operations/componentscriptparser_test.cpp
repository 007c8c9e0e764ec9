#include "core/operations/componentscriptparser.h"

#include "core/base/resultcodes.h"
#include "core/base/trace.h"
#include "support/coreapp.h"
#include "support/testsupport.h"

#include <QCoreApplication>

#include <cstdlib>
#include <memory>
#include <sys/stat.h>

using namespace testsupport;

namespace {

class ComponentScriptParserTest : public TracedTempDirTest {
protected:
    static void SetUpTestSuite() { testsupport::EnsureCoreApplication(); }

    // Runs text as an install script with the two variables an installation hands over.
    int RunScript(const std::string& text)
    {
        WriteFile(Path(kScript), text);
        CComponentScriptParser parser(kScript, Path("root"));
        EXPECT_EQ(rc::Success, parser.AddVariable("TESSOM_ROOT=" + Path("root")));
        EXPECT_EQ(rc::Success, parser.AddVariable("INSTALL_DIR=cache/Linux/comp"));
        return parser.Run();
    }

    bool Traced(const std::string& message) const
    {
        return ReadFile(Path("NUVdebugtrace.txt")).find("]:" + message + "\n") != std::string::npos;
    }

    static constexpr const char* kScript = "cache/Linux/comp/installer/comp/comp_install.scr";
};

bool IsDir(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST_F(ComponentScriptParserTest, FileCommandsWorkOnTheSubstitutedFolders)
{
    WriteFile(Path("cache/Linux/comp/files/bin/tool"), "tool");
    WriteFile(Path("cache/Linux/comp/files/doc/read me.txt"), "doc");
    WriteFile(Path("root/obsolete/old.txt"), "old");

    EXPECT_EQ(rc::Success, RunScript("# install the tools\n"
                                     "mkdir $TESSOM_ROOT\\var\\log   # both separators\n"
                                     "copy $INSTALL_DIR/files $TESSOM_ROOT/files\n"
                                     "mkdir \"$TESSOM_ROOT/my docs\"\n"
                                     "copy \"$INSTALL_DIR/files/doc/read me.txt\" \"$TESSOM_ROOT/my docs\"\n"
                                     "delete $TESSOM_ROOT/obsolete\n"
                                     "message Installing done\n"));

    EXPECT_TRUE(IsDir(Path("root/var/log")));
    EXPECT_EQ("tool", ReadFile(Path("root/files/bin/tool")));
    EXPECT_EQ("doc", ReadFile(Path("root/files/doc/read me.txt")));
    EXPECT_EQ("doc", ReadFile(Path("root/my docs/read me.txt")));
    EXPECT_FALSE(Exists(Path("root/obsolete")));
    EXPECT_TRUE(Traced("\tParsing: mkdir $TESSOM_ROOT\\var\\log   # both separators"));
    EXPECT_TRUE(Traced("ENTER >>>CComponentScriptParser::Parse()"));
    EXPECT_TRUE(Traced("EXIT <<<ComponentScriptParser::Parse()"));
}

TEST_F(ComponentScriptParserTest, MenuEntriesAreCreatedAndRemovedWithTheirFolder)
{
    const char* previous = std::getenv("XDG_DATA_DIRS");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_DATA_DIRS", Path("share").c_str(), 1);

    EXPECT_EQ(rc::Success, RunScript("createstartmenu Tessom\\Monitor $TESSOM_ROOT/bin/monitor\n"));
    const std::string entry = ReadFile(Path("share/applications/Tessom/Monitor.desktop"));
    EXPECT_NE(std::string::npos, entry.find("Exec=\"" + Path("root/bin/monitor") + "\"\n")) << entry;

    EXPECT_EQ(rc::Success, RunScript("deletestartmenu Tessom\\Monitor\n"
                                     "deletestartmenu Tessom\\NeverMade\n"));
    EXPECT_FALSE(Exists(Path("share/applications/Tessom")));
    EXPECT_TRUE(Traced("CComponentScriptParser::cmdDeleteStartMenu() : Success 0"));
    EXPECT_TRUE(Traced("CComponentScriptParser::cmdDeleteStartMenu() : Success 2"));

    EXPECT_EQ(rc::ScriptFileError, RunScript("createstartmenu OnlyAName\n"));
    EXPECT_TRUE(Traced("createstartmenu failed 3 line 1"));

    if (previous)
        ::setenv("XDG_DATA_DIRS", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_DIRS");
}

TEST_F(ComponentScriptParserTest, TheLastExecutedCommandDecidesTheResult)
{
    const std::string nine(9, '\n');
    const std::string ten(10, '\n');
    struct Case {
        const char* name;
        std::string text;
        int result;
        const char* traced;
    };
    const Case cases[] = {
        {"empty file", "", rc::NoScriptFile, "Script File Empty"},
        {"text after a zero byte", std::string("\0mkdir x\n", 9), rc::NoScriptFile, nullptr},
        {"comments and blanks", "# a\n\n   \n   # indented\n", rc::Success, nullptr},
        {"nine empty lines", "mkdir a" + nine + "mkdir b\n", rc::Success, nullptr},
        {"nine empty lines in a row", "mkdir a\n" + nine + "mkdir after9\n", rc::Success, nullptr},
        {"ten empty lines between commands",
         "mkdir a\n\n\n\nmkdir b\n\n\n\nmkdir c\n\n\n\n\nmkdir spread\n", rc::Success, nullptr},
        {"ten empty lines", "mkdir a\n" + ten + "mkdir after10\n", rc::TooManyConsecutiveLines,
         "Number of empty lines exceeds 10, ERROR"},
        {"failure before ten empty lines", "delete a b\n" + ten + "mkdir after10\n",
         rc::ScriptFileError, "delete failed 3 line 1"},
        {"early failure only logged", "delete a b\nmkdir c\n", rc::Success,
         "delete failed 3 line 1"},
        {"last command failed", "mkdir c\n\ndelete a b\n", rc::ScriptFileError,
         "delete failed 3 line 3"},
        {"copy of a missing source", "copy missing/file dest\n", rc::ScriptFileError,
         "copy failed 4 line 1"},
        {"copy with one word", "copy onlyone\n", rc::ScriptFileError, "copy failed 3 line 1"},
        {"mkdir where a file is", "mkdir blocker/sub\n", rc::ScriptFileError,
         "mkdir failed 6 line 1"},
        {"unknown command", "mkdir c\nfrobnicate x\n", rc::ScriptFileError,
         "frobnicate UNKNOWN argument line 2"},
        {"commands are case-sensitive", "Mkdir c\n", rc::ScriptFileError,
         "Mkdir UNKNOWN argument line 1"},
        {"foreach block runs once", "foreach f\nmkdir d\ndone\n", rc::Success,
         "foreach failed 7 line 1"},
        {"foreach last", "mkdir d\nforeach f\n", rc::ScriptFileError, "foreach failed 7 line 2"},
        {"a quoted \"#\" starts a comment too", "mkdir \"a#b\"\n", rc::Success, nullptr},
        {"done keeps a failure", "delete a b\ndone\n", rc::ScriptFileError, nullptr},
        {"unknown variable skipped", "mkdir c\nmkdir $HOME/x\n", rc::Success,
         "ReplaceVars Failed 51"},
        {"message ignored", "delete a b\nmessage all \"is well\"\n", rc::Success, nullptr},
        {"CR LF lines", "mkdir crlf1\r\nmkdir crlf2\r\n", rc::Success, nullptr},
    };
    WriteFile(Path("blocker"), "a file where a folder is wanted");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DebugTraceReset();
        EXPECT_EQ(c.result, RunScript(c.text));
        if (c.traced) {
            EXPECT_TRUE(Traced(c.traced));
        }
    }
    EXPECT_TRUE(IsDir(Path("crlf1")));
    EXPECT_TRUE(IsDir(Path("crlf2")));
    EXPECT_TRUE(IsDir(Path("a")));     // "mkdir \"a" was all that was left of the quoted name
    EXPECT_TRUE(IsDir(Path("b")));
    EXPECT_TRUE(IsDir(Path("after9")));
    EXPECT_TRUE(IsDir(Path("spread")));
    EXPECT_FALSE(Exists(Path("after10")));   // never reached after ten empty lines
    EXPECT_FALSE(Exists(Path("x")));   // the text after a zero byte is not part of the script
}

TEST_F(ComponentScriptParserTest, CheckingATextCarriesOutNoCommand)
{
    CComponentScriptParser parser("", Path("root"));
    ASSERT_EQ(rc::Success, parser.AddVariable("TESSOM_ROOT=" + Path("root")));
    EXPECT_EQ(rc::ScriptFileError,
              parser.CheckText("mkdir $TESSOM_ROOT/made\n"
                               "exec \"/bin/sh\" -c \"touch " + Path("ran") + "\"\n"
                               "frobnicate x\n"));
    EXPECT_EQ(rc::NoScriptFile, parser.CheckText(std::string("\0mkdir x\n", 9)));
    EXPECT_FALSE(Exists(Path("root/made")));
    EXPECT_FALSE(Exists(Path("ran")));
}

TEST_F(ComponentScriptParserTest, VariablesAreCheckedAndReplacedEverywhereInALine)
{
    CComponentScriptParser parser("none.scr", Path("root"));
    EXPECT_EQ(rc::InvalidGlobalVar, parser.AddVariable("TESSOM_ROOT"));
    EXPECT_EQ(rc::NoScriptFile, parser.Run());
    EXPECT_TRUE(Traced("Script File Empty"));

    WriteFile(Path("cache/Linux/comp/a.txt"), "a");
    EXPECT_EQ(rc::Success, RunScript("copy $INSTALL_DIR/a.txt $TESSOM_ROOT/$INSTALL_DIR/a.txt\n"));
    EXPECT_EQ("a", ReadFile(Path("root/cache/Linux/comp/a.txt")));

    // A value holding its own name is inserted once, not expanded again.
    WriteFile(Path("loop.scr"), "mkdir $D/x\n");
    CComponentScriptParser looping("loop.scr", Path("root"));
    ASSERT_EQ(rc::Success, looping.AddVariable("D=dollar$D"));
    EXPECT_EQ(rc::Success, looping.Run());
    EXPECT_TRUE(Traced("ReplaceVars Failed 51"));
    EXPECT_FALSE(Exists(Path("dollar$D")));
}

TEST_F(ComponentScriptParserTest, ExecPassesConvertedWordsAndNeverFailsTheScript)
{
    // The recorder has no execute bit, as scripts unpacked from an archive often have not.
    WriteFile(Path("root/bin/record.sh"),
              "pwd -P > " + Path("args.txt") + "\nfor a in \"$@\"; do echo \"[$a]\"; done >> " +
                  Path("args.txt") + "\n");
    WriteFile(Path("root/bin/fail.sh"), "exit 3\n");

    EXPECT_EQ(rc::Success,
              RunScript("exec $TESSOM_ROOT/bin/record.sh -x c:\\temp\\file \"two words\" plain\n"));
    EXPECT_EQ(Path() + "\n[-x]\n[c:/temp/file]\n[two words]\n[plain]\n", ReadFile(Path("args.txt")));
    EXPECT_TRUE(Traced("\targs[2] = -x"));
    EXPECT_TRUE(Traced("\targs[3] = c:/temp/file"));
    EXPECT_TRUE(Traced("\tArguments[0] = two words"));
    EXPECT_TRUE(Traced("\targs[5] = plain"));
    EXPECT_TRUE(Traced("\tWorkingDirectory = " + Path()));
    EXPECT_TRUE(Traced("\tExecutable = " + Path("root/bin/record.sh")));
    EXPECT_TRUE(Traced("\tProcess start return NO ERRORS"));
    EXPECT_TRUE(Traced("ENTER >>>CComponentScriptParser::cmdExec()"));

    // A quoted program runs in its own folder.
    EXPECT_EQ(rc::Success, RunScript("exec \"$TESSOM_ROOT\\bin\\record.sh\" one\n"));
    EXPECT_EQ(Path("root/bin") + "\n[one]\n", ReadFile(Path("args.txt")));
    EXPECT_TRUE(Traced("\tWorkingDirectory = " + Path("root/bin")));

    DebugTraceReset();
    EXPECT_EQ(rc::Success, RunScript("exec $TESSOM_ROOT/bin/fail.sh\n"
                                     "exec $TESSOM_ROOT/bin/missing-program\n"));
    EXPECT_TRUE(Traced("\tProcess start return 109"));
    EXPECT_TRUE(Traced("\tProcess start return 44"));
}

}  // namespace
