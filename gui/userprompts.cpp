#include "gui/userprompts.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>

namespace {

std::unique_ptr<CUserPrompts>& Slot()
{
    static std::unique_ptr<CUserPrompts> prompts = std::make_unique<CUserPrompts>();
    return prompts;
}

}  // namespace

QMessageBox::StandardButton CUserPrompts::Ask(Icon icon, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons)
{
    static const QMessageBox::Icon kIcons[] = {QMessageBox::Information, QMessageBox::Warning,
                                               QMessageBox::Question};
    QMessageBox box(kIcons[icon], title, text, buttons, QApplication::activeWindow());
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int CUserPrompts::Run(QDialog& dialog) { return dialog.exec(); }

QString CUserPrompts::SaveFileName(QWidget* parent, const QString& title, const QString& proposal,
                                   const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, proposal, filter);
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
