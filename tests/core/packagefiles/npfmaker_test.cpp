#include "core/packagefiles/npfmaker.h"

#include "core/catalogue/componentholder.h"
#include "core/nuvfunctions.h"
#include "core/base/digest.h"
#include "core/base/resultcodes.h"
#include "core/packagefiles/packagefixture.h"

using namespace packagefixture;
using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

const char kCatalogue[] =
    "[Alpha]\npackage=alpha_1\nversion=1.0.0\ngroup=G\ndescription=Cached\n"
    "[Beta]\npackage=beta_2\nversion=2.0.0\ngroup=G\ndescription=Excluded\n"
    "[Gamma]\npackage=gamma_3\nversion=3.0.0\ngroup=G\ndescription=Unreachable\n"
    "[Delta]\npackage=delta_4.zip\nversion=4.0.0\ngroup=G\ndescription=Fetched\n";

// Two working folders, "one" where packages are made and "two" where they are loaded.
class NPFMakerTest : public testsupport::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_EQ(0, MakeDirPath(Path("one")));
        ASSERT_EQ(0, MakeDirPath(Path("two")));
        Enter("one");
    }
    void TearDown() override
    {
        CDistributionList::destroy();
        TempDirTest::TearDown();
    }
    void Enter(const std::string& folder) { ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(Path(folder)))); }

    // Alpha and the excluded Beta cached, Gamma and Delta not; the files on disk.
    void MakePackage()
    {
        m_Manager = NewPackage(kCatalogue);
        WriteFile("cache/Linux/alpha_1.zip", "alpha archive");
        WriteFile("cache/Linux/beta_2.zip", "beta archive");
        m_Manager->FindHolder("Beta")->GetCurrent()->SetIncluded(false);
        WritePackageFiles(m_Manager);
    }

    CComponentManager* m_Manager = nullptr;
    testsupport::CaptureOutputModule m_Output;
};

TEST_F(NPFMakerTest, RoundTripCarriesPackageAndIncludedArchives)
{
    MakePackage();
    WriteFile("pkg.npf", "an older file, not even an archive");
    FakeDownloader download{{"Delta"}, {}};
    CNPFMaker(m_Manager, download.Function()).MakeNPF();

    EXPECT_EQ("Removing pkg.npf\n"
              "\tbeta_2: Not including excluded component in NPF\n"
              "gamma_3: Not present in cache, attempting download\n"
              "\tgamma_3: Not including in NPF, download failed\n"
              "delta_4.zip: Not present in cache, attempting download\n",
              m_Output.m_Text);
    EXPECT_EQ((std::vector<std::string>{"Gamma", "Delta"}), download.asked);
    EXPECT_EQ((std::vector<std::string>{"cache/Linux/alpha_1.zip", "cache/Linux/delta_4.zip",
                                        "packages/pkg/archives.sha256", "packages/pkg/package.dat",
                                        "packages/pkg/packages.dat"}),
              Entries(Path("one/pkg.npf")));
    EXPECT_EQ(FileSha256(Path("one/cache/Linux/alpha_1.zip")) + "  cache/Linux/alpha_1.zip\n" +
                  FileSha256(Path("one/cache/Linux/delta_4.zip")) + "  cache/Linux/delta_4.zip\n",
              ReadFile(Path("one/packages/pkg/archives.sha256")));
    // The excluded component stays in the state file, marked as such.
    EXPECT_NE(std::string::npos,
              ReadFile(Path("one/packages/pkg/packages.dat")).find("[Beta]\nversion=2.0.0"));

    Enter("two");
    m_Output.m_Text.clear();
    EXPECT_EQ(0, CNPFMaker::LoadNPF(Path("one/pkg.npf")));
    EXPECT_EQ("NPF finished extraction of " + Path("one/pkg.npf") + "\n", m_Output.m_Text);
    EXPECT_EQ((std::vector<std::string>{"pkg"}), CNUVFunctions::Instance()->GetPackageList());
    for (const char* file : {"packages/pkg/package.dat", "packages/pkg/packages.dat",
                             "cache/Linux/alpha_1.zip", "cache/Linux/delta_4.zip"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(ReadFile(Path(std::string("one/") + file)), ReadFile(Path(std::string("two/") + file)));
    }
    EXPECT_FALSE(Exists(Path("two/cache/Linux/beta_2.zip")));
    EXPECT_FALSE(Exists(Path("two/cache/Linux/gamma_3.zip")));
}

TEST_F(NPFMakerTest, AnAliasThatLooksLikeASwitchStillGivesItsFile)
{
    MakePackage();
    CDistributionList::instance()->getCurrentDistribution()->SetAlias("-r");
    WriteFile("packages/-r/package.dat", "details");
    WriteFile("packages/-r/packages.dat", "state");
    EXPECT_EQ(rc::Success, CNPFMaker(m_Manager, FakeDownloader().Function()).MakeNPF());
    EXPECT_EQ((std::vector<std::string>{"cache/Linux/alpha_1.zip", "packages/-r/archives.sha256",
                                        "packages/-r/package.dat", "packages/-r/packages.dat"}),
              Entries(Path("one/-r.npf")));
}

TEST_F(NPFMakerTest, AnExportWithoutTheZipProgramIsAFailure)
{
    MakePackage();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", Path("no-programs-here").c_str());
    const int made = CNPFMaker(m_Manager, FakeDownloader().Function()).MakeNPF();
    qputenv("PATH", path);
    EXPECT_EQ(rc::ChildFailedToStart, made);
    EXPECT_FALSE(Exists(Path("one/pkg.npf")));
}

TEST_F(NPFMakerTest, LoadRefusesBeforeUnpacking)
{
    MakePackage();
    CNPFMaker(m_Manager, FakeDownloader().Function()).MakeNPF();
    ASSERT_TRUE(Exists(Path("one/pkg.npf")));
    Enter("two");
    ASSERT_EQ(0, testsupport::RunProgram("cp", {Path("one/pkg.npf"), "renamed.npf"}, ".").exitCode);
    ASSERT_EQ(0, testsupport::RunProgram("cp", {Path("one/pkg.npf"), "noextension"}, ".").exitCode);
    WriteFile("folder.v2/noextension", "");
    ASSERT_EQ(0, CNPFMaker::LoadNPF(Path("one/pkg.npf")));
    WriteFile("packages/pkg/packages.dat", "kept");

    const struct { const char* path; int result; } cases[] = {
        {"missing.npf", rc::FileDoesNotExist},
        {"noextension", rc::InvalidFile},
        {"folder.v2/noextension", rc::InvalidFile},   // only the file name counts
        {"../one/pkg.npf", rc::PackageNameAlreadyDefined},
        // A new name does not let the file overwrite the package it was exported from.
        {"renamed.npf", rc::PackageNameAlreadyDefined},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.result, CNPFMaker::LoadNPF(c.path));
    }
    EXPECT_EQ("kept", ReadFile("packages/pkg/packages.dat"));
}

