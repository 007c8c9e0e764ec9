#include "core/nuvoptions.h"

#include "core/base/filewriter.h"
#include "core/base/textutil.h"

namespace {

const char* TrueFalse(bool value) { return value ? "TRUE" : "FALSE"; }

}  // namespace

CNUVOptions* CNUVOptions::Instance()
{
    static CNUVOptions instance;
    return &instance;
}

void CNUVOptions::Read()
{
    std::string text;
    if (!ReadFileBytes(kFileName, &text) || text.empty())
        return;
    ParseText(text);
}

void CNUVOptions::ParseText(const std::string& text)
{
    for (const std::string& line : SplitLines(text)) {
        std::string key;
        std::string value;
        if (!SplitKeyValue(line, &key, &value))
            continue;
        // Neither side is trimmed: "ICONSIZE = LARGE" names the key "ICONSIZE " and matches
        // nothing, which files written by earlier versions rely on.
        key = ToUpper(key);
        const std::string upperValue = ToUpper(value);
        if (key == "AUTOGETRELEASENOTES")
            m_bAutoGetReleaseNotes = upperValue == "TRUE";
        else if (key == "LOGINTIMEOUT")
            m_nLoginTimeout = static_cast<int>(ParseDecimal(value));
        else if (key == "ICONSIZE")
            m_nIconSize = upperValue == "LARGE" ? 24 : 16;
        else if (key == "DISPLAYWARNINGMESSAGE")
            m_bDisplayWarningMessage = upperValue != "FALSE";
        else if (key == "DISPLAYNEWCMPNTDLG")
            m_bDisplayNewComponentDlg = upperValue != "FALSE";
    }
}

std::string CNUVOptions::FileText() const
{
    std::string text;
    text += std::string("AUTOGETRELEASENOTES=") + TrueFalse(m_bAutoGetReleaseNotes) + "\n";
    text += Format(64, "LOGINTIMEOUT=%u\n", static_cast<unsigned>(m_nLoginTimeout));
    text += std::string("ICONSIZE=") + (m_nIconSize == 16 ? "SMALL" : "LARGE") + "\n";
    text += std::string("DISPLAYWARNINGMESSAGE=") + TrueFalse(m_bDisplayWarningMessage) + "\n";
    text += std::string("DISPLAYNEWCMPNTDLG=") + TrueFalse(m_bDisplayNewComponentDlg) + "\n";
    return text;
}

bool CNUVOptions::Write()
{
    // An unwritable file keeps the old one; the settings stay in memory for this run.
    return SaveFile(kFileName, FileText());
}
