#!/usr/bin/env bash
# [View] TrayStatus=1 under trayer (XEmbed): the tray icon shows every host answering, some
# lost, every host lost and stopped, each differently; without the key it is the plain icon whatever happens.
# Hosts are loopback only: 127.0.0.1 and 127.0.0.2 answer ICMP, and "http://127.0.0.3" is
# lost (nothing listens on its port 80: the connection is refused at once).
# Screenshots of the tray (8x enlarged crops and the whole screens) and of the tooltip with
# some hosts lost (tooltip-2x.png) go to $HV_SHOTS
# (default: <build>/e2e-shots/traystatus).
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop import convert compare
need_icmp
if ss -Hltn 2>/dev/null | awk '{print $4}' | grep -Eq '^(0\.0\.0\.0|127\.0\.0\.3|\*|\[::\]):80$'; then
    skip "something listens on port 80 of 127.0.0.3: the lost host would answer"
fi

SHOTS=${HV_SHOTS:-$BUILD_DIR/e2e-shots/traystatus}
mkdir -p "$SHOTS"

start_own_x tray

# run_program NAME VIEW_LINES HOST_LINES...: starts the program with those settings and waits
# for the end of its first pass (its balloon, which hides after a second; when no host
# answers there is no balloon, and the refused connection takes a moment at most).
run_program() {
    local name=$1 view=$2; shift 2
    local dir
    dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "$@" "" "[View]" "$view" "" \
        "[CheckParams]" "CheckPeriod=600000" "PopUpInterval=1000" "" "[General]" "Language=English")")
    start_program "$dir" hostvane
    wait_until 15 tray_icon_docked || fail "$name: the icon did not dock"
    if [ "$name" = all-lost ]; then sleep 3; return 0; fi
    wait_until 30 balloon_window "$PROG_PID" || fail "$name: no report of the first pass"
    wait_until 10 balloon_gone || fail "$name: the report did not hide"
}
balloon_gone() { ! balloon_window "$PROG_PID"; }
icon_gone() { ! tray_icon_docked; }

# shot NAME: the tray icon's pixels (NAME.png, exact) and an 8x enlargement of the tray for
# looking at (NAME-8x.png), plus the whole screen (NAME-screen.png).
shot() {
    local id w h x y
    sleep 0.6  # the icon is redrawn in the next turns of trayer's loop
    id=$(tray_icons | head -n1)
    read -r w h x y < <(window_geometry "$id")
    import -window root "$SHOTS/$1-screen.png"
    convert "$SHOTS/$1-screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$SHOTS/$1.png"
    convert "$SHOTS/$1-screen.png" -crop "120x24+1160+1000" +repage -filter point -resize 800% \
        "$SHOTS/$1-8x.png"
}

# differ A B: true when the two icon shots differ in any pixel.
differ() { [ "$(compare -metric AE "$SHOTS/$1.png" "$SHOTS/$2.png" null: 2>&1 || true)" != 0 ]; }

quit_program() {
    kill -TERM "$PROG_PID"
    wait_exit "$PROG_PID" 10
    [ "$RC" -eq 0 ] || fail "exit status $RC"
    wait_until 10 icon_gone || fail "the icon outlived the program"
}

stop_by_double_click() {
    local ix iy
    read -r ix iy < <(tray_icon_centre)
    xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 60 1
    xdotool mousemove 10 10
}

up1="Loopback one=127.0.0.1"
up2="Loopback two=127.0.0.2"
lost="Nothing on port 80=http://127.0.0.3"

# With the key: every host answering, then some lost, then stopped.
run_program all-up "TrayStatus=1" "$up1" "$up2"
shot all-up
quit_program

run_program all-lost "TrayStatus=1" "$lost"
shot all-lost
quit_program

run_program some-lost "TrayStatus=1" "$up1" "$up2" "$lost"
shot some-lost
# Resting the pointer on the icon shows the tooltip (a window of the program's own here).
tooltip_shown() { [ -n "$(mapped_windows "$PROG_PID")" ]; }
read -r ix iy < <(tray_icon_centre)
for _ in 1 2; do
    xdotool mousemove $((ix - 3)) $((iy - 2)) sleep 0.2 mousemove "$ix" "$iy"
    wait_until 5 tooltip_shown && break
done
tooltip_shown || fail "no tooltip on the icon"
sleep 0.3
import -window root "$SHOTS/tooltip-screen.png"
convert "$SHOTS/tooltip-screen.png" -crop 420x160+860+864 +repage -scale 200% "$SHOTS/tooltip-2x.png"
xdotool mousemove 10 10
stop_by_double_click
shot stopped
quit_program

# Without the key: the plain icon, the same while hosts are lost and after Stop.
run_program plain "" "$up1" "$up2" "$lost"
shot plain
stop_by_double_click
shot plain-stopped
quit_program

differ all-up some-lost || fail "the icon is the same with every host answering and some lost"
differ some-lost stopped || fail "the icon did not change at Stop"
differ all-up stopped || fail "stopped looks like every host answering"
differ all-lost some-lost || fail "every host lost looks like some lost"
differ all-lost all-up || fail "every host lost looks like every host answering"
differ all-lost stopped || fail "every host lost looks like stopped"
for s in all-up all-lost some-lost stopped; do
    differ "$s" plain || fail "$s looks like the plain icon"
done
differ plain plain-stopped && fail "without the key the icon changed at Stop"
echo "PASS (screenshots in $SHOTS)"
