#!/usr/bin/env bash
# The tray icon's mouse: a right click maps the tray menu and a click elsewhere closes it; a
# single click does nothing; a double click runs Start/Stop and opens no menu (Stop then Start
# brings a pass that reports 127.0.0.1 as appeared again); Quit removes the icon and ends the
# process with status 0.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop
need_icmp

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "This computer=127.0.0.1" "" \
    "[CheckParams]" "CheckPeriod=1000" "PopUpInterval=1000" "" "[General]" "Language=English")")
start_own_x tray
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
wait_until 20 balloon_window "$PROG_PID" || fail "no balloon after the first pass"
wait_until 15 window_unmapped "$(balloon_window "$PROG_PID")" ||
    fail "the first balloon did not hide"
read -r ix iy < <(tray_icon_centre)

# Right click: the menu at the cursor; a click outside closes it.
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not map the menu"
xdotool mousemove 200 200 click 1
menu_closed() { ! tray_menu_open "$PROG_PID" >/dev/null; }
wait_until 5 menu_closed ||
    fail "a click outside did not close the menu"

# A single left click does nothing.
xdotool mousemove "$ix" "$iy" click 1
sleep 1.5
[ -z "$(mapped_windows "$PROG_PID")" ] || fail "a single click opened a window"

# Double click: Stop. No menu, and the checks rest (later ticks report nothing).
xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 60 1
sleep 2.5
[ -z "$(mapped_windows "$PROG_PID")" ] || fail "a window opened after a double click (Stop)"
# Double click again: Start. The host's image was reset by Stop, so the pass reports it.
xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 60 1
wait_until 15 balloon_window "$PROG_PID" || fail "no report after Stop and Start"
tray_menu_open "$PROG_PID" >/dev/null && fail "a double click opened the menu"
wait_until 15 window_unmapped "$(balloon_window "$PROG_PID")" ||
    fail "the balloon did not hide"

# Quit: the menu's last item.
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "the menu did not open for Quit"
read -r mw mh mx my < <(window_geometry "$(tray_menu_open "$PROG_PID")")
xdotool mousemove $((mx + 30)) $((my + mh - 10)) click 1
wait_exit "$PROG_PID" 15
[ "$RC" -eq 0 ] || fail "Quit: exit status $RC"
tray_icon_docked && fail "the icon is still in the notification area after Quit"
echo "PASS"
