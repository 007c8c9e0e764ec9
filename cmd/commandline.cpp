#include "cmd/commandline.h"

#include "cmd/nuvprogram.h"
#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "core/base/resultcodes.h"
#include "core/base/trace.h"

#include <QDir>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include <unistd.h>

namespace {

struct CommandRow {
    const char* word;
    int code;
    int arguments;
};

// Scanned in this order; the empty word matches only an argument that is the empty string.
const CommandRow kCommands[] = {
    {"-new", cmdcode::New, 1},           {"-install", cmdcode::Install, 1},
    {"-download", cmdcode::Download, 1}, {"-uninstall", cmdcode::Uninstall, 1},
    {"-delete", cmdcode::Delete, 1},     {"-remove", cmdcode::Remove, 1},
    {"-list", cmdcode::List, 1},         {"-packages", cmdcode::Packages, 0},
    {"-setup", cmdcode::Setup, 0},       {"-makePTF", cmdcode::MakePTF, 1},
    {"-loadPTF", cmdcode::LoadPTF, 1},   {"-loadDPF", cmdcode::LoadDPF, 1},
    {"-makeNPF", cmdcode::MakeNPF, 1},   {"-loadNPF", cmdcode::LoadNPF, 1},
    {"-version", cmdcode::Version, 0},   {"-v", cmdcode::Version, 0},
    {"", cmdcode::EmptyWord, 0}};

const char* const kUsageAfterFirstLine[] = {
    "args:",
    "\t-new [package name]       creates a new package",
    "\t-install [package name]   Installs specified package",
    "\t-readEULA                 Used in conjunction with -install",
    "\t                          to automatically accept the EULA",
    "\t-path                     Used in conjunction with -install",
    "\t                          to change the installation directory",
    "\t                          of a package",
    "\t-uninstall [package name] Uninstalls specified package",
    "\t-download [package name]  Downloads new or updated components",
    "\t-delete [package name]    Deletes downloaded components of ",
    "\t                          specified package",
    "\t-remove [package name]    Deletes specified packages",
    "\t-list [package name]      Lists all new/updated components",
    "\t                          that can be downloaded",
    "\t-makePTF [package name]   Creates PTF file for specified package",
    "\t-loadPTF [file]           Creates a Package from file",
    "\t-loadDPF [file]           Loads a delta package",
    "\t-makeNPF [package name]   Creates a package file with components for",
    "\t                          installing on other machines",
    "\t-loadNPF [file]           Creates new package from file with a",
    "\t                          populated cache dir\n",
    "The following commands do not need the [package name] argument:",
    "\n\t-packages                 Views all packages names created by -new",
    "\t-setup                    Sets up the network settings",
    "\t-version                  Dispaly the software version number",
    "\nPlease refer to documentation for more information"};

/// Calls visit for each switch word of the line and the value that follows "-path", so every
/// pass skips the same words.
template <typename Visit>
void ForEachSwitch(const std::vector<std::string>& words, Visit visit)
{
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "-path") {
            if (i + 1 < words.size())
                visit(word, words[++i]);
        } else if (word == "-readEULA" || word == "-instwarnoff" || word == "-debug" ||
                   word == "-ntrace" || word == "-dryrun" || word == "-json") {
            visit(word, std::string());
        }
    }
}

bool IsSwitchWord(const std::string& word)
{
    return word == "-readEULA" || word == "-instwarnoff" || word == "-debug" ||
           word == "-ntrace" || word == "-path" || word == "-dryrun" || word == "-json";
}

/// Edits (insert, delete, replace) between two words, ignoring case.
size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

/// The first word that is neither a switch nor the value of "-path": what the user meant as
/// the command. Empty when the line holds only switches.
std::string FirstNonSwitchWord(const std::vector<std::string>& words)
{
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "-path") {
            ++i;
            continue;
        }
        if (!IsSwitchWord(words[i]))
            return words[i];
    }
    return std::string();
}

/// Why the line holds no command, and the nearest command word when one is close.
void ExplainUnknownCommand(const std::vector<std::string>& words)
{
    const std::string word = FirstNonSwitchWord(words);
    if (word.empty()) {
        std::fprintf(stderr, "NUV_CMD: no command word on the line, only switches.\n");
        return;
    }
    const char* nearest = nullptr;
    size_t best = 0;
    for (const CommandRow& row : kCommands) {
        if (row.word[0] == '\0')
            continue;
        const size_t distance = EditDistance(word, row.word);
        if (!nearest || distance < best) {
            nearest = row.word;
            best = distance;
        }
    }
    // Far from every command: a guess would only mislead.
    if (nearest && best <= std::max<size_t>(2, word.size() / 3))
        std::fprintf(stderr, "NUV_CMD: unknown command word \"%s\"; did you mean %s?\n",
                     word.c_str(), nearest);
    else
        std::fprintf(stderr, "NUV_CMD: unknown command word \"%s\".\n", word.c_str());
}

