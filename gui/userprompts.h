#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <memory>

class QDialog;
class QWidget;

/// The one way the program asks or tells the user something in a modal window: message boxes,
/// its own dialogs and file choosers all go through the process-wide instance, which tests
/// replace to answer them and to see what was shown.
class CUserPrompts {
public:
    enum Icon { Information, Warning, Question };

    virtual ~CUserPrompts() = default;
    /// Shows a message box with the given buttons; the button chosen (NoButton when closed).
    virtual QMessageBox::StandardButton Ask(Icon icon, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons);
    /// Shows a message box with buttons named by the program; the index of the one chosen, -1
    /// when the box was closed.
    virtual int Choose(Icon icon, const QString& title, const QString& text, const QStringList& buttons);
    /// Runs a modal dialog of the program; its result.
    virtual int Run(QDialog& dialog);
    /// A file name to save to; empty when cancelled.
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& proposal,
                                 const QString& filter);
    /// An existing file to open, starting in folder start; empty when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& start,
                                 const QString& filter);
    /// An existing folder, starting in start; empty when cancelled.
    virtual QString ExistingFolder(QWidget* parent, const QString& title, const QString& start);

    /// The process-wide instance (message boxes on screen unless a test installed another).
    static CUserPrompts& Instance();
    /// Installs prompts and returns the previous one; nullptr restores the real one.
    static std::unique_ptr<CUserPrompts> Replace(std::unique_ptr<CUserPrompts> prompts);
};

// Shorthands for the common boxes.
void Inform(const QString& title, const QString& text);
void Warn(const QString& title, const QString& text);
/// Yes/No box; true for Yes.
bool AskYesNo(CUserPrompts::Icon icon, const QString& title, const QString& text);

/// A file to open through the prompts; starts in the folder last chosen (the home folder at
/// first) and remembers the folder of the file chosen.
QString ChooseFile(QWidget* parent, const QString& title, const QString& filter);
/// A folder through the prompts; starts at the folder last chosen, else at proposal when it
/// exists, else at fallback (when it exists) or the home folder.
QString ChooseFolder(QWidget* parent, const QString& title, const QString& proposal,
                     const QString& fallback);
