// Start-up pieces of NUV_GUI that need no window: switches, the single-instance lock, the
// transfer label's rate texts, the client-version check and the pulsing on-line label.
#include "core/catalogue/distributionlist.h"
#include "gui/onlinelabel.h"
#include "gui/splashscreen.h"
#include "gui/startup.h"
#include "guifixture.h"

#include <QPushButton>
#include <QTemporaryDir>

using namespace guitest;

TEST(GuiStartupTest, SwitchesReadTheFontSizeAndRefuseBadValues)
{
    const struct {
        QStringList words;
        int fontSize;
        bool usageError;
    } cases[] = {
        {{"NUV_GUI"}, 8, false},
        {{"NUV_GUI", "-font-size", "12"}, 12, false},
        {{"NUV_GUI", "-font-size", "0"}, 8, true},
        {{"NUV_GUI", "-font-size", "abc"}, 8, true},
        {{"NUV_GUI", "-font-size"}, 8, false},            // no following word: ignored
        {{"NUV_GUI", "-Font-Size", "0", "-other"}, 8, false},   // compared exactly
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.join(' ').toStdString());
        const CGuiSwitches switches = ReadSwitches(c.words);
        EXPECT_EQ(c.fontSize, switches.fontSize);
        EXPECT_EQ(c.usageError, switches.usageError);
    }
    const CGuiSwitches all = ReadSwitches({"NUV_GUI", "-debug", "-developer", "-ntrace"});
    EXPECT_TRUE(all.debug && all.developer && all.ntrace);
}

TEST(GuiStartupTest, SecondInstanceIsRefusedWhileTheFirstHoldsTheLock)
{
    // A folder of its own, so a NUV_GUI running on this machine does not hold the lock.
    QTemporaryDir runtime;
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    std::unique_ptr<QLockFile> first = AcquireSingleInstance();
    ASSERT_TRUE(first);
    EXPECT_FALSE(AcquireSingleInstance());
    first.reset();
    EXPECT_TRUE(AcquireSingleInstance());
    qputenv("XDG_RUNTIME_DIR", previous);
}

TEST(GuiStartupTest, TransferLabelShowsTheFileNameAndTheRateInItsUnit)
{
    const struct {
        float rate;
        const char* text;
    } cases[] = {
        {1572864, " App-1.0.0.zip ( 1.50 Mb/s )"},
        {2048, " App-1.0.0.zip ( 2.00 Kb/s )"},
        {1024, " App-1.0.0.zip ( 1024.00 bytes/s )"},
        {0, " App-1.0.0.zip ( 0.00 bytes/s )"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QString(c.text), TransferLabelText("/software/r5/main/App-1.0.0.zip", c.rate));
}

TEST(GuiStartupTest, NewerClientIsRequiredOnlyAboveThisVersion)
{
    for (const auto& [minClient, required] :
         std::vector<std::pair<const char*, bool>>{{"2.0.21", false}, {"2.0.3", false}, {"2.1.0", true}}) {
        CDistributionList::destroy();
        CDistributionList::instance()->addDistributions(
            std::string("[Main]\nminclient=") + minClient + "\n", "", false);
        EXPECT_EQ(required, IsNewerClientRequired()) << minClient;
    }
    CDistributionList::destroy();
}

TEST(GuiStartupTest, OnlineLabelNamesItsStateAndPulsesBetweenDarkAndBright)
{
    EnsureGuiApplication();
    CNUVOnlineLabel label;
    label.SetState(CNUVOnlineLabel::Online);
    EXPECT_EQ(" Online ", label.text());
    EXPECT_EQ("Online: NUV2 connected to server", label.toolTip());
    EXPECT_EQ("Online", label.accessibleName());
    EXPECT_EQ(QColor(0, 192, 0).rgb(), label.palette().color(QPalette::Window).rgb());
    label.SetState(CNUVOnlineLabel::Offline);
    EXPECT_EQ(" Offline ", label.text());
    EXPECT_EQ("Offline: NUV2 not connected to server", label.toolTip());
    // A full cycle is 240 steps: up to 120, back down to 0.
    int highest = 0;
    for (int step = 0; step < 120; ++step) {
        label.SLOTPulse();
        highest = std::max(highest, label.Brightness());
    }
    EXPECT_EQ(120, highest);
    for (int step = 0; step < 120; ++step)
        label.SLOTPulse();
    EXPECT_EQ(0, label.Brightness());
    EXPECT_EQ(QColor(192, 0, 0).rgb(), label.palette().color(QPalette::Window).rgb());
}

TEST(GuiStartupTest, CancelLoginEndsTheConnectionTestOnceAndGoesOffline)
{
    EnsureGuiApplication();
    CNUVSplashScreen splash;
    CNUVFunctions::Instance()->SetOnline(true);
    splash.CancelButton()->click();
    EXPECT_EQ("Canceling Connection To Server...", splash.Message());
    EXPECT_FALSE(CNUVFunctions::Instance()->IsOnline());
    CNUVFunctions::Instance()->SetOnline(true);
    splash.SetMessage("Connecting to Server...");
    splash.CancelButton()->click();   // works once
    EXPECT_EQ("Connecting to Server...", splash.Message());
    EXPECT_TRUE(CNUVFunctions::Instance()->IsOnline());
    CNUVFunctions::Instance()->SetOnline(false);
}
