#include "core/nuvoptions.h"

#include "support/testsupport.h"

#include <tuple>

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// autoGetReleaseNotes, loginTimeout, iconSize, displayWarningMessage, displayNewComponentDlg
using Values = std::tuple<bool, int, int, bool, bool>;

Values ValuesOf(const CNUVOptions& options)
{
    return {options.m_bAutoGetReleaseNotes, options.m_nLoginTimeout, options.m_nIconSize,
            options.m_bDisplayWarningMessage, options.m_bDisplayNewComponentDlg};
}

void SetValues(CNUVOptions* options, const Values& values)
{
    std::tie(options->m_bAutoGetReleaseNotes, options->m_nLoginTimeout, options->m_nIconSize,
             options->m_bDisplayWarningMessage, options->m_bDisplayNewComponentDlg) = values;
}

const Values kDefaults{false, 60, 16, true, true};
const Values kOpposite{true, 5, 24, false, false};

class NUVOptionsTest : public testsupport::TempDirTest {};

}  // namespace

TEST_F(NUVOptionsTest, ReadAppliesEachKeyByItsOwnRule)
{
    const struct {
        const char* text;
        Values start;
        Values expected;
    } cases[] = {
        {"iconsize=large\n", kDefaults, {false, 60, 24, true, true}},
        {"ICONSIZE=Small\n", kOpposite, {true, 5, 16, false, false}},
        {"ICONSIZE=huge\n", kOpposite, {true, 5, 16, false, false}},
        {"LOGINTIMEOUT=abc\n", kDefaults, {false, 0, 16, true, true}},
        {"LOGINTIMEOUT=  42s\n", kDefaults, {false, 42, 16, true, true}},
        {"ICONSIZE = LARGE\nLOGINTIMEOUT =5\n AUTOGETRELEASENOTES=TRUE\n", kDefaults, kDefaults},
        {"DISPLAYWARNINGMESSAGE=no\nDISPLAYNEWCMPNTDLG=\n", kOpposite, {true, 5, 24, true, true}},
        {"displaywarningmessage=False\nDISPLAYNEWCMPNTDLG=FALSE\n", kDefaults,
         {false, 60, 16, false, false}},
        {"AUTOGETRELEASENOTES=yes\n", kOpposite, {false, 5, 24, false, false}},
        {"autoGetReleaseNotes=True", kDefaults, {true, 60, 16, true, true}},
        {"LOGINTIMEOUT=30\nLOGINTIMEOUT=45\n", kDefaults, {false, 45, 16, true, true}},
        {"AUTOGETRELEASENOTES=TRUE\r\nLOGINTIMEOUT=120\r\nICONSIZE=LARGE\r\n", kDefaults,
         {true, 120, 24, true, true}},
        {"LOGINTIMEOUT=7=8\nUNKNOWN=1\nno equals sign\n=TRUE\n", kDefaults,
         {false, 7, 16, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WriteFile(CNUVOptions::kFileName, c.text);
        CNUVOptions options;
        SetValues(&options, c.start);
        options.Read();
        EXPECT_EQ(c.expected, ValuesOf(options));
    }
}

TEST_F(NUVOptionsTest, MissingEmptyOrJunkFilesKeepTheCurrentValues)
{
    CNUVOptions options;
    SetValues(&options, kOpposite);
    options.Read();
    EXPECT_EQ(kOpposite, ValuesOf(options));

    static const char junk[] = "\0\xff\xfe=\x01\n\x80LOGINTIMEOUT=9\n\0ICONSIZE=LARGE\n==\n\r\r\r";
    const std::string files[] = {std::string(), std::string(junk, sizeof junk - 1),
                                 std::string(70000, '\xAA')};
    for (const std::string& content : files) {
        SCOPED_TRACE(content.size());
        WriteFile(CNUVOptions::kFileName, content);
        options.Read();
        EXPECT_EQ(kOpposite, ValuesOf(options));
    }
}

TEST_F(NUVOptionsTest, WriteStoresFiveLinesThatReadGivesBack)
{
    CNUVOptions defaults;
    defaults.Write();
    EXPECT_EQ("AUTOGETRELEASENOTES=FALSE\nLOGINTIMEOUT=60\nICONSIZE=SMALL\n"
              "DISPLAYWARNINGMESSAGE=TRUE\nDISPLAYNEWCMPNTDLG=TRUE\n",
              ReadFile(CNUVOptions::kFileName));

    CNUVOptions changed;
    SetValues(&changed, kOpposite);
    changed.m_bShowEULA = false;
    changed.Write();
    EXPECT_EQ("AUTOGETRELEASENOTES=TRUE\nLOGINTIMEOUT=5\nICONSIZE=LARGE\n"
              "DISPLAYWARNINGMESSAGE=FALSE\nDISPLAYNEWCMPNTDLG=FALSE\n",
              ReadFile(CNUVOptions::kFileName));
    CNUVOptions reread;
    reread.Read();
    EXPECT_EQ(kOpposite, ValuesOf(reread));
    EXPECT_TRUE(reread.m_bShowEULA);   // never stored
}

TEST_F(NUVOptionsTest, OddNumbersSurviveTheUnsignedFileForm)
{
    CNUVOptions written;
    written.m_nLoginTimeout = -1;
    written.m_nIconSize = 20;   // anything but 16 is stored as LARGE
    written.Write();
    const std::string text = ReadFile(CNUVOptions::kFileName);
    EXPECT_NE(std::string::npos, text.find("\nLOGINTIMEOUT=4294967295\nICONSIZE=LARGE\n"));
    CNUVOptions reread;
    reread.Read();
    EXPECT_EQ(-1, reread.m_nLoginTimeout);
    EXPECT_EQ(24, reread.m_nIconSize);
}
