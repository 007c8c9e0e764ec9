#include "core/packagefiles/npfmaker.h"

#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/packagestore.h"
#include "core/base/digest.h"
#include "core/base/fileutils.h"
#include "core/base/filewriter.h"
#include "core/base/outputmodule.h"
#include "core/base/processbox.h"
#include "core/packagefiles/packagefilearchive.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

namespace {

// The package folder's list of the archives' digests, one "<sha256>  <entry>" line each (the
// form sha256sum reads). Readers that do not know it unpack it as one more file of the
// package folder, which nothing else reads.
const char kDigestFile[] = "archives.sha256";
// Where a file is unpacked to be checked before anything of it reaches its place.
const char kCheckFolder[] = ".nuv-npf-check";

std::string DigestEntry(const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries) {
        const std::vector<std::string> parts = SplitFields(ToBackslashes(entry), '/');
        if (parts.size() == 3 && parts[0] == "packages" && parts[2] == kDigestFile)
            return entry;
    }
    return std::string();
}

// Checks every archive the unpacked digest list names. 0, or 124 after a line for each
// archive that differs (or is missing).
int CompareDigests(const std::string& digestEntry)
{
    std::vector<std::string> lines;
    if (!ReadLines(JoinPath(kCheckFolder, digestEntry), &lines)) {
        Trace("Cannot read the digests %s", digestEntry.c_str());
        return rc::ChecksumMismatch;
    }
    int result = rc::Success;
    for (const std::string& line : lines) {
        const std::string expected = NormalizedSha256(line.substr(0, 64));
        const size_t name = line.find_first_not_of(" *", 64);
        const std::string entry = name == std::string::npos ? std::string() : line.substr(name);
        if (expected.empty() || !IsPackageFileEntry(entry) || entry.compare(0, 6, "cache/") != 0) {
            if (!line.empty())
                Trace("Digest line ignored: %s", line.c_str());
            continue;
        }
        const std::string received = FileSha256(JoinPath(kCheckFolder, entry));
        if (received != expected) {
            DisplayChecksumMismatch(entry, expected, received);
            result = rc::ChecksumMismatch;
        }
    }
    return result;
}

// Unpacks the file into the scratch folder and compares its archives with its digests.
int VerifyArchiveDigests(const std::string& path, const std::string& digestEntry)
{
    (void)DeleteFileTree(kCheckFolder);
    CProcessBox box(WorkingDirectory(), "unzip", {"-o", ArchiveProgramArgument(path), "-d", kCheckFolder},
                    false);
    int result = box.Start(true);
    if (result == rc::Success)
        result = CompareDigests(digestEntry);
    (void)DeleteFileTree(kCheckFolder);
    return result;
}

}  // namespace

CNPFMaker::CNPFMaker(CComponentManager* manager, ArchiveDownloader download)
    : m_pComponentManager(manager), m_Download(std::move(download))
{
}

std::string CNPFMaker::Alias() const
{
    const CDistribution* distribution =
        m_pComponentManager ? m_pComponentManager->GetDistribution() : nullptr;
    return distribution ? distribution->GetAlias() : std::string();
}

