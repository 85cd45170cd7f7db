#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace hv {

// The application's error box: every error that escapes a handler ends here.
namespace ErrorBox {

// The message as shown: a full stop is added when the last character sorts after "."
// (compared as UTF-16 code units): "Disk full" and "Why?" get one, "Done." and "Oops!" do not.
QString text(const QString& message);

// Modal box: caption "Hostvane", error icon, OK only.
void show(const QString& message, QWidget* parent = nullptr);

// Runs a handler body; an hv::Error or std::exception it throws is shown in the error box and
// the program carries on. Returns false when the body threw.
bool guard(const std::function<void()>& body);

// Tests replace the box with a recorder so that nothing modal opens; nullptr restores it.
void setPresenter(std::function<void(const QString& shownText)> presenter);

}  // namespace ErrorBox
}  // namespace hv
