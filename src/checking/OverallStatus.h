#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "hosts/HostList.h"

namespace hv {

// How the monitor is doing as a whole, as the tray icon shows it with [View] TrayStatus=1.
enum class OverallState {
    NoHosts,       // no host with an address: the program's plain icon
    Checking,      // running, but no pass over this host list has ended since start or Start
    AllAnswering,  // every watched host answered its last check
    SomeLost,      // some, not all, did not
    AllLost,       // none did
    Stopped,       // checking is stopped (Stop in the tray menu)
    Paused,        // running, but the settings dialog holds the checks while it is open
};

// The overall state and the tooltip text, from the host list's state images and the monitor's
// running state. No widgets; any thread (it only reads what it is given).
class OverallStatus {
public:
    // Titles the tooltip lists before "and N more".
    static constexpr int kListedTitles = 5;
    // A longer title is cut to this many characters, the last one an ellipsis.
    static constexpr int kTitleChars = 64;

    // hosts: the host list as it is now; running: the monitor is not stopped; passOver: a
    // pass over this host list has ended since start, Start or the last rebuild. Hosts with an
    // empty address are never checked and count nowhere; a host not checked yet counts as not
    // answering, as its state image says. paused: the checks are held (the settings dialog is
    // open); a stopped monitor reads stopped all the same.
    static OverallStatus of(const QList<Host>& hosts, bool running, bool passOver,
                            bool paused = false);

    OverallState state = OverallState::NoHosts;
    int answering = 0;  // watched hosts whose state image is "answered"
    int watched = 0;    // hosts with an address
    // The watched hosts not answering, in list order: the title, or the address when the
    // title is blank.
    QStringList lost;

    // Plain text, one item a line: "3 of 4 hosts answering", then the first five lost titles
    // indented by two blanks, then "and N more" for the rest. Stopped, Paused, Checking and
    // NoHosts have a line of their own. The texts are langMessage keys (see messageKeys()).
    QString toolTip() const;

    bool operator==(const OverallStatus&) const = default;
};

}  // namespace hv
