#include "widgets/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "platform/Error.h"
#include "widgets/ExecModal.h"

namespace hv::ErrorBox {

namespace {
std::function<void(const QString&)>& presenter() {
    static std::function<void(const QString&)> p;
    return p;
}
}  // namespace

QString text(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
    return message;
}

void show(const QString& message, QWidget* parent) {
    const QString shown = text(message);
    if (presenter()) {
        presenter()(shown);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Hostvane"), shown, QMessageBox::Ok,
                    parent);
    execModal(box);
}

bool guard(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const Error& e) {
        show(e.message());
    } catch (const std::exception& e) {
        show(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void setPresenter(std::function<void(const QString&)> p) { presenter() = std::move(p); }

}  // namespace hv::ErrorBox
