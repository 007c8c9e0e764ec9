#pragma once

#include <string>
#include <vector>

/// Runs one component install or uninstall script: a line-oriented command file that copies,
/// deletes and creates folders, creates and removes menu entries and runs programs.
///
/// Lines are read in order. "#" starts a comment (also inside quotes); variables written
/// "$NAME" are replaced by their values; the rest is split into words at blanks, a quoted
/// word keeping its blanks and its quotes. Commands: copy SOURCE DESTINATION, delete PATH,
/// mkdir PATH, createstartmenu NAME TARGET, deletestartmenu NAME, exec PROGRAM [ARG ...],
/// foreach (never supported, always fails), done (ignored) and message (ignored). A failing
/// command is logged and the script goes on; only the last executed command decides whether
/// the script failed. Arguments have their quotes removed and "\" turned into "/".
///
/// Built, given its variables, run once and discarded, on the calling thread. exec spins the
/// process runner's nested event loop, so the caller's events keep flowing during a script.
class CComponentScriptParser {
public:
    /// installationFolder is the platform root the script installs into; the commands only
    /// see it through the variables the caller adds.
    CComponentScriptParser(const std::string& scriptPath, const std::string& installationFolder);

    /// Adds "NAME=VALUE" as the variable $NAME; variables are substituted in the order added.
    /// 0, or 46 (nothing stored) when the text holds no "=".
    int AddVariable(const std::string& text);

    /// Reads and executes the script. A script path that does not open is tried below the
    /// working directory too; names differing only in case are found.
    /// 0; 47 the script is missing or empty (a component without that script); 48 no lines;
    /// 49 ten empty lines in a row stopped it; 53 the last executed command failed (also
    /// when it came before the ten empty lines).
    int Run();
    /// Walks the lines of text as Run walks a script's (a NUL byte ends it), substituting the
    /// variables and looking up each command, without carrying out any command. The result
    /// rules of Run.
    int CheckText(const std::string& text);

private:
    /// Splits text into m_Lines and walks them; the result rules of Run.
    int RunText(const std::string& text);
    using Words = std::vector<std::string>;

    /// Executes m_Lines; the result rules of Run.
    int Parse();
    /// Replaces every variable in line. 0; 50 a variable without "="; 51 a "$" is left.
    int ReplaceVars(std::string* line) const;
    /// The command's code, or 1 for an unknown command word; writes the failure line.
    /// ran is false for a line that leaves the last command result as it was.
    int RunCommand(const Words& words, bool* ran);

    int CmdCopy(const Words& words);
    int CmdDelete(const Words& words);
    int CmdMkdir(const Words& words);
    int CmdCreateStartMenu(const Words& words);
    int CmdDeleteStartMenu(const Words& words);
    int CmdExec(const Words& words);

    std::string m_ScriptPath;
    std::string m_InstallationFolder;
    std::vector<std::string> m_Variables;   // "$NAME=VALUE", in the order added
    std::vector<std::string> m_Lines;
    int m_LineCounter = 0;
    bool m_bCheckOnly = false;
};
