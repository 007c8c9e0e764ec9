#include "gui/userprompts.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

namespace {

std::unique_ptr<CUserPrompts>& Slot()
{
    static std::unique_ptr<CUserPrompts> prompts = std::make_unique<CUserPrompts>();
    return prompts;
}

/// The folder the user last chose a file or folder in, for the next chooser of this run.
QString& LastFolder()
{
    static QString folder;
    return folder;
}

bool IsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

}  // namespace

QMessageBox::StandardButton CUserPrompts::Ask(Icon icon, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons)
{
    static const QMessageBox::Icon kIcons[] = {QMessageBox::Information, QMessageBox::Warning,
                                               QMessageBox::Question};
    QMessageBox box(kIcons[icon], title, text, buttons, QApplication::activeWindow());
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int CUserPrompts::Choose(Icon icon, const QString& title, const QString& text, const QStringList& buttons)
{
    static const QMessageBox::Icon kIcons[] = {QMessageBox::Information, QMessageBox::Warning,
                                               QMessageBox::Question};
    QMessageBox box(kIcons[icon], title, text, QMessageBox::NoButton, QApplication::activeWindow());
    QList<QAbstractButton*> made;
    for (const QString& text : buttons)
        made << box.addButton(text, made.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    if (!made.isEmpty()) {
        box.setDefaultButton(static_cast<QPushButton*>(made.first()));
        box.setEscapeButton(made.last());
    }
    box.exec();
    return int(made.indexOf(box.clickedButton()));
}

int CUserPrompts::Run(QDialog& dialog) { return dialog.exec(); }

QString CUserPrompts::SaveFileName(QWidget* parent, const QString& title, const QString& proposal,
                                   const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, proposal, filter);
}

QString CUserPrompts::OpenFileName(QWidget* parent, const QString& title, const QString& start,
                                   const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, start, filter);
}

QString CUserPrompts::ExistingFolder(QWidget* parent, const QString& title, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, title, start);
}

CUserPrompts& CUserPrompts::Instance() { return *Slot(); }

std::unique_ptr<CUserPrompts> CUserPrompts::Replace(std::unique_ptr<CUserPrompts> prompts)
{
    std::unique_ptr<CUserPrompts> previous = std::move(Slot());
    Slot() = prompts ? std::move(prompts) : std::make_unique<CUserPrompts>();
    return previous;
}

void Inform(const QString& title, const QString& text)
{
    CUserPrompts::Instance().Ask(CUserPrompts::Information, title, text, QMessageBox::Ok);
}

void Warn(const QString& title, const QString& text)
{
    CUserPrompts::Instance().Ask(CUserPrompts::Warning, title, text, QMessageBox::Ok);
}

bool AskYesNo(CUserPrompts::Icon icon, const QString& title, const QString& text)
{
    return CUserPrompts::Instance().Ask(icon, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString ChooseFile(QWidget* parent, const QString& title, const QString& filter)
{
    const QString start = IsFolder(LastFolder()) ? LastFolder() : QDir::homePath();
    const QString file = CUserPrompts::Instance().OpenFileName(parent, title, start, filter);
    if (!file.isEmpty())
        LastFolder() = QFileInfo(file).absolutePath();
    return file;
}

QString ChooseFolder(QWidget* parent, const QString& title, const QString& proposal,
                     const QString& fallback)
{
    QString start = QDir::homePath();
    if (IsFolder(LastFolder()))
        start = LastFolder();
    else if (IsFolder(proposal))
        start = proposal;
    else if (IsFolder(fallback))
        start = fallback;
    const QString folder = CUserPrompts::Instance().ExistingFolder(parent, title, start);
    if (!folder.isEmpty())
        LastFolder() = folder;
    return folder;
}
