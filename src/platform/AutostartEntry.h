#pragma once

#include <QString>

#include "platform/Error.h"

namespace hv {

// Our stand-in for the autorun value "Hostvane": a per-user XDG autostart entry,
// <config>/autostart/Hostvane.desktop, whose Exec is the executable's full path.
class AutostartEntry {
public:
    // configHome empty: $XDG_CONFIG_HOME, else ~/.config.
    explicit AutostartEntry(QString configHome = {});

    QString entryPath() const;

    // True when the entry exists and its Exec names exactly exePath (letter case counts).
    // An entry that is not a readable regular file counts as not set. Throws
    // Error("Invalid data type for 'Hostvane'") for a readable file that is not a desktop
    // entry with an Exec line.
    bool isSetTo(const QString& exePath) const;

    // Writes the entry atomically; throws Error("Failed to set data for 'Hostvane'").
    void set(const QString& exePath) const;

    // Deletes the entry; a missing entry or a failed deletion is not reported.
    void remove() const;

private:
    QString m_configHome;
};

}  // namespace hv
