#!/usr/bin/env bash
# The program's windows under a window manager (openbox) with a taskbar (tint2) on a small
# screen, 1024 x 600: the host state table and the help window open inside the work area,
# frame included; every window carries the program's icon; minimising the event log or the
# state table from the window manager withdraws it (off the screen and the taskbar, no empty
# frame left) and the tray menu brings it back, more than once.
# Screenshots go to $HV_SHOTS (default: <build>/e2e-shots/desktop).
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop import
SHOTS=${HV_SHOTS:-$BUILD_DIR/e2e-shots/desktop}
mkdir -p "$SHOTS"

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "Not checked=   " "[CheckParams]" \
    "CheckPeriod=600000" "PopUpInterval=1000" "[General]" "Language=English")")
start_desktop 1024x600
start_program "$dir" hostvane
wait_until 20 desktop_tray_icon_centre || fail "the icon did not dock in tint2"
read -r ix iy < <(desktop_tray_icon_centre)
read -r ax ay aw ah < <(work_area)
[ "$ah" -lt 600 ] || fail "no panel took room from the work area: $ax $ay $aw $ah"

shot() { sleep 0.5; import -window root "$SHOTS/$1.png"; }
# menu KEY...: opens the tray menu with a right click on the icon, then presses the keys.
menu() {
    xdotool mousemove "$ix" "$iy" click 3
    wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not open the tray menu"
    local k
    for k in "$@"; do xdotool key "$k"; sleep 0.3; done
}
# named_window TITLE: the program's visible window with that title (the title bar adds
# " — Hostvane").
named_window() { xdotool search --onlyvisible --name "^$1( — Hostvane)?\$" 2>/dev/null | head -n1 | grep .; }
# inside_work_area ID: the window and the frame around it lie within the work area.
inside_work_area() {
    local w h x y l r t b
    read -r w h x y < <(window_geometry "$1")
    read -r l r t b < <(frame_extents "$1")
    [ -n "$b" ] || return 1
    [ $((x - l)) -ge "$ax" ] && [ $((y - t)) -ge "$ay" ] &&
        [ $((x + w + r)) -le $((ax + aw)) ] && [ $((y + h + b)) -le $((ay + ah)) ]
}
describe() { echo "client $(window_geometry "$1"), frame $(frame_extents "$1"), work area $ax $ay $aw $ah"; }
# has_program_icon ID: _NET_WM_ICON holds the program's image at the tray image's sizes, not
# one generic picture.
has_program_icon() {
    local sizes
    sizes=$(xprop -id "$1" _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u)
    grep -q 'Icon (16 x 16)' <<<"$sizes" && grep -q 'Icon (64 x 64)' <<<"$sizes"
}
# withdrawn ID TITLE: unmapped, no frame of the window manager around it, no taskbar button.
withdrawn() {
    window_unmapped "$1" || return 1
    ! taskbar_has "$2" || return 1
    ! xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' "$1")" || return 1
    ! xprop -id "$1" WM_STATE 2>/dev/null | grep -q "window state: \(Normal\|Iconic\)"
}
shown_normal() {
    ! window_unmapped "$1" && xprop -id "$1" WM_STATE | grep -q "window state: Normal" &&
        taskbar_has "$2"
}

# The help window: 760 x 560 is higher than the work area. Opened first: Help from the tray
# menu asks for the page of the focused window.
# Framed by the window manager, the program's windows are no children of the root window.
program_windows() { xdotool search --onlyvisible --pid "$PROG_PID" 2>/dev/null | sort || true; }
before=$(program_windows)
menu Down Down Down Down Down Return
new_window() { comm -13 <(echo "$before") <(program_windows) | head -n1 | grep .; }
wait_until 15 new_window || fail "Help opened no window"
help=$(new_window)
wait_until 5 inside_work_area "$help" || fail "the help window is outside the work area: $(describe "$help")"
read -r hw _ < <(window_geometry "$help")
[ "$hw" -eq 760 ] || fail "the help window lost its designed width (it fits): $(describe "$help")"
shot help-1024x600
xdotool windowclose "$help" 2>/dev/null || xdotool windowkill "$help"

# The state table: designed at (335, 186), wide enough for every column on a 1280-pixel screen,
# which is wider than this one: it keeps to the work area with its frame, and fills its width.
menu Down Down Right Return
wait_until 10 named_window "Host status" || fail "Hosts state > Table opened no window"
state=$(named_window "Host status")
wait_until 5 inside_work_area "$state" || fail "the state table is outside the work area: $(describe "$state")"
read -r sw sh _ < <(window_geometry "$state")
read -r fl fr _ < <(frame_extents "$state")
read -r _ _ aw _ < <(work_area)
[ "$sw" -eq $((aw - fl - fr)) ] || fail "the state table does not fill the work area's width: $(describe "$state")"
shot state-table-1024x600

# The event log.
menu Down Down Down Right Return
wait_until 10 named_window "Event log" || fail "Log > View opened no window"
log=$(named_window "Event log")
wait_until 5 inside_work_area "$log" || fail "the log is outside the work area: $(describe "$log")"

for w in "$state" "$log" "$help"; do
    [ "$w" = "$help" ] && continue
    has_program_icon "$w" || fail "window $w has not the program's icon: $(xprop -id "$w" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')"
done

# Minimise from the window manager, then back through the tray menu; twice each.
for round in 1 2; do
    xdotool windowminimize "$log"
    wait_until 10 withdrawn "$log" "Event log — Hostvane" ||
        fail "round $round: the minimised log was not withdrawn: $(xwininfo -id "$log" | grep 'Map State'), $(xprop -id "$log" WM_STATE | tr '\n' ' ')"
    xdotool windowminimize "$state"
    wait_until 10 withdrawn "$state" "Host status — Hostvane" ||
        fail "round $round: the minimised state table was not withdrawn: $(xwininfo -id "$state" | grep 'Map State'), $(xprop -id "$state" WM_STATE | tr '\n' ' ')"
    [ "$round" = 1 ] && shot minimised
    menu Down Down Down Right Return
    wait_until 10 shown_normal "$log" "Event log — Hostvane" || fail "round $round: Log > View did not bring the log back"
    menu Down Down Right Return
    wait_until 10 shown_normal "$state" "Host status — Hostvane" || fail "round $round: Table did not bring the state table back"
    wait_until 5 inside_work_area "$state" || fail "round $round: the state table came back outside the work area: $(describe "$state")"
done
shot back-again
! grep -q "setNetWmStateOnUnmappedWindow" "$WORK/hostvane.err" ||
    fail "Qt warned of the window state: $(grep -m1 setNetWm "$WORK/hostvane.err")"

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
echo "PASS"
