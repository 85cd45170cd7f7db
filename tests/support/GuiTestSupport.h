#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace hvtest {

// Runs `drive` on the modal file dialog once it is open (or gives up after 5 s); the test's
// own code after the call that opens the dialog runs when the dialog has closed.
inline void onFileDialog(std::function<void(QFileDialog*)> drive) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, drive] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog && ++*tries < 250) return;
        poll->stop();
        poll->deleteLater();
        if (dialog) drive(dialog);
    });
    poll->start();
}

}  // namespace hvtest
