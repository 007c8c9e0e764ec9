#include "core/catalogue/distribution.h"

#include "core/catalogue/componentholder.h"
#include "core/base/resultcodes.h"
#include "support/componentarchive.h"
#include "support/testsupport.h"

using namespace testsupport;

namespace {

/// The set-up program and the service scripts are shell scripts that record their name,
/// arguments and working folder.
class PlatformSetupTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_Package = std::make_unique<CTestPackage>(Path("root"));
        for (const char* script : {"root/R5Install", "root/svc/bin/stop", "root/svc/bin/start"})
            WriteFile(Path(script), "echo \"${0##*/} $* @${PWD##*/}\" >> " + Path("calls.log") + "\n");
    }
    /// The calls recorded since the last look.
    std::string Calls()
    {
        const std::string calls = ReadFile(Path("calls.log"));
        WriteFile(Path("calls.log"), "");
        return calls;
    }
    CDistribution& Distribution() { return m_Package->m_Distribution; }

    std::unique_ptr<CTestPackage> m_Package;
};

}  // namespace

TEST_F(PlatformSetupTest, SetupAndRemovalArgumentsFollowTheBaseVersion)
{
    CComponent* base = m_Package->Add("R5_Base", "6.4.0");
    const std::string root = Path("root");
    struct Case {
        const char* installedBase;
        bool removal;
        bool flag;
        std::string expected;
    };
    const Case cases[] = {
        {"6.4.0", false, true, "R5Install -upgrade @root\n"},
        {"6.3.9", false, true, "R5Install -install " + root + " @root\n"},
        {"6.4.0", false, false, "R5Install -install " + root + " @root\n"},
        {"6.4.0", true, true, "R5Install -stop @root\n"},
        {"6.4.0", true, false, "R5Install -total_uninstall @root\n"},
        {"6.3.9", true, true, "R5Install -remove @root\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.installedBase) + (c.removal ? " removal " : " set-up ") +
                     (c.flag ? "flag" : "no flag"));
        base->GetHolder()->SetInstalledVersion(CVersion(c.installedBase));
        Distribution().SetSetup("R5INSTALL -install $TESSOM_ROOT");
        Distribution().SetRemove("r5install -remove");
        const int result = c.removal ? Distribution().DoR5Remove(c.flag) : Distribution().DoR5Setup(c.flag);
        EXPECT_EQ(rc::Success, result);
        EXPECT_EQ(c.expected, Calls());
    }

    Distribution().SetSetup("r5install -install");
    EXPECT_EQ(rc::R5SetupSyntaxError, Distribution().DoR5Setup(false));
    Distribution().SetRemove("r5install -remove now");
    EXPECT_EQ(rc::R5SetupSyntaxError, Distribution().DoR5Remove(false));
    Distribution().SetSetup("");
    EXPECT_EQ(rc::NoCommandsSpecified, Distribution().DoR5Setup(false));
    // Any other program gets every word, the root word replaced.
    Distribution().SetSetup("svc/bin/start a $TESSOM_ROOT");
    EXPECT_EQ(rc::Success, Distribution().DoR5Setup(true));
    EXPECT_EQ("start a " + root + " @root\n", Calls());
}

TEST_F(PlatformSetupTest, ServiceScriptsRunInTheirOwnFolder)
{
    Distribution().SetStop("svc\\bin\\stop");
    Distribution().SetStart("svc/bin/start");
    EXPECT_EQ(rc::Success, Distribution().StopServices());
    EXPECT_EQ(rc::Success, Distribution().StartServices());
    EXPECT_EQ("stop  @bin\nstart  @bin\n", Calls());
    EXPECT_EQ("svc/bin/stop", Distribution().GetStop());   // stored converted
    Distribution().SetStart("SVC/Bin/Start");   // written where names ignore case
    EXPECT_EQ(rc::Success, Distribution().StartServices());
    EXPECT_EQ("start  @bin\n", Calls());

    Distribution().SetStart("svc/bin/missing");
    EXPECT_EQ(rc::NoStopServiceScript, Distribution().StartServices());
    Distribution().SetStop("svc/bin/missing");
    EXPECT_EQ(rc::ChildFailedToStart, Distribution().StopServices());
    Distribution().SetStop("");
    EXPECT_EQ(rc::Success, Distribution().StopServices());
}
