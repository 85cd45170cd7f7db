#pragma once

#include <QString>
#include <stdexcept>

namespace hv {

// Every failure a handler can meet carries the text the user is shown in the error box.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

}  // namespace hv
