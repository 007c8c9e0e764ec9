// The package store of the facade on real working folders, off-line.
#include "core/catalogue/distributionlist.h"
#include "core/nuvfunctions.h"
#include "core/base/resultcodes.h"
#include "portability/systemenv.h"
#include "support/coreapp.h"
#include "support/testsupport.h"

#include <QDataStream>
#include <QDir>
#include <QFile>

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

/// Reports a fixed free-space figure for every path.
class FixedFreeSpace : public CSystemEnv {
public:
    explicit FixedFreeSpace(long long bytes) : m_Bytes(bytes) {}
    long long FreeDiskSpace(const std::string&) const override { return m_Bytes; }

private:
    long long m_Bytes;
};

class PackageStoreTest : public testsupport::TempDirTest {
protected:
    void SetUp() override
    {
        testsupport::EnsureCoreApplication();
        TempDirTest::SetUp();
        CDistributionList::destroy();
        CDistributionList::instance()->addDistributions("[Dist]\npackagetype=zip\nplatform=linux\n",
                                                        "", true);
        m_Nuv->SetOnline(false);
        m_Nuv->m_bPTFReferenceOnly = false;
    }

    void TearDown() override
    {
        CSystemEnv::Replace(nullptr);
        CDistributionList::destroy();
        TempDirTest::TearDown();
    }

    void MakePackage(const std::string& name, const std::string& details)
    {
        WriteFile(Path("packages/" + name + "/package.dat"), details);
        WriteFile(Path("packages/" + name + "/packages.dat"), testsupport::FreshStateFile());
    }

    CNUVFunctions* m_Nuv = CNUVFunctions::Instance();
    testsupport::CaptureOutputModule m_Output;
};

const std::string kDetails = "Dist\n/opt/r5\nsetup.sh\nremove.sh\nstart.sh\nstop.sh\n.zip\n2\ntag\n";

}  // namespace

TEST_F(PackageStoreTest, OpeningNeedsBothFilesAndRewritesOlderDetailsAsText)
{
    WriteFile(Path("packages/half/package.dat"), kDetails);
    EXPECT_EQ(rc::PackageNotFound, m_Nuv->OpenPackage("half"));
    EXPECT_EQ("Opening Package: half\n", m_Output.m_Text);

    // The older form: big-endian counted UTF-16 strings, three to six of them. A string of
    // five characters has the count 10, a line-feed byte.
    const struct {
        std::string name;
        QStringList strings;
        std::string rewritten;
    } cases[] = {
        {"old", {"Old Dist", "/opt/old", "setup.sh"}, "Old Dist\n/opt/old\nsetup.sh\n\n\n\n\n0\n\n"},
        {"five", {"Five5", "/opt5", "setup", "r.sh", "start", "stop"},
         "Five5\n/opt5\nsetup\nr.sh\nstart\nstop\n\n0\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(QString::fromStdString(Path("packages/" + c.name + "/package.dat")));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("packages/" + c.name))));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QDataStream stream(&file);
        stream.setVersion(QDataStream::Qt_4_0);
        for (const QString& text : c.strings)
            stream << text;
        file.close();
        WriteFile(Path("packages/" + c.name + "/packages.dat"), testsupport::FreshStateFile());

        m_Output.m_Text.clear();
        EXPECT_EQ(rc::Success, m_Nuv->OpenPackage(c.name));
        EXPECT_EQ(c.rewritten, ReadFile(Path("packages/" + c.name + "/package.dat")));
        EXPECT_EQ("Opening Package: " + c.name + "\n\nReading Distribution Info   0%\r\n",
                  m_Output.m_Text);
        const CDistribution* current = CDistributionList::instance()->getCurrentDistribution();
        ASSERT_NE(nullptr, current);
        EXPECT_EQ(c.strings[0].toStdString(), current->GetName());
        EXPECT_EQ(c.name, current->GetAlias());
    }
    EXPECT_FALSE(m_Nuv->m_bCatalogueFromServer);
}

TEST_F(PackageStoreTest, NewPackagesNeedRoomAndAFreeName)
{
    const std::string tag(300, 't');
    EXPECT_EQ(rc::Success, m_Nuv->CreateNewPackage(0, "/opt/r5", "pkg", tag));
    EXPECT_EQ("Dist\n/opt/r5\n\n\n\n\n.zip\n2\n" + tag.substr(0, 254) + "\n",
              ReadFile(Path("packages/pkg/package.dat")));
    EXPECT_TRUE(Exists(Path("packages/pkg/packages.dat")));
    EXPECT_EQ(rc::PackageNameAlreadyDefined, m_Nuv->CreateNewPackage(0, "/x", "pkg", ""));
    EXPECT_EQ(rc::NoCurrentDistribution, m_Nuv->CreateNewPackage(1, "/x", "other", ""));
    EXPECT_FALSE(Exists(Path("packages/other")));

    const struct {
        long long free;
        int expected;
    } cases[] = {
        {100LL << 20, rc::NotEnoughDiskSpace},
        {(200LL << 20) - 1, rc::NotEnoughDiskSpace},
        {200LL << 20, rc::Success},
        {-1, rc::Success},   // unknown: not a reason to refuse
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.free);
        CSystemEnv::Replace(std::make_unique<FixedFreeSpace>(c.free));
        const std::string name = "p" + std::to_string(c.free);
        EXPECT_EQ(c.expected, m_Nuv->CreateNewPackage(0, "/opt/r5", name, ""));
        EXPECT_EQ(c.expected == rc::Success, Exists(Path("packages/" + name)));
        EXPECT_EQ(c.expected, m_Nuv->OpenPackage("pkg"));
    }
}