/// Where the traces of this run are, for the line that explains a failure.
std::string TraceHint()
{
    const std::string folder = QDir::currentPath().toStdString();
    if (IsDebugTraceOn() || IsNetTraceOn())
        return "traces: " + folder + "/NUVdebugtrace.txt and " + folder + "/FTPLog.txt";
    return "run again with -debug -ntrace to write the traces NUVdebugtrace.txt and FTPLog.txt "
           "in " + folder;
}

const char* PermissionFolder(int result)
{
    switch (result) {
    case rc::CacheDirNotWritable: return "cache";
    case rc::PackagesDirNotWritable: return "packages";
    case rc::PTFDirNotWritable: return "PTF";
    default: return nullptr;
    }
}

}  // namespace

void PrintUsage(const std::string& programPath)
{
    std::printf("Usage: %s [arg] [package name]\n", programPath.c_str());
    for (const char* line : kUsageAfterFirstLine)
        std::printf("%s\n", line);
    std::fflush(stdout);
}

void StartCore()
{
    CNUVOptions::Instance()->Read();
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    nuv->NUVSetup();
    if (!nuv->LastConnectionFailure().empty())
        std::fprintf(stderr, "NUV_CMD: %s; working offline; %s\n",
                     nuv->LastConnectionFailure().c_str(), TraceHint().c_str());
    // A warning only: commands that need the folder fail on their own.
    if (const char* folder = PermissionFolder(nuv->TestPermissions())) {
        std::printf("\nNUV_CMD Error: %s has permissions restricting your ability to create "
                    "files\nFiles may need to be created in this location, please check file "
                    "permissions\n\n",
                    folder);
        std::fflush(stdout);
    }
}

void ApplyTraceSwitches(const std::vector<std::string>& words)
{
    ForEachSwitch(words, [](const std::string& word, const std::string&) {
        if (word == "-debug") {
            DebugTraceOn();
            DebugTraceReset();
            Trace("NUV( %s ) debug trace activated", NUVCmdVersion().c_str());
        } else if (word == "-ntrace") {
            Trace("Network Trace activated");
            NetTraceOn(true);
        }
    });
}

void ApplyJsonSwitch(const std::vector<std::string>& words)
{
    bool json = false;
    ForEachSwitch(words, [&json](const std::string& word, const std::string&) {
        json = json || word == "-json";
    });
    if (!json)
        return;
    // Standard output keeps only the document: it moves to a descriptor of its own, and every
    // message (ours, the core's, a child's) goes where standard error goes.
    std::fflush(stdout);
    const int document = ::dup(STDOUT_FILENO);
    FILE* stream = document < 0 ? nullptr : ::fdopen(document, "w");
    if (!stream || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        if (stream)
            std::fclose(stream);
        return;   // the document then follows the messages on standard output
    }
    CNUVProgram::Instance()->SetJsonOutput(stream);
}

void ApplySwitches(const std::vector<std::string>& words)
{
    CNUVOptions* options = CNUVOptions::Instance();
    ForEachSwitch(words, [options](const std::string& word, const std::string& value) {
        if (word == "-readEULA")
            options->m_bShowEULA = false;
        else if (word == "-instwarnoff")
            options->m_bDisplayWarningMessage = false;
        else if (word == "-path")
            CNUVProgram::Instance()->SetInstallationPath(value);
        else if (word == "-dryrun")
            CNUVProgram::Instance()->SetDryRun(true);
    });
}

int DispatchCommand(const std::vector<std::string>& words)
{
    const std::string programPath = words.empty() ? std::string() : words[0];
    for (size_t i = 1; i < words.size(); ++i) {
        // The words a Linux user tries first; they are no package names either.
        if (words[i] == "--help" || words[i] == "-h") {
            PrintUsage(programPath);
            return 0;
        }
        if (words[i] == "--version")
            return CNUVProgram::Instance()->RunCommand(cmdcode::Version, std::string());
        bool commandWord = false;
        for (const CommandRow& row : kCommands) {
            if (words[i] != row.word)
                continue;
            commandWord = true;
            if (row.arguments == 0)
                return CNUVProgram::Instance()->RunCommand(row.code, std::string());
            if (i + 1 < words.size())
                return CNUVProgram::Instance()->RunCommand(row.code, words[i + 1]);
        }
        if (commandWord) {
            std::printf("Syntax Error\n");
            PrintUsage(programPath);
            return 1;
        }
    }
    ExplainUnknownCommand(words);
    std::fflush(stderr);
    std::printf("Unknown command\n");
    PrintUsage(programPath);
    return 2;
}
