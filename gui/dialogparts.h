#pragma once

// What every dialog of the program builds from: the one conversion between the core's Latin-1
// texts and Qt's, the OK/Cancel row, and the rule that a required field enables OK.

#include <QString>

#include <functional>
#include <string>

class QDialog;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;

/// The longest one-line package field (a tag) a dialog accepts.
constexpr int kFieldLength = 128;

inline QString Text(const std::string& text) { return QString::fromLatin1(text.c_str()); }
inline std::string Latin1(const QString& text) { return text.toLatin1().toStdString(); }

/// OK (named okText when given) and Cancel; Cancel rejects, OK runs okSlot when given (callers
/// without one connect `accepted` themselves).
QDialogButtonBox* OkCancel(QDialog* dialog, const QString& okText = QString(),
                           const std::function<void()>& okSlot = {});

/// Keeps button enabled only while field holds more than blanks.
void EnableWhileFilled(QLineEdit* field, QPushButton* button);
