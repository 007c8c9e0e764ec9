#pragma once

#include <QLabel>
#include <QTimer>

/// The status bar's pulsing on-line indicator: green " Online " or red " Offline ", its
/// background fading in and out.
class CNUVOnlineLabel : public QLabel {
    Q_OBJECT
public:
    enum State { Online = 1, Offline = 2 };

    explicit CNUVOnlineLabel(QWidget* parent = nullptr);
    void SetState(int state);
    int GetState() const { return m_State; }
    /// The current background alpha (0 to 120).
    int Brightness() const { return m_Brightness; }

public Q_SLOTS:
    /// One step of the pulse; the timer calls it every 16 ms.
    void SLOTPulse();

private:
    void Paint();

    int m_State = Offline;
    int m_Red = 192;
    int m_Green = 0;
    int m_Brightness = 0;
    int m_Step = 1;
    QTimer m_Timer;
};
