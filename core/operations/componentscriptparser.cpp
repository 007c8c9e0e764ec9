#include "core/operations/componentscriptparser.h"

#include "core/base/fileutils.h"
#include "core/base/processbox.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

namespace {

constexpr int kMaxEmptyLines = 10;

// Command codes, local to scripts; only the script's overall result is a shared code.
enum : int {
    kCommandOk = 0,
    kUnknownCommand = 1,
    kWrongWordCount = 3,
    kCopyFailed = 4,
    kDeleteFailed = 5,
    kMkdirFailed = 6,
    kForeachUnsupported = 7,
    kShortcutNotCreated = 8,
    kShortcutNotDeleted = 9,
};

// The form every command argument takes unless the command says otherwise.
std::string PreparedArgument(const std::string& word) { return ToBackslashes(WithoutQuotes(word)); }

}  // namespace

CComponentScriptParser::CComponentScriptParser(const std::string& scriptPath,
                                               const std::string& installationFolder)
    : m_ScriptPath(scriptPath), m_InstallationFolder(installationFolder)
{
}

int CComponentScriptParser::AddVariable(const std::string& text)
{
    if (text.find('=') == std::string::npos)
        return rc::InvalidGlobalVar;
    m_Variables.push_back("$" + text);
    return rc::Success;
}

int CComponentScriptParser::Run()
{
    CTraceScope scope("CComponentScriptParser::Run()");
    std::string path = FindPathIgnoringCase(m_ScriptPath);
    if (path.empty() && !m_ScriptPath.empty() && m_ScriptPath[0] != '/')
        path = FindPathIgnoringCase(JoinPath(WorkingDirectory(), m_ScriptPath));
    std::string text;
    if (path.empty() || !ReadFileBytes(path, &text))
        text.clear();
    return RunText(text);
}

int CComponentScriptParser::CheckText(const std::string& text)
{
    m_bCheckOnly = true;
    return RunText(text);
}

int CComponentScriptParser::RunText(const std::string& bytes)
{
    const std::string text = bytes.substr(0, bytes.find('\0'));
    if (text.empty()) {
        Trace("Script File Empty");
        return rc::NoScriptFile;
    }
    m_LineCounter = 0;
    m_Lines = SplitLines(text);
    if (m_Lines.empty())
        return rc::CouldNotProcessScript;
    return Parse();
}

int CComponentScriptParser::Parse()
{
    EnterScope("CComponentScriptParser::Parse()");
    int result = rc::Success;
    int lastCommandResult = kCommandOk;
    int emptyLines = 0;
    for (const std::string& raw : m_Lines) {
        Trace("\tParsing: %s", raw.c_str());
        ++m_LineCounter;
        if (raw.empty()) {
            if (++emptyLines == kMaxEmptyLines) {
                Trace("Number of empty lines exceeds %d, ERROR", kMaxEmptyLines);
                result = rc::TooManyConsecutiveLines;
                break;
            }
            continue;
        }
        emptyLines = 0;
        std::string line = raw.substr(0, raw.find('#'));
        if (line.empty())
            continue;
        if (const int code = ReplaceVars(&line); code != rc::Success) {
            Trace("ReplaceVars Failed %d", code);
            continue;
        }
        const Words words = SplitFields(line, ' ');
        if (words.empty())
            continue;
        bool ran = false;
        const int code = RunCommand(words, &ran);
        if (ran)
            lastCommandResult = code;
    }
    if (lastCommandResult != kCommandOk)
        result = rc::ScriptFileError;
    ExitScope("ComponentScriptParser::Parse()");
    return result;
}

int CComponentScriptParser::ReplaceVars(std::string* line) const
{
    for (const std::string& variable : m_Variables) {
        std::string name;
        std::string value;
        if (!SplitKeyValue(variable, &name, &value))
            return rc::BadVar;
        size_t at = 0;
        while ((at = line->find(name, at)) != std::string::npos) {
            line->replace(at, name.size(), value);
            at += value.size();   // a value holding the name is not expanded again
        }
    }
    return line->find('$') == std::string::npos ? rc::Success : rc::UnknownVar;
}

