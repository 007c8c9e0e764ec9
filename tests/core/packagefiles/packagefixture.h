#pragma once

// Helpers the package-file tests share: a package on disk in the current working folder,
// archives with names the zip program would never write, and listings.

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/base/fileutils.h"
#include "core/packagefiles/archivedownloader.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace packagefixture {

/// A zip archive whose entries carry exactly these names (each holding its own name).
inline void WriteRawZip(const std::string& path, const std::vector<std::string>& names)
{
    std::vector<std::string> args = {
        "-c",
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
        "    for n in sys.argv[2:]: z.writestr(n, n)\n",
        path};
    args.insert(args.end(), names.begin(), names.end());
    const testsupport::ProgramRun run = testsupport::RunProgram("/usr/bin/python3", args, ".");
    ASSERT_EQ(0, run.exitCode) << run.err;
}

/// A zip archive holding "cache/link", a symbolic link to target.
inline void WriteLinkZip(const std::string& path, const std::string& target)
{
    const std::string scratch = path + ".d";
    ASSERT_EQ(0, MakeDirPath(scratch + "/cache"));
    ASSERT_EQ(0, CreateLink(scratch + "/cache", target, "link"));
    const testsupport::ProgramRun run =
        testsupport::RunProgram("zip", {"-y", path, "cache/link"}, scratch);
    ASSERT_EQ(0, run.exitCode) << run.err;
}

/// Entry names as the unzip program lists them, sorted.
inline std::vector<std::string> Entries(const std::string& archive)
{
    const testsupport::ProgramRun run = testsupport::RunProgram("unzip", {"-Z1", archive}, ".");
    EXPECT_EQ(0, run.exitCode) << run.err;
    std::vector<std::string> names;
    for (const QString& line : QString::fromStdString(run.out).split('\n', Qt::SkipEmptyParts))
        names.push_back(line.toStdString());
    std::sort(names.begin(), names.end());
    return names;
}

/// Every path below root, relative to it, sorted.
inline std::set<std::string> Tree(const std::string& root)
{
    std::set<std::string> paths;
    const QDir base(QString::fromStdString(root));
    QDirIterator it(base.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                    QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.insert(base.relativeFilePath(it.next()).toStdString());
    return paths;
}

/// A downloader that records the names it is asked for and "downloads" those in available
/// by writing the archive into the cache, as the component download does.
struct FakeDownloader {
    std::vector<std::string> available;
    std::vector<std::string> asked;

    ArchiveDownloader Function()
    {
        return [this](CComponent& record) {
            asked.push_back(record.GetName());
            if (std::find(available.begin(), available.end(), record.GetName()) == available.end())
                return 34;
            testsupport::WriteFile(record.ArchivePath(), "fetched " + record.GetName());
            record.GetHolder()->SetDownloadedVersion(record.GetVersion());
            return 0;
        };
    }
};

/// The package "pkg" of a Linux distribution "Main", made current, its catalogue read from
/// catalogue; the caller adjusts the state and writes the files with WritePackageFiles.
inline CComponentManager* NewPackage(const std::string& catalogue)
{
    CDistributionList::destroy();
    CDistributionList* list = CDistributionList::instance();
    list->addDistributions("[Main]\npath=main\nplatform=Linux\npackagetype=zip\n", "", false);
    list->setCurrentDistribution("Main");
    CDistribution* distribution = list->getCurrentDistribution();
    distribution->SetAlias("pkg");
    distribution->SetPlatform(2);
    CComponentManager* manager = distribution->GetComponentManager();
    EXPECT_EQ(0, manager->ReadPDF(catalogue, "main/", ".zip"));
    return manager;
}

/// packages/pkg/package.dat and packages/pkg/packages.dat of the current package.
inline void WritePackageFiles(CComponentManager* manager)
{
    ASSERT_TRUE(MakeDirPath("packages/pkg") == 0 || MakeDirPath("packages/pkg") == 105);
    ASSERT_EQ(0, CDistributionList::instance()->writeDistributionDetails("packages/pkg/package.dat"));
    ASSERT_EQ(0, manager->WriteDownloadedState());
}

}  // namespace packagefixture
