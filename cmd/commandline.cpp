#include "cmd/commandline.h"

#include "cmd/nuvprogram.h"
#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "core/base/resultcodes.h"
#include "core/base/trace.h"

#include <cstdio>

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
    // A warning only: commands that need the folder fail on their own.
    if (const char* folder = PermissionFolder(nuv->TestPermissions())) {
        std::printf("\nNUV_CMD Error: %s has permissions restricting your ability to create "
                    "files\nFiles may need to be created in this location, please check file "
                    "permissions\n\n",
                    folder);
        std::fflush(stdout);
    }
}

void ApplySwitches(const std::vector<std::string>& words)
{
    CNUVOptions* options = CNUVOptions::Instance();
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "-readEULA") {
            options->m_bShowEULA = false;
        } else if (word == "-instwarnoff") {
            options->m_bDisplayWarningMessage = false;
        } else if (word == "-debug") {
            DebugTraceOn();
            DebugTraceReset();
            Trace("NUV( %s ) debug trace activated", NUVCmdVersion().c_str());
        } else if (word == "-ntrace") {
            Trace("Network Trace activated");
            NetTraceOn(true);
        } else if (word == "-path" && i + 1 < words.size()) {
            CNUVProgram::Instance()->SetInstallationPath(words[++i]);
        }
    }
}

int DispatchCommand(const std::vector<std::string>& words)
{
    const std::string programPath = words.empty() ? std::string() : words[0];
    for (size_t i = 1; i < words.size(); ++i) {
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
    std::printf("Unknown command\n");
    PrintUsage(programPath);
    return 2;
}
