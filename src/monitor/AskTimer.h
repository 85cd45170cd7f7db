#pragma once

#include <QObject>

class QTimer;

namespace hv {

// A window timer with the rules trmAsk needs: an interval of 0 (or less) never fires, where a
// QTimer would fire continuously; enabling it or changing its interval starts the countdown
// anew.
class AskTimer : public QObject {
    Q_OBJECT
public:
    explicit AskTimer(int intervalMs, bool enabled, QObject* parent = nullptr);

    int interval() const { return m_interval; }
    void setInterval(int ms);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Counting down now (enabled with a positive interval).
    bool isActive() const;

signals:
    void timeout();

private:
    void restart();

    QTimer* m_timer;
    int m_interval;
    bool m_enabled;
};

}  // namespace hv