int CComponentScriptParser::RunCommand(const Words& words, bool* ran)
{
    struct Command {
        const char* name;
        int (CComponentScriptParser::*run)(const Words&);
        int fixedCode;   // the code of a command that does nothing
        const char* failureLine;
    };
    static const Command kCommands[] = {
        {"copy", &CComponentScriptParser::CmdCopy, 0, "copy failed %d line %d"},
        {"delete", &CComponentScriptParser::CmdDelete, 0, "delete failed %d line %d"},
        {"foreach", nullptr, kForeachUnsupported, "foreach failed %d line %d"},
        {"mkdir", &CComponentScriptParser::CmdMkdir, 0, "mkdir failed %d line %d"},
        {"createstartmenu", &CComponentScriptParser::CmdCreateStartMenu, 0,
         "createstartmenu failed %d line %d"},
        {"deletestartmenu", &CComponentScriptParser::CmdDeleteStartMenu, 0,
         "deletestartmenu failed %d line %d"},
        {"exec", &CComponentScriptParser::CmdExec, 0, "exec failed %d line %d"},
        {"message", nullptr, kCommandOk, "message failed %d line %d"},
    };
    *ran = true;
    if (words[0] == "done") {
        *ran = false;   // closes a foreach block; the block's lines already ran once
        return kCommandOk;
    }
    for (const Command& command : kCommands) {
        if (words[0] != command.name)
            continue;
        if (m_bCheckOnly) {
            for (const std::string& word : words)
                (void)PreparedArgument(word);
            return kCommandOk;
        }
        const int code = command.run ? (this->*command.run)(words) : command.fixedCode;
        if (code != kCommandOk)
            Trace(command.failureLine, code, m_LineCounter);
        return code;
    }
    Trace("%s UNKNOWN argument line %d", words[0].c_str(), m_LineCounter);
    return kUnknownCommand;
}

int CComponentScriptParser::CmdCopy(const Words& words)
{
    if (words.size() != 3)
        return kWrongWordCount;
    const int copied = CopyTree(PreparedArgument(words[1]), PreparedArgument(words[2]));
    return copied == rc::Success ? kCommandOk : kCopyFailed;
}

int CComponentScriptParser::CmdDelete(const Words& words)
{
    if (words.size() != 2)
        return kWrongWordCount;
    return DeleteFileTree(PreparedArgument(words[1])) == rc::Success ? kCommandOk
                                                                      : kDeleteFailed;
}

int CComponentScriptParser::CmdMkdir(const Words& words)
{
    if (words.size() != 2)
        return kWrongWordCount;
    const int made = MakeDirPath(PreparedArgument(words[1]));
    return made == rc::Success || made == rc::DirectoryAlreadyExists ? kCommandOk : kMkdirFailed;
}

int CComponentScriptParser::CmdCreateStartMenu(const Words& words)
{
    if (words.size() != 3)
        return kWrongWordCount;
    return CreateStartMenuShortcut(PreparedArgument(words[1]), PreparedArgument(words[2]))
               ? kCommandOk
               : kShortcutNotCreated;
}

int CComponentScriptParser::CmdDeleteStartMenu(const Words& words)
{
    if (words.size() != 2)
        return kWrongWordCount;
    int error = 0;
    if (DeleteStartMenuShortcut(PreparedArgument(words[1]) + ".desktop", &error)) {
        Trace("CComponentScriptParser::cmdDeleteStartMenu() : Success %d", error);
        return kCommandOk;
    }
    Trace("CComponentScriptParser::cmdDeleteStartMenu() : failed %d", error);
    return kShortcutNotDeleted;
}

int CComponentScriptParser::CmdExec(const Words& words)
{
    CTraceScope scope("CComponentScriptParser::cmdExec()");
    Words converted;
    for (size_t i = 1; i < words.size(); ++i)
        converted.push_back(ToBackslashes(words[i]));

    std::string program = converted.empty() ? std::string() : converted[0];
    std::string workingDir = WorkingDirectory();
    // A quoted program names its own folder, which becomes the child's working directory.
    // Without a folder in it, the child starts where the tool runs rather than nowhere.
    if (program.find('"') != std::string::npos) {
        program = WithoutQuotes(program);
        if (program.find('/') != std::string::npos)
            workingDir = DirName(program).empty() ? "/" : DirName(program);
    }

    std::vector<std::string> arguments;
    for (size_t i = 1; i < converted.size(); ++i) {
        const std::string argument = WithoutQuotes(converted[i]);
        if (converted[i].find(' ') == std::string::npos)
            Trace("\targs[%d] = %s", int(i + 1), argument.c_str());
        else
            Trace("\tArguments[%d] = %s", 0, argument.c_str());
        arguments.push_back(argument);
    }
    Trace("\tWorkingDirectory = %s", workingDir.c_str());
    Trace("\tExecutable = %s", program.c_str());

    CProcessBox box(workingDir, program, arguments, false);
    const int started = box.Start(true);
    if (started != rc::Success)
        Trace("\tProcess start return %d", started);
    else
        Trace("\tProcess start return NO ERRORS");
    // A program that fails or times out never fails the script; its code is only logged.
    return kCommandOk;
}
