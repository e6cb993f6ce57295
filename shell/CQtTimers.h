#pragma once

#include <functional>
#include <map>

#include <QObject>

#include "app/ITimerScheduler.h"

class QTimer;

namespace torvex {

// The core's single-shot timers on the Qt event loop: each expiry calls `fire` with the timer's
// number on the GUI thread. The timers belong to `parent` and stop with it.
class CQtTimers final : public ITimerScheduler {
public:
    CQtTimers(QObject *parent, std::function<void(int)> fire);
    void StartTimer(int id, int milliseconds) override;
    void StopTimer(int id) override;
    bool IsRunning(int id) const;

private:
    QObject *m_parent;
    std::function<void(int)> m_fire;
    std::map<int, QTimer *> m_timers;
};

} // namespace torvex
