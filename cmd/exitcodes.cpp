#include "cmd/exitcodes.h"

#include "core/base/nuvresult.h"
#include "core/base/resultcodes.h"

#include <algorithm>

namespace {

const char kOpening[] = "any command that opens a package";
const char kArchiveRun[] = "-makeNPF, -loadNPF, -loadDPF: the zip or unzip run";

}  // namespace

const std::vector<ExitCodeRow>& ExitCodeTable()
{
    static const std::vector<ExitCodeRow> table = {
        {rc::Success, "success", "every command; the usage text, --help, -h, --version"},
        {1, "Syntax Error",
         "a command word without its argument; -setup: the server was refused; -dryrun or -json "
         "with a command that has no such form"},
        {2, "Unknown command", "no command word on the line"},
        {rc::DownloadFailed, nullptr, "-download: components failed"},
        {rc::CannotRemoveFile, nullptr, "-remove: a file of the package folder stayed"},
        {rc::CannotRemoveDir, nullptr, "-remove: the package folder stayed"},
        {rc::NotEnoughDiskSpace, nullptr, kOpening},
        {rc::UnsupportedOS, nullptr, "-install: the distribution is for another system"},
        {rc::ChildFailedToStart, nullptr, kArchiveRun},
        {rc::ProcessTimedOut, nullptr, kArchiveRun},
        {rc::InstallFailed, nullptr,
         "-install: components failed, or another package is installed (here or in the root); "
         "-install, -uninstall: a state file could not be saved"},
        {rc::CannotCreateFile, nullptr,
         "-makeNPF wrote no file; -new could not save the selection; -setup, -download, -delete, "
         "-install: a file of the tool could not be saved"},
        {rc::UnknownAction, nullptr, "an empty word where the command should be"},
        {rc::NoCurrentDistribution, nullptr, "-new"},
        {rc::NoPackageSpecified, nullptr,
         "-new, -install, -download, -uninstall, -delete, -list without a name"},
        {rc::NoDistributions, nullptr, "-new: the server listed no distributions"},
        {rc::PackageNameAlreadyDefined, nullptr, "-new, -loadNPF: the name is taken"},
        {rc::NullPointer, nullptr, kOpening},
        {rc::NoPackageName, nullptr, "a package name with \"/\", \"\\\" or \"..\""},
        {rc::DistributionNoLongerSupported, nullptr, kOpening},
        {rc::FailedOpeningPTF, nullptr, "-loadPTF without a file; -makePTF could not write the template"},
        {rc::FileDoesNotExist, nullptr, "-loadNPF: no such file"},
        {rc::PackageInstalled, nullptr, "-remove: the package is installed"},
        {rc::PackageNotFound, nullptr, "no such package; -loadDPF: no such file"},
        {rc::UpgradingPackageMissing, nullptr, "-loadDPF"},
        {rc::InvalidDeltaPackageName, nullptr, "-loadDPF"},
        {rc::FailedCreatingProcess, nullptr, "-loadNPF"},
        {rc::InvalidFile, nullptr, "-loadNPF, -loadDPF: an invalid or unsafe file, or none named"},
        {rc::FailedCreatingPackage, nullptr, "-loadPTF"},
        {rc::UserCancelled, nullptr,
         "-new, -setup: the input ended inside the dialogue; any command ended by SIGINT, SIGTERM or SIGHUP"},
        {rc::CannotDownloadOffline, nullptr, "-download: working offline"},
        {rc::DeletingFromCacheFailed, nullptr, "-delete: components failed"},
        {rc::ProcessFailed, nullptr, kArchiveRun},
        {rc::EULARefused, "licence not accepted", "-install: refused, no answer, or no licence text"},
        {rc::RootNotWritable, "installation root not writable", "-install, -uninstall"},
        {rc::UninstallFailed, nullptr, "-uninstall: components failed"},
        {rc::FileDamaged, nullptr,
         "any command that opens a package: its details or a state file is damaged (the path is "
         "shown)"},
        {rc::WorkingFolderLocked, nullptr,
         "any command but -packages, -version and the usage text: another NUV process holds the folder"},
        {rc::ChecksumMismatch, nullptr,
         "-loadNPF: an archive in the file differs from the digest the file carries for it"},
    };
    return table;
}

bool IsListedExitCode(int code)
{
    const std::vector<ExitCodeRow>& table = ExitCodeTable();
    return std::any_of(table.begin(), table.end(),
                       [code](const ExitCodeRow& row) { return row.code == code; });
}

namespace {

std::string Meaning(const ExitCodeRow& row)
{
    return row.meaning ? row.meaning : CNUVResult(row.code).Text();
}

}  // namespace

std::string RoffText(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string ExitCodeMarkdown()
{
    std::string text = "| code | meaning | when |\n|---|---|---|\n";
    for (const ExitCodeRow& row : ExitCodeTable()) {
        std::string when = row.when;
        std::string escaped;
        for (char c : when)
            escaped += c == '|' ? std::string("\\|") : std::string(1, c);
        text += "| " + std::to_string(row.code) + " | " + Meaning(row) + " | " + escaped + " |\n";
    }
    return text;
}

std::string ExitCodeRoff()
{
    std::string text;
    for (const ExitCodeRow& row : ExitCodeTable())
        text += ".TP\n.B " + std::to_string(row.code) + "\n" + RoffText(Meaning(row)) + ": " +
                RoffText(row.when) + "\n";
    return text;
}

bool ReplaceExitCodeBlock(const std::string& document, std::string* updated)
{
    return ReplaceGeneratedBlock(document, "exit-codes", ExitCodeMarkdown(), ExitCodeRoff(),
                                 updated);
}

bool ReplaceGeneratedBlock(const std::string& document, const std::string& name,
                           const std::string& markdown, const std::string& roff,
                           std::string* updated)
{
    const struct {
        std::string begin;
        std::string end;
        const std::string& table;
    } forms[] = {
        {"<!-- " + name + " begin -->\n", "<!-- " + name + " end -->\n", markdown},
        {".\\\" " + name + " begin\n", ".\\\" " + name + " end\n", roff},
    };
    for (const auto& form : forms) {
        const size_t begin = document.find(form.begin);
        if (begin == std::string::npos)
            continue;
        const size_t from = begin + form.begin.size();
        const size_t end = document.find(form.end, from);
        if (end == std::string::npos)
            return false;
        *updated = document.substr(0, from) + form.table + document.substr(end);
        return true;
    }
    return false;
}
