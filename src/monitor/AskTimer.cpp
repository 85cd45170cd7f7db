#include "monitor/AskTimer.h"

#include <QTimer>

namespace hv {

AskTimer::AskTimer(int intervalMs, bool enabled, QObject* parent)
    : QObject(parent), m_timer(new QTimer(this)), m_interval(intervalMs), m_enabled(enabled) {
    m_timer->setTimerType(Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &AskTimer::timeout);
    restart();
}

void AskTimer::setInterval(int ms) {
    m_interval = ms;
    restart();
}

void AskTimer::setEnabled(bool enabled) {
    m_enabled = enabled;
    restart();
}

bool AskTimer::isActive() const { return m_timer->isActive(); }

void AskTimer::restart() {
    m_timer->stop();
    if (m_enabled && m_interval > 0) m_timer->start(m_interval);
}

}  // namespace hv
