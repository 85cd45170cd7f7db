#!/usr/bin/env bash
# PopUpStyle=1 where no notification can be shown: with a session bus that has no notification
# service, and with no session bus at all, every report goes to the balloon instead, and stderr
# says why once.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop dbus-daemon
need_icmp

ini='[HostList]
This computer=127.0.0.1

[View]
PopUpStyle=1
FontSize=10
FontName=DejaVu Sans

[CheckParams]
CheckPeriod=600000
PopUpInterval=60000

[General]
Language=English'

# A session bus that can start no service: nothing answers for org.freedesktop.Notifications,
# whatever is installed on the machine.
cat >"$WORK/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$WORK</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$WORK/bus.conf" --nofork --print-address >"$WORK/bus.addr" 2>"$WORK/bus.err" &
PIDS+=($!)
wait_until 10 test -s "$WORK/bus.addr" || fail "dbus-daemon did not start: $(cat "$WORK/bus.err")"
bus=$(head -n1 "$WORK/bus.addr")

start_own_x tray

# hide_balloon ID: a click on its text.
hide_balloon() {
    local w h x y
    read -r w h x y < <(window_geometry "$1")
    xdotool mousemove $((x + 40)) $((y + 30)) click 1
    wait_until 5 window_unmapped "$1" || fail "a click did not hide the balloon"
}

for run in no-service no-bus; do
    if [ "$run" = no-service ]; then
        export DBUS_SESSION_BUS_ADDRESS=$bus
        why="org.freedesktop.DBus.Error.ServiceUnknown"
    else
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-such-bus"
        why="no session bus"
    fi
    dir=$(program_dir hostvane "$ini")
    start_program "$dir" hostvane
    wait_until 15 tray_icon_docked || fail "$run: the icon did not dock"
    wait_window 20 balloon_window "$PROG_PID" || fail "$run: the first report was shown nowhere"
    hide_balloon "$WIN"
    # Stop, then Start: a pass at once that reports the host as appeared again.
    read -r ix iy < <(tray_icon_centre)
    xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 80 1
    sleep 1
    xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 80 1
    wait_window 20 balloon_window "$PROG_PID" || fail "$run: the second report was shown nowhere"
    hide_balloon "$WIN"
    kill -TERM "$PROG_PID"
    wait_exit "$PROG_PID" 10
    [ "$RC" -eq 0 ] || fail "$run: exit status $RC"
    said=$(grep -c "cannot show a desktop notification" "$WORK/hostvane.err" || true)
    [ "$said" = 1 ] || fail "$run: stderr said it $said times: $(cat "$WORK/hostvane.err")"
    grep -q "$why" "$WORK/hostvane.err" || fail "$run: stderr does not say $why: $(cat "$WORK/hostvane.err")"
done
echo "PASS"
