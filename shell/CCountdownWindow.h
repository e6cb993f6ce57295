#pragma once

#include <QDialog>
#include <QTimer>

#include "app/EndOfDownload.h"

class QLabel;
class QProgressBar;

namespace torvex {

// The "Download End" window: counts down `AutoTimeOut` seconds in steps of 100 ms on its
// progress bar, flashes to be seen, and at the end or on "Do it now!" says what is due
// (actionsDue) and closes. Closing it otherwise cancels the actions. Modeless and driven by its
// timers, so it counts on while a message box of the main window is open. GUI thread; deletes
// itself when closed.
class CCountdownWindow final : public QDialog {
    Q_OBJECT
public:
    CCountdownWindow(const CCountdown &countdown, QWidget *parent = nullptr);
    const CCountdown &Countdown() const { return m_countdown; }
    QString CounterText() const;
    QString LabelText() const;
    int ProgressValue() const;
    // "Do it now!"
    void DoItNow();

Q_SIGNALS:
    void actionsDue(bool hangUp, bool shutdown);

private:
    void OnStep();
    void Act();

    CCountdown m_countdown;
    QLabel *m_label = nullptr;
    QLabel *m_counter = nullptr;
    QProgressBar *m_progress = nullptr;
    QTimer m_stepTimer;
    QTimer m_flashTimer;
    bool m_acted = false;
};

} // namespace torvex
