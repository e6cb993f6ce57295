#include "shell/CQtTimers.h"

#include <QTimer>

namespace torvex {

CQtTimers::CQtTimers(QObject *parent, std::function<void(int)> fire)
    : m_parent(parent), m_fire(std::move(fire)) {}

void CQtTimers::StartTimer(int id, int milliseconds) {
    QTimer *&timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(m_parent);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, m_parent, [this, id] { m_fire(id); });
    }
    timer->start(milliseconds);
}

void CQtTimers::StopTimer(int id) {
    const auto found = m_timers.find(id);
    if (found != m_timers.end()) {
        found->second->stop();
    }
}

bool CQtTimers::IsRunning(int id) const {
    const auto found = m_timers.find(id);
    return found != m_timers.end() && found->second->isActive();
}

} // namespace torvex
