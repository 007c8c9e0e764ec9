#include "core/nuvoptions.h"

#include "support/testsupport.h"

#include <tuple>

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// autoGetReleaseNotes, loginTimeout, iconSize, displayWarningMessage, displayNewComponentDlg
using Values = std::tuple<bool, int, int, bool, bool>;
const Values kDefaults{false, 60, 16, true, true};
const Values kOpposite{true, 5, 24, false, false};

Values ReadOver(const Values& start)
{
    CNUVOptions options;
    std::tie(options.m_bAutoGetReleaseNotes, options.m_nLoginTimeout, options.m_nIconSize,
             options.m_bDisplayWarningMessage, options.m_bDisplayNewComponentDlg) = start;
    options.Read();
    return {options.m_bAutoGetReleaseNotes, options.m_nLoginTimeout, options.m_nIconSize,
            options.m_bDisplayWarningMessage, options.m_bDisplayNewComponentDlg};
}

class NUVOptionsTest : public testsupport::TempDirTest {};

}  // namespace

TEST_F(NUVOptionsTest, ReadAppliesEachKeyByItsOwnRule)
{
    static const char junk[] = "\0\xff=\x01\n\x80LOGINTIMEOUT=9\n\0ICONSIZE=LARGE\n==\n\r\r";
    const struct {
        std::string text;
        Values start;
        Values expected;
    } cases[] = {
        {"iconsize=large\n", kDefaults, {false, 60, 24, true, true}},
        {"ICONSIZE=huge\n", kOpposite, {true, 5, 16, false, false}},
        {"LOGINTIMEOUT=abc\n", kDefaults, {false, 0, 16, true, true}},
        {"ICONSIZE = LARGE\nLOGINTIMEOUT =5\n AUTOGETRELEASENOTES=TRUE\n", kDefaults, kDefaults},
        {"DISPLAYWARNINGMESSAGE=no\nDISPLAYNEWCMPNTDLG=\n", kOpposite, {true, 5, 24, true, true}},
        {"displaywarningmessage=False\nDISPLAYNEWCMPNTDLG=FALSE", kDefaults, {false, 60, 16, false, false}},
        {"AUTOGETRELEASENOTES=yes\n", kOpposite, {false, 5, 24, false, false}},
        {"LOGINTIMEOUT=30\nLOGINTIMEOUT=45=x\nUNKNOWN=1\n=TRUE\n", kDefaults, {false, 45, 16, true, true}},
        {"AUTOGETRELEASENOTES=TRUE\r\nLOGINTIMEOUT=120\r\nICONSIZE=LARGE\r\n", kDefaults, {true, 120, 24, true, true}},
        {std::string(), kOpposite, kOpposite},
        {std::string(junk, sizeof junk - 1), kOpposite, kOpposite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WriteFile(CNUVOptions::kFileName, c.text);
        EXPECT_EQ(c.expected, ReadOver(c.start));
    }
    QFile::remove(CNUVOptions::kFileName);
    EXPECT_EQ(kOpposite, ReadOver(kOpposite));
}

TEST_F(NUVOptionsTest, WriteStoresFiveLinesThatReadGivesBack)
{
    CNUVOptions().Write();
    EXPECT_EQ("AUTOGETRELEASENOTES=FALSE\nLOGINTIMEOUT=60\nICONSIZE=SMALL\n"
              "DISPLAYWARNINGMESSAGE=TRUE\nDISPLAYNEWCMPNTDLG=TRUE\n",
              ReadFile(CNUVOptions::kFileName));

    CNUVOptions changed;
    changed.m_bAutoGetReleaseNotes = true;
    changed.m_nLoginTimeout = -1;   // stored as an unsigned number, read back the same
    changed.m_nIconSize = 20;       // anything but 16 is LARGE
    changed.m_bDisplayWarningMessage = false;
    changed.m_bDisplayNewComponentDlg = false;
    changed.m_bShowEULA = false;    // not a stored setting
    changed.Write();
    EXPECT_EQ("AUTOGETRELEASENOTES=TRUE\nLOGINTIMEOUT=4294967295\nICONSIZE=LARGE\n"
              "DISPLAYWARNINGMESSAGE=FALSE\nDISPLAYNEWCMPNTDLG=FALSE\n",
              ReadFile(CNUVOptions::kFileName));
    EXPECT_EQ((Values{true, -1, 24, false, false}), ReadOver(kDefaults));
}