TEST_F(PackageStoreTest, CopyChangesOnlyTheRootAndLeavesNothingHalfMade)
{
    MakePackage("pkg", kDetails);
    MakePackage("taken", "Other\n/srv\n");
    EXPECT_EQ(rc::PackageNameAlreadyDefined, m_Nuv->CopyPackage("pkg", "taken", "/new"));
    EXPECT_EQ("Other\n/srv\n", ReadFile(Path("packages/taken/package.dat")));

    WriteFile(Path("packages/pkg/packages.dat"), "[A]\nversion=1.0\n");
    EXPECT_EQ(rc::Success, m_Nuv->CopyPackage("pkg", "copy", "/new/root"));
    EXPECT_EQ("Dist\n/new/root\nsetup.sh\nremove.sh\nstart.sh\nstop.sh\n.zip\n2\ntag\n",
              ReadFile(Path("packages/copy/package.dat")));
    EXPECT_EQ("[A]\nversion=1.0\n", ReadFile(Path("packages/copy/packages.dat")));

    const struct {
        const char* source;
        int expected;
    } failures[] = {
        {"missing", rc::CantOpenSource},
        {"oneline", rc::InvalidFile},
    };
    MakePackage("oneline", "Dist\n");
    for (const auto& f : failures) {
        SCOPED_TRACE(f.source);
        EXPECT_EQ(f.expected, m_Nuv->CopyPackage(f.source, "broken", "/new"));
        EXPECT_FALSE(Exists(Path("packages/broken")));
    }
}

TEST_F(PackageStoreTest, DeleteRefusesTheInstalledPackage)
{
    MakePackage("pkg", kDetails);
    MakePackage("other", kDetails);
    WriteFile(Path("packages/InstallDir.nuv"), Path("r5") + "\n");
    WriteFile(Path("r5/installer/packages.pkg"), "");
    EXPECT_EQ(rc::PackageInstalled, m_Nuv->DeletePackage("pkg"));
    EXPECT_TRUE(Exists(Path("packages/pkg/package.dat")));
    EXPECT_EQ(rc::PackageNotFound, m_Nuv->DeletePackage("none"));
    EXPECT_EQ(rc::PackageNotFound, m_Nuv->DeletePackage(""));
    EXPECT_EQ(rc::Success, m_Nuv->DeletePackage("other"));
    EXPECT_FALSE(Exists(Path("packages/other")));
}

TEST_F(PackageStoreTest, NamesThatLeaveThePackagesFolderAreRefused)
{
    // "outside" looks like a package one level up: "../outside" would reach it.
    WriteFile(Path("outside/package.dat"), kDetails);
    WriteFile(Path("outside/packages.dat"), testsupport::FreshStateFile());
    MakePackage("pkg", kDetails);
    for (const std::string name : {"../outside", "..", "a/b", "a\\b", "   ", ".", "x..y"}) {
        SCOPED_TRACE(name);
        m_Output.m_Text.clear();
        EXPECT_FALSE(CNUVFunctions::IsSafePackageName(name));
        EXPECT_EQ(rc::NoPackageName, m_Nuv->DeletePackage(name));
        EXPECT_EQ(rc::NoPackageName, m_Nuv->OpenPackage(name));
        EXPECT_EQ(rc::NoPackageName, m_Nuv->CreateNewPackage(0, "/r5", name, ""));
        EXPECT_EQ(rc::NoPackageName, m_Nuv->CopyPackage("pkg", name, "/r5"));
        EXPECT_EQ(rc::NoPackageName, m_Nuv->CopyPackage(name, "copy", "/r5"));
        std::string fiveTimes;
        for (int i = 0; i < 5; ++i)
            fiveTimes += CNUVFunctions::UnsafePackageNameMessage(name);
        EXPECT_EQ(fiveTimes, m_Output.m_Text);
        EXPECT_EQ("", m_Nuv->GetDetailsForPackage(name).distribution);
    }
    EXPECT_EQ("Invalid package name '../x': a package name cannot be blank or contain \"/\", "
              "\"\\\" or \"..\"\n",
              CNUVFunctions::UnsafePackageNameMessage("../x"));
    EXPECT_TRUE(Exists(Path("outside/package.dat")));
    EXPECT_FALSE(Exists(Path("copy")));
    EXPECT_FALSE(Exists(Path("packages/copy")));
    EXPECT_EQ((std::vector<std::string>{"pkg"}), m_Nuv->GetPackageList());
    for (const std::string name : {" a ", ".hidden", "a.b", "%s"})
        EXPECT_TRUE(CNUVFunctions::IsSafePackageName(name)) << name;
}
