#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

/// Shown while the core starts and tests the server; "Cancel Login" ends that test once.
class CNUVSplashScreen : public QDialog {
    Q_OBJECT
public:
    explicit CNUVSplashScreen(QWidget* parent = nullptr);
    void SetMessage(const QString& text);
    QString Message() const;
    QPushButton* CancelButton() const { return m_pCancel; }

public Q_SLOTS:
    void SLOTCancelLogin();

private:
    QLabel* m_pMessage;
    QPushButton* m_pCancel;
};
