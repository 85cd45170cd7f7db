#!/usr/bin/env bash
# The host state table and a host's history window under a window manager on a 1280 x 800
# screen: the table opens with every column in sight (no horizontal scroll bar: the window is
# as wide as its columns and inside the work area); Enter on a row opens that host's history
# window, titled with the host; dragging across its chart zooms in and a double click shows the
# whole range again. The table's size comes back at the next start.
# Screenshots go to $HV_SHOTS (default: <build>/e2e-shots/history).
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop import
need_icmp
SHOTS=${HV_SHOTS:-$BUILD_DIR/e2e-shots/history}
mkdir -p "$SHOTS"

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "Loop a=127.0.0.1" "Loop b=127.0.0.2" \
    "[CheckParams]" "CheckPeriod=1000" "PopUpInterval=1000" "[General]" "Language=English")")
start_desktop 1280x800
start_program "$dir" hostvane
wait_until 20 desktop_tray_icon_centre || fail "the icon did not dock in tint2"
read -r ix iy < <(desktop_tray_icon_centre)
read -r ax ay aw ah < <(work_area)

shot() { sleep 0.6; import -window root "$SHOTS/$1.png"; }
named_window() { xdotool search --onlyvisible --name "^$1( — Hostvane)?\$" 2>/dev/null | head -n1 | grep .; }
open_table() {
    xdotool mousemove "$ix" "$iy" click 3
    wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not open the tray menu"
    local k
    for k in Down Down Right Return; do xdotool key "$k"; sleep 0.3; done
    wait_until 10 named_window "Host status" >/dev/null || fail "the state table did not open"
    named_window "Host status"
}

# A few passes, so the statistics and the bars have something to show.
sleep 4
table=$(open_table)
read -r w h x y < <(window_geometry "$table")
read -r l r t b < <(frame_extents "$table")
echo "table: client $w x $h at $x,$y; frame $l $r $t $b; work area $ax $ay $aw $ah"
[ "$w" -ge 1200 ] || fail "the table opened $w px wide, too narrow for every column"
[ $((x - l)) -ge "$ax" ] && [ $((x + w + r)) -le $((ax + aw)) ] ||
    fail "the table does not fit the work area"
shot table

# Enter on the first row: that host's history.
read -r w h x y < <(window_geometry "$table")
# A click on the first row's title selects it; Enter asks for its history.
xdotool mousemove $((x + 80)) $((y + 27)) click 1
sleep 0.3
xdotool key Return
wait_until 10 named_window "History: Loop a \\(127\\.0\\.0\\.1\\)" >/dev/null ||
    fail "Enter did not open the history of the first host"
hist=$(named_window "History: Loop a \\(127\\.0\\.0\\.1\\)")
shot history
# The range: the last hour. Drag across the middle of the chart to zoom, double-click back.
read -r hw hh hx hy < <(window_geometry "$hist")
cy=$((hy + hh / 2))
xdotool mousemove $((hx + hw / 3)) "$cy" mousedown 1 mousemove $((hx + hw / 2)) "$cy" \
    mousemove $((hx + 2 * hw / 3)) "$cy" mouseup 1
shot history-zoomed
xdotool mousemove $((hx + hw / 2)) "$cy" click --repeat 2 1
shot history-whole
# The chart has the keyboard focus after the clicks.
xdotool key Escape
wait_until 5 sh -c "! xdotool search --onlyvisible --name '^History: ' >/dev/null" ||
    fail "Esc did not close the history window"

# Resized by the user, the table comes back at that size after a restart.
xdotool windowsize "$table" 900 400
sleep 0.5
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
[ -f "$dir/HostvaneLayout.ini" ] || fail "no HostvaneLayout.ini beside the settings file"
grep -q '^Width=900$' "$dir/HostvaneLayout.ini" || fail "the width was not kept: $(cat "$dir/HostvaneLayout.ini")"
start_program "$dir" hostvane
wait_until 20 desktop_tray_icon_centre || fail "the icon did not dock again"
read -r ix iy < <(desktop_tray_icon_centre)
table=$(open_table)
read -r w h x y < <(window_geometry "$table")
[ "$w" -eq 900 ] && [ "$h" -eq 400 ] || fail "the table reopened at $w x $h, not 900 x 400"
shot table-restored
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
echo "PASS"
