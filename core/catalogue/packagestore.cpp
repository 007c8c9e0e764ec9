#include "core/catalogue/packagestore.h"

#include "core/base/fileutils.h"
#include "core/base/outputmodule.h"
#include "core/base/resultcodes.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"
#include "core/catalogue/statefiles.h"

#include <algorithm>

const char CPackageStore::kFolder[] = "packages";
const char CPackageStore::kDetailsFile[] = "package.dat";
const char CPackageStore::kStateFile[] = "packages.dat";

namespace {

bool LessIgnoringCase(const std::string& left, const std::string& right)
{
    return ToLower(left) < ToLower(right);
}

}  // namespace

std::string CPackageStore::PackageFolder(const std::string& name) { return JoinPath(kFolder, name); }

std::string CPackageStore::DetailsPath(const std::string& name)
{
    return JoinPath(PackageFolder(name), kDetailsFile);
}

std::vector<std::string> CPackageStore::GetPackageList()
{
    std::vector<std::string> names;
    for (const std::string& name : ListSubFolders(kFolder)) {
        const std::string folder = PackageFolder(name);
        if (EntryExists(JoinPath(folder, kStateFile)) && EntryExists(JoinPath(folder, kDetailsFile)))
            names.push_back(name);
    }
    // Names that differ only in case keep their byte order.
    std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

bool CPackageStore::PackageExists(const std::string& name)
{
    const std::vector<std::string> packages = GetPackageList();
    return std::find(packages.begin(), packages.end(), name) != packages.end();
}

std::string CPackageStore::GetInstalledPackage()
{
    const std::string root = CStateFiles::GetInstallationDir();
    if (root.empty())
        return std::string();
    for (const std::string& name : GetPackageList())
        if (EntryExists(CStateFiles::InstalledStatePath(ToNativeSeparators(root), name)))
            return name;
    return std::string();
}

bool CPackageStore::IsSafePackageName(const std::string& name)
{
    // Stricter than one path segment: a blank name and any ".." are refused as well.
    return IsSinglePathSegment(TrimSpaces(name)) && name.find("..") == std::string::npos;
}

std::string CPackageStore::UnsafePackageNameMessage(const std::string& name)
{
    return "Invalid package name '" + name +
           "': a package name cannot be blank or contain \"/\", \"\\\" or \"..\"\n";
}

int CPackageStore::CheckPackageName(const std::string& name)
{
    if (name.empty() || IsSafePackageName(name))
        return rc::Success;
    Trace("Refusing package name <%s>", name.c_str());
    NUVDisplay("%s", UnsafePackageNameMessage(name).c_str());
    return rc::NoPackageName;
}
