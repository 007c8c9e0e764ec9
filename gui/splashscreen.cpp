#include "gui/splashscreen.h"

#include "core/nuvfunctions.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

CNUVSplashScreen::CNUVSplashScreen(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_pMessage(new QLabel(this)),
      m_pCancel(new QPushButton("Cancel Login", this))
{
    setWindowTitle("Tessom Installation Tool");
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(":imgs/TessomSplashScreen.png"));
    picture->setAccessibleName("Tessom Installation Tool");
    layout->addWidget(picture);
    auto* row = new QHBoxLayout;
    m_pMessage->setAccessibleName("Start-up status");
    row->addWidget(m_pMessage, 1);
    row->addWidget(m_pCancel);
    layout->addLayout(row);
    m_pCancel->setAccessibleName("Cancel Login");
    connect(m_pCancel, &QPushButton::clicked, this, &CNUVSplashScreen::SLOTCancelLogin);
}

void CNUVSplashScreen::SetMessage(const QString& text) { m_pMessage->setText(text); }

QString CNUVSplashScreen::Message() const { return m_pMessage->text(); }

void CNUVSplashScreen::SLOTCancelLogin()
{
    SetMessage("Canceling Connection To Server...");
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    nuv->AbortTransfer();
    nuv->SetOnline(false);
    disconnect(m_pCancel, &QPushButton::clicked, this, &CNUVSplashScreen::SLOTCancelLogin);
    m_pCancel->setEnabled(false);
}
