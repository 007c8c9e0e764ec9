#include "core/catalogue/componentmanager.h"

#include "core/catalogue/distribution.h"
#include "core/nuvfunctions.h"
#include "core/base/resultcodes.h"
#include "core/base/trace.h"
#include "support/componentarchive.h"
#include "support/testsupport.h"

#include <cstdlib>
#include <functional>

using namespace testsupport;

namespace {

/// Captures the output and lets a test act on a line while the batch runs.
class HookedOutput : public CaptureOutputModule {
public:
    std::function<void(const std::string&)> m_Hook;

protected:
    void DisplayText(const std::string& text) override
    {
        CaptureOutputModule::DisplayText(text);
        if (m_Hook)
            m_Hook(text);
    }
};

class BatchTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        CNUVFunctions::Instance()->SetOnline(false);
        ::unsetenv("TESSOM_ROOT");
        WriteFile(Path("packages/pkg/package.dat"), "");
        m_Package = std::make_unique<CTestPackage>(Path("root"));
    }
    void TearDown() override
    {
        ::unsetenv("TESSOM_ROOT");
        TempDirTest::TearDown();
    }
    /// A cached archive installing the one file <name>.txt.
    CComponent* Add(const std::string& name, const std::string& version = "1.0.0",
                    const std::string& depends = std::string())
    {
        MakeArchive(Path(), name, version,
                    {{name + ".txt", version}, {"installer/" + name + "/filelist", name + ".txt\n"}});
        return m_Package->Add(name, version, depends);
    }
    CComponentManager* Manager() { return m_Package->m_Distribution.GetComponentManager(); }
    std::string TakeOutput()
    {
        std::string text;
        text.swap(m_Output.m_Text);
        return text;
    }

    HookedOutput m_Output;
    std::unique_ptr<CTestPackage> m_Package;
};

}  // namespace

TEST_F(BatchTest, InstallsFewestDependenciesFirstAndUninstallsFewestDependantsFirst)
{
    Add("C", "1.0.0", "B");
    Add("B", "1.0.0", "A");
    Add("A");
    ASSERT_EQ(rc::Success, Manager()->MarkAll(CComponent::ActionInstall));
    EXPECT_EQ(rc::Success, Manager()->InstallComponents());
    EXPECT_EQ("Installing...... 001/003:\tA (v1.0.0)\n"
              "Installing...... 002/003:\tB (v1.0.0)\n"
              "Installing...... 003/003:\tC (v1.0.0)\n"
              "Install Successful\n"
              "Installation Finished\n",
              TakeOutput());
    EXPECT_EQ("1.0.0", ReadFile(Path("root/C.txt")));
    EXPECT_EQ(Path("root") + "\n", ReadFile(Path("packages/InstallDir.nuv")));
    EXPECT_EQ("pkg", CNUVFunctions::Instance()->GetInstalledPackage());

    ASSERT_EQ(rc::Success, Manager()->MarkAll(CComponent::ActionUninstall));
    EXPECT_EQ(rc::Success, Manager()->UninstallComponents());
    EXPECT_EQ("Uninstalling.... 001/003:\tC (v1.0.0)\n"
              "Uninstalling.... 002/003:\tB (v1.0.0)\n"
              "Uninstalling.... 003/003:\tA (v1.0.0)\n"
              "Uninstallation Completed\nLog files and other files created at run-time may "
              "still reside in " + Path("root") + "\n",
              TakeOutput());
    EXPECT_FALSE(Exists(Path("root")));   // nothing but empty folders was left
    EXPECT_FALSE(Exists(Path("packages/InstallDir.nuv")));
    EXPECT_EQ(0, Manager()->CountInstalled());
}

TEST_F(BatchTest, CancelAfterTheThirdOfFiveLeavesThreeInstalledAndRecorded)
{
    for (const char* name : {"A", "B", "C", "D", "E"})
        Add(name);
    m_Output.m_Hook = [this](const std::string& text) {
        if (text.find("003/005") != std::string::npos)
            Manager()->Stop();
    };
    ASSERT_EQ(rc::Success, Manager()->MarkAll(CComponent::ActionInstall));

    EXPECT_EQ(rc::UserCancelled, Manager()->InstallComponents());
    EXPECT_EQ(3, Manager()->CountInstalled());
    EXPECT_EQ("1.0.0", ReadFile(Path("root/C.txt")));
    EXPECT_FALSE(Exists(Path("root/D.txt")));
    // What went in is on record, so it can be uninstalled and its package is not removed.
    const std::string record = ReadFile(Path("root/installer/packages.pkg"));
    EXPECT_NE(std::string::npos, record.find("[C]\nversion=1.0.0"));
    EXPECT_EQ(std::string::npos, record.find("[D]"));
    EXPECT_EQ(Path("root") + "\n", ReadFile(Path("packages/InstallDir.nuv")));
    EXPECT_EQ(std::string::npos, m_Output.m_Text.find("Installation Finished"));
}

