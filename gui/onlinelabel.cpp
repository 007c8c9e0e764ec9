#include "gui/onlinelabel.h"

namespace {
constexpr int kMaxBrightness = 120;
constexpr int kPulseMs = 16;
}  // namespace

CNUVOnlineLabel::CNUVOnlineLabel(QWidget* parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setFixedHeight(20);
    setAutoFillBackground(true);
    SetState(Offline);
    connect(&m_Timer, &QTimer::timeout, this, &CNUVOnlineLabel::SLOTPulse);
    m_Timer.start(kPulseMs);
}

void CNUVOnlineLabel::SetState(int state)
{
    m_State = state == Online ? Online : Offline;
    const bool online = m_State == Online;
    m_Red = online ? 0 : 192;
    m_Green = online ? 192 : 0;
    setText(online ? " Online " : " Offline ");
    setToolTip(online ? "Online: NUV2 connected to server" : "Offline: NUV2 not connected to server");
    setAccessibleName(online ? "Online" : "Offline");
    Paint();
}

void CNUVOnlineLabel::SLOTPulse()
{
    m_Brightness += m_Step;
    if (m_Brightness >= kMaxBrightness || m_Brightness <= 0) {
        m_Brightness = qBound(0, m_Brightness, kMaxBrightness);
        m_Step = -m_Step;
    }
    Paint();
}

void CNUVOnlineLabel::Paint()
{
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(m_Red, m_Green, 0, m_Brightness));
    setPalette(colours);
}
