#pragma once

#include <QObject>

class QSocketNotifier;

namespace hv {

// SIGTERM and SIGINT become a quitRequested() signal on the main thread (self-pipe watched by
// a QSocketNotifier), so they end the program the way Quit does. One object per process.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;  // restores the default handlers

signals:
    void quitRequested(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace hv
