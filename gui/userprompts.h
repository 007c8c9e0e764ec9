#pragma once

#include <QMessageBox>
#include <QString>

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
    /// Runs a modal dialog of the program; its result.
    virtual int Run(QDialog& dialog);
    /// A file name to save to; empty when cancelled.
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& proposal,
                                 const QString& filter);

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
