#include "core/packagefiles/packagefilearchive.h"

#include "core/base/fileutils.h"
#include "core/base/processbox.h"
#include "core/base/resultcodes.h"
#include "core/base/runstate.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <algorithm>

#include <sys/stat.h>

namespace {

const char kUnzip[] = "unzip";

// Runs the unzip program's listing mode with one switch and returns its standard output.
int ListArchive(const std::string& path, const std::string& listSwitch, std::string* listing)
{
    CProcessBox box(WorkingDirectory(), kUnzip, {"-Z", listSwitch, ArchiveProgramArgument(path)},
                    false);
    box.CaptureOutput(listing);
    return box.Start(true);
}

// The short listing starts each entry with its mode; "l" marks a symbolic link. A link
// unpacked today lets the entries of a later file be written through it, anywhere.
bool HoldsLink(const std::string& listing)
{
    for (const std::string& line : SplitLines(listing)) {
        if (line.size() >= 3 && line[0] == 'l' && (line[1] == 'r' || line[1] == '-') &&
            (line[2] == 'w' || line[2] == '-'))
            return true;
    }
    return false;
}

// The parts of an entry, every separator counted; empty parts dropped.
std::vector<std::string> EntryParts(const std::string& entry)
{
    return SplitFields(ToBackslashes(entry), '/');
}

}  // namespace

bool PackageNameOfFile(const std::string& path, std::string* name)
{
    const std::string file = BaseName(ToBackslashes(path));
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    *name = file.substr(0, dot);
    return true;
}

bool IsPackageFileEntry(const std::string& entry)
{
    if (entry.empty() || LeavesFolder(entry))
        return false;
    const std::vector<std::string> parts = EntryParts(entry);
    if (parts.empty())
        return false;
    for (const std::string& part : parts) {
        if (part == ".")
            return false;
    }
    const bool folder = entry.back() == '/' || entry.back() == '\\';
    if (parts[0] == "cache")
        return true;
    if (parts[0] != "packages")
        return false;
    // A file directly in "packages" is one of the tool's own (connection details, the
    // installation folder record); only package folders may be written.
    return parts.size() >= 3 || folder;
}

int CheckPackageFileEntries(const std::string& path, std::vector<std::string>* entries,
                            std::string* invalid)
{
    const auto refuse = [invalid](const std::string& reason) {
        if (invalid)
            *invalid = reason;
        return rc::InvalidFile;
    };
    std::string names;
    if (int result = ListArchive(path, "-1", &names); result != rc::Success)
        return result;
    std::vector<std::string> listed;
    for (const std::string& line : SplitLines(names)) {
        if (line.empty())
            continue;
        if (!IsPackageFileEntry(line)) {
            Trace("Refusing %s: the entry %s lies outside the package and cache folders",
                  path.c_str(), line.c_str());
            return refuse("the entry " + line + " lies outside the package and cache folders");
        }
        listed.push_back(line);
    }
    std::string modes;
    if (int result = ListArchive(path, "-s", &modes); result != rc::Success)
        return result;
    if (HoldsLink(modes)) {
        Trace("Refusing %s: it holds a symbolic link", path.c_str());
        return refuse("it holds a symbolic link");
    }
    *entries = std::move(listed);
    return rc::Success;
}

std::vector<std::string> PackageFoldersOf(const std::vector<std::string>& entries)
{
    std::vector<std::string> folders;
    for (const std::string& entry : entries) {
        const std::vector<std::string> parts = EntryParts(entry);
        if (parts.size() < 2 || parts[0] != "packages")
            continue;
        const std::string folder = JoinPath(parts[0], parts[1]);
        bool known = false;
        for (const std::string& seen : folders)
            known = known || seen == folder;
        if (!known)
            folders.push_back(folder);
    }
    return folders;
}

int UnpackPackageFile(const std::string& path, int entryCount)
{
    CProcessBox box(WorkingDirectory(), kUnzip, {"-o", ArchiveProgramArgument(path)}, false);
    return RunWithEntryProgress(box, entryCount, "Unpacking " + BaseName(ToBackslashes(path)));
}

int RunWithEntryProgress(CProcessBox& box, int total, const std::string& what)
{
    const CRunState& state = CRunState::Instance();
    int done = 0;
    state.ReportWork(done, total, what);
    box.WatchOutputLines([&](const std::string& line) {
        const std::string word = TrimSpaces(line).substr(0, TrimSpaces(line).find(' '));
        if (word == "inflating:" || word == "extracting:" || word == "creating:" ||
            word == "adding:")
            state.ReportWork(std::min(++done, total), total, what);
    });
    const int result = box.Start(true);
    state.ReportWork(total, total, what);
    return result;
}

std::string ArchiveProgramArgument(const std::string& path)
{
    return !path.empty() && path[0] == '-' ? "./" + path : path;
}

