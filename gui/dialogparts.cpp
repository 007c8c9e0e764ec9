#include "gui/dialogparts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

QDialogButtonBox* OkCancel(QDialog* dialog, const QString& okText,
                           const std::function<void()>& okSlot)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    if (!okText.isEmpty())
        box->button(QDialogButtonBox::Ok)->setText(okText);
    if (okSlot)
        QObject::connect(box, &QDialogButtonBox::accepted, dialog, okSlot);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

void EnableWhileFilled(QLineEdit* field, QPushButton* button)
{
    const auto update = [field, button] { button->setEnabled(!field->text().trimmed().isEmpty()); };
    QObject::connect(field, &QLineEdit::textChanged, button, update);
    update();
}