TEST_F(NPFMakerTest, HostileArchivesAreRefusedWithNothingWritten)
{
    Enter("two");
    const std::string outside = Path("outside");
    WriteRawZip("up.npf", {"packages/up/package.dat", "../evil"});
    WriteRawZip("absolute.npf", {"cache/Linux/a.zip", outside});
    WriteRawZip("details.npf", {"packages/Details.data"});
    WriteRawZip("elsewhere.npf", {"packages/x/package.dat", "bin/x"});
    WriteRawZip("dotted.npf", {"cache/../../evil"});
    WriteRawZip("backslashed.npf", {"cache\\..\\..\\evil"});
    WriteLinkZip(Path("two/link.npf"), outside);
    const std::set<std::string> before = Tree(Path("two"));

    for (const char* file : {"up.npf", "absolute.npf", "details.npf", "elsewhere.npf",
                             "dotted.npf", "backslashed.npf", "link.npf"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(rc::InvalidFile, CNPFMaker::LoadNPF(file));
    }
    EXPECT_EQ(before, Tree(Path("two")));
    EXPECT_FALSE(Exists(Path("evil")));
    EXPECT_FALSE(Exists(outside));
}

TEST_F(NPFMakerTest, LoadRefusesAnArchiveThatDiffersFromItsDigestWithNothingWritten)
{
    MakePackage();
    ASSERT_EQ(rc::Success, CNPFMaker(m_Manager, FakeDownloader().Function()).MakeNPF());
    const std::string digest = FileSha256("cache/Linux/alpha_1.zip");
    WriteFile("cache/Linux/alpha_1.zip", "changed after the export");
    ASSERT_EQ(0, testsupport::RunProgram("zip", {"-q", "pkg.npf", "cache/Linux/alpha_1.zip"}, ".")
                     .exitCode);
    Enter("two");
    m_Output.m_Text.clear();

    EXPECT_EQ(rc::ChecksumMismatch, CNPFMaker::LoadNPF(Path("one/pkg.npf")));
    EXPECT_EQ("\tcache/Linux/alpha_1.zip does not match its checksum: expected sha256 " + digest +
                  ", received " + FileSha256(Path("one/cache/Linux/alpha_1.zip")) + "\n",
              m_Output.m_Text);
    EXPECT_EQ(std::set<std::string>{}, Tree(Path("two")));
}

}  // namespace