std::vector<std::string> CNPFMaker::CollectMembers()
{
    const std::string alias = Alias();
    if (alias.empty())
        return {};
    const std::string folder = JoinPath("packages", alias);
    std::vector<std::string> members = {JoinPath(folder, "package.dat"),
                                        JoinPath(folder, "packages.dat")};
    std::string digests;
    for (int i = 0; i < m_pComponentManager->HolderCount(); ++i) {
        CComponentHolder* holder = m_pComponentManager->GetHolder(i);
        CComponent* record = holder->GetCurrent();
        if (!record)
            continue;
        if (!record->IsIncluded()) {
            NUVDisplay("\t%s: Not including excluded component in NPF\n",
                       record->GetPackage().c_str());
            continue;
        }
        bool available = record->IsInCache(true);
        if (!available) {
            NUVDisplay("%s: Not present in cache, attempting download\n",
                       record->GetPackage().c_str());
            available = m_Download(*record) == rc::Success;
            if (!available)
                NUVDisplay("\t%s: Not including in NPF, download failed\n",
                           record->GetPackage().c_str());
        }
        // An archive that is not there would only make the zip program complain.
        if (!available || holder->GetDownloadedVersion().IsZero())
            continue;
        const std::string path = record->ArchivePath();
        const std::string digest = FileSha256(path);
        if (!record->GetSha256().empty() && digest != record->GetSha256()) {
            DisplayChecksumMismatch(path, record->GetSha256(), digest);
            NUVDisplay("\t%s: Not including in NPF, checksum mismatch\n",
                       record->GetPackage().c_str());
            continue;
        }
        members.push_back(path);
        if (!digest.empty())
            digests += digest + "  " + path + "\n";
    }
    // The loading side checks each archive against the digest taken here.
    const std::string digestFile = JoinPath(folder, kDigestFile);
    if (!digests.empty() && WriteFileAtomically(digestFile, digests))
        members.push_back(digestFile);
    return members;
}

int CNPFMaker::MakeNPF()
{
    CTraceScope scope("CNPFMaker::MakeNPF()");
    const std::string alias = Alias();
    if (alias.empty()) {
        Trace("No package to export");
        return rc::NoPackageName;
    }
    const std::string name = alias + ".npf";
    // The zip program would add to an older file instead of replacing it.
    if (EntryExists(name)) {
        NUVDisplay("Removing %s\n", name.c_str());
        if (int result = RemoveFile(name); result != rc::Success)
            Trace("Cannot remove %s: %d", name.c_str(), result);
    }
    std::vector<std::string> arguments = CollectMembers();
    const int members = int(arguments.size());
    arguments.insert(arguments.begin(), ArchiveProgramArgument(name));
    CProcessBox box(WorkingDirectory(), "zip", arguments, false);
    const int result = RunWithEntryProgress(box, members, "Creating " + name);
    Trace("zip of %s ended with %d", name.c_str(), result);
    if (result != rc::Success)
        return result;
    return IsRegularFile(name) ? rc::Success : rc::CannotCreateFile;
}

int CNPFMaker::LoadNPF(const std::string& path, std::string* blocking, std::string* invalid)
{
    CTraceScope scope("CNPFMaker::LoadNPF()");
    if (!IsRegularFile(path))
        return rc::FileDoesNotExist;
    const std::string converted = ToBackslashes(path);
    std::string name;
    if (!PackageNameOfFile(converted, &name)) {
        if (invalid)
            *invalid = "its file name has no \".\", so it names no package";
        return rc::InvalidFile;
    }
    const auto refuse = [blocking](const std::string& package) {
        if (blocking)
            *blocking = package;
        return rc::PackageNameAlreadyDefined;
    };
    if (CPackageStore::PackageExists(name))
        return refuse(name);

    std::vector<std::string> entries;
    if (int result = CheckPackageFileEntries(converted, &entries, invalid); result != rc::Success)
        return result;
    const std::string digests = DigestEntry(entries);
    if (!digests.empty()) {
        if (int verified = VerifyArchiveDigests(converted, digests); verified != rc::Success)
            return verified;
    }
    // A renamed file still unpacks into the folder of the alias it was exported under; that
    // folder must not be an existing package either.
    for (const std::string& folder : PackageFoldersOf(entries)) {
        if (CPackageStore::PackageExists(BaseName(folder))) {
            Trace("Refusing %s: it would overwrite the package %s", path.c_str(), folder.c_str());
            return refuse(BaseName(folder));
        }
    }
    const int result = UnpackPackageFile(converted, int(entries.size()));
    NUVDisplay("NPF finished extraction of %s\n", converted.c_str());
    return result;
}
