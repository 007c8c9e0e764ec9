#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

/// This program's version, as the trace, the About box and the client check use it.
constexpr int kVersionMajor = 2;
constexpr int kVersionMinor = 0;
constexpr int kVersionBuild = 21;
std::string ProgramVersion();

/// The command-line switches of NUV_GUI. Words are compared exactly; others are ignored.
struct CGuiSwitches {
    bool debug = false;
    bool developer = false;
    bool ntrace = false;
    int fontSize = 8;       // the application font's point size
    bool usageError = false;   // "-font-size" followed by a word that is not a number above 0
};
/// Reads the words after the program name (words[0] is the program).
CGuiSwitches ReadSwitches(const QStringList& words);
/// Switches the traces on as asked and writes the switches' trace lines.
void ApplySwitches(const CGuiSwitches& switches);

/// Holds the single-instance lock in the user's runtime folder; null when another NUV_GUI of
/// this user holds it.
std::unique_ptr<QLockFile> AcquireSingleInstance();

/// The user may install and uninstall (effective user id 0).
bool IsAdministrator();

/// The distribution lists announced a minimum client version above this program's.
bool IsNewerClientRequired();

/// The transfer label of the status bar: " name ( rate unit )", name cut after its last "/".
QString TransferLabelText(const QString& name, float rate);