TEST_F(BatchTest, OfflineUncachedArchiveFailsWith39AndIsNotRecordedAsInstalled)
{
    Add("A");
    CComponent* missing = m_Package->Add("B", "1.0.0");   // no archive in the cache
    ASSERT_EQ(rc::Success, missing->SetAction(CComponent::ActionInstall));

    EXPECT_EQ(rc::InstallFailed, Manager()->InstallComponents());
    EXPECT_EQ("Installing...... 001/001:\tB (v1.0.0)\n"
              "Failed to find B-1.0.0.zip in the cache, working offline skipping download attempt\n"
              "\tInstalling B unsuccessful, Can't install package which is not downloaded\n"
              "\t\n"
              "\nErrors occurred while trying to install the following components:\n\n"
              "B\n"
              "\nSee output above for error details.\n"
              "Installation Finished\n",
              TakeOutput());
    EXPECT_EQ(std::vector<std::string>{"B"}, Manager()->FailedComponents());
    // Nothing was installed, so the package must not lock the machine.
    EXPECT_FALSE(Exists(Path("packages/InstallDir.nuv")));
    EXPECT_FALSE(Exists(Path("root/installer/packages.pkg")));

    ASSERT_EQ(rc::Success, Manager()->MarkAll(CComponent::ActionInstall));
    EXPECT_EQ(rc::InstallFailed, Manager()->InstallComponents());
    EXPECT_EQ(1, Manager()->CountInstalled());
    EXPECT_TRUE(Exists(Path("root/installer/packages.pkg")));

    // The notice names the archive as the catalogue gave it.
    ASSERT_EQ(rc::Success, missing->SetPackage("b-archive"));
    ASSERT_EQ(rc::Success, missing->SetAction(CComponent::ActionInstall));
    TakeOutput();
    EXPECT_EQ(rc::InstallFailed, Manager()->InstallComponents());
    EXPECT_NE(std::string::npos,
              TakeOutput().find("\nFailed to find b-archive in the cache, working offline skipping "
                                "download attempt\n"));
}

TEST_F(BatchTest, UpgradeStopsServicesAndRemovesTheSetupOnceAcrossBothBatches)
{
    for (const char* script : {"root/R5Install", "root/svc/stop", "root/svc/start"})
        WriteFile(Path(script), "echo \"${0##*/} $*\" >> " + Path("calls.log") + "\n");
    CDistribution& distribution = m_Package->m_Distribution;
    distribution.SetSetup("r5install -install $TESSOM_ROOT");
    distribution.SetRemove("r5install -remove");
    distribution.SetStart("svc/start");
    distribution.SetStop("svc/stop");
    ::setenv("TESSOM_ROOT", Path("root").c_str(), 1);
    CComponent* oldBase = Add("R5_Base", "6.4.0");
    CComponent* newBase = Add("R5_Base", "6.5.0");
    for (CComponent* base : {oldBase, newBase}) {
        base->SetNeedSetup(true);
        base->SetNeedStartService(true);
    }
    CComponent* other = Add("X");
    auto calls = [this] {
        const std::string text = ReadFile(Path("calls.log"));
        WriteFile(Path("calls.log"), "");
        return text;
    };

    ASSERT_EQ(rc::Success, oldBase->SetAction(CComponent::ActionInstall));
    ASSERT_EQ(rc::Success, other->SetAction(CComponent::ActionInstall));
    EXPECT_EQ(rc::Success, Manager()->InstallComponents());
    EXPECT_EQ("stop \nR5Install -install " + Path("root") + "\nstart \n", calls());

    // The upgrade: the uninstall batch stops and removes, the install batch does neither again.
    ASSERT_EQ(rc::Success, newBase->SetAction(CComponent::ActionInstall));
    ASSERT_EQ(CComponent::ActionUninstall, oldBase->GetAction());
    EXPECT_EQ(rc::Success, Manager()->UninstallComponents());
    EXPECT_EQ(rc::Success, Manager()->InstallComponents());
    EXPECT_EQ("stop \nR5Install -stop\nR5Install -upgrade\nstart \n", calls());
    EXPECT_EQ("6.5.0", ReadFile(Path("root/R5_Base.txt")));

    ASSERT_EQ(rc::Success, Manager()->MarkAll(CComponent::ActionUninstall));
    EXPECT_EQ(rc::Success, Manager()->UninstallComponents());
    EXPECT_EQ("stop \nR5Install -total_uninstall\n", calls());
}

TEST_F(BatchTest, BatchesTraceTheirFullScopeNames)
{
    DebugTraceOn();
    DebugTraceReset();
    (void)Manager()->DownloadComponents();
    (void)Manager()->DeleteComponents();
    (void)Manager()->InstallComponents();
    (void)Manager()->UninstallComponents();
    DebugTraceOff();
    const std::string trace = ReadFile(Path("NUVdebugtrace.txt"));
    for (const char* scope : {"CComponentManager::DownloadComponents( bool* pStop )",
                              "CComponentManager::DeleteComponents( bool* pStop )",
                              "CComponentManager::InstallComponents( void )",
                              "CComponentManager::UninstallComponents( void )"}) {
        EXPECT_NE(std::string::npos, trace.find(std::string("]:ENTER >>>") + scope + "\n")) << scope;
        EXPECT_NE(std::string::npos, trace.find(std::string("]:EXIT <<<") + scope + "\n")) << scope;
    }
}

TEST_F(BatchTest, DeletingAnArchiveAlreadyGoneIsAFailureButTheBatchEndsWithTheSave)
{
    Add("A");
    m_Package->Add("B", "1.0.0");
    ASSERT_EQ(rc::Success, Manager()->MarkAll(CComponent::ActionDelete));

    EXPECT_EQ(rc::Success, Manager()->DeleteComponents());
    EXPECT_EQ("Deleting........ 001/002:\tA (v1.0.0)\n"
              "Deleting........ 002/002:\tB (v1.0.0)\n"
              "\tFailed to delete B, error File does not exist\n"
              "\nErrors occurred while trying to delete the following components:\n\n"
              "B\n"
              "\nSee output above for error details.\n",
              TakeOutput());
    EXPECT_EQ(std::vector<std::string>{"B"}, Manager()->FailedComponents());
    EXPECT_FALSE(Exists(Path("cache/Linux/A-1.0.0.zip")));
    EXPECT_TRUE(Manager()->FindHolder("A")->GetDownloadedVersion().IsZero());
}
