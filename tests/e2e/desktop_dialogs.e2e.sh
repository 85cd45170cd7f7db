#!/usr/bin/env bash
# The About window and the settings dialog under a window manager (openbox) with a taskbar
# (tint2), 1366 x 768: while About is open the tray icon still opens its menu, and one About
# window is all there is; the settings dialog minimised from the window manager comes back
# with the tray menu's Settings. Both carry the program's icon.
# Screenshots go to $HV_SHOTS (default: <build>/e2e-shots/desktop).
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop import
SHOTS=${HV_SHOTS:-$BUILD_DIR/e2e-shots/desktop}
mkdir -p "$SHOTS"

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "Not checked=   " "[CheckParams]" \
    "CheckPeriod=600000" "PopUpInterval=1000" "[View]" "TrayStatus=1" "[General]" "Language=English")")
start_desktop 1366x768
start_program "$dir" hostvane
wait_until 20 desktop_tray_icon_centre || fail "the icon did not dock in tint2"
read -r ix iy < <(desktop_tray_icon_centre)

shot() { sleep 0.5; import -window root "$SHOTS/$1.png"; }
open_menu() {
    xdotool mousemove "$ix" "$iy" click 3
    wait_until 5 tray_menu_open "$PROG_PID"
}
menu() {
    open_menu || fail "a right click did not open the tray menu"
    local k
    for k in "$@"; do xdotool key "$k"; sleep 0.3; done
}
named_windows() { xdotool search --onlyvisible --name "^$1( — Hostvane)?\$" 2>/dev/null || true; }
named_window() { named_windows "$1" | head -n1 | grep .; }
has_program_icon() {
    local sizes
    sizes=$(xprop -id "$1" _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u)
    grep -q 'Icon (16 x 16)' <<<"$sizes" && grep -q 'Icon (64 x 64)' <<<"$sizes"
}
shown_normal() {
    ! window_unmapped "$1" && xprop -id "$1" WM_STATE | grep -q "window state: Normal"
}
menu_closed() { ! tray_menu_open "$PROG_PID"; }

# About: Down to its item (Stop, Hosts state, Log, Settings, Help, About).
menu Down Down Down Down Down Down Return
wait_until 10 named_window "About Hostvane" || fail "About opened no window"
about=$(named_window "About Hostvane")
has_program_icon "$about" || fail "the About window has not the program's icon"
# The tray icon answers while About is open: its menu opens, and About in it opens no second
# window.
sleep 0.5
windows_with_about=$(xdotool search --onlyvisible --pid "$PROG_PID" 2>/dev/null | wc -l)
open_menu || fail "the tray menu does not open while About is open"
shot about-and-tray-menu
for k in Up Up Return; do xdotool key "$k"; sleep 0.3; done  # Quit, About
wait_until 5 menu_closed || fail "the tray menu did not close"
sleep 1
[ "$(named_windows "About Hostvane" | wc -l)" -eq 1 ] || fail "About in the menu opened a second About window"
[ "$(xdotool search --onlyvisible --pid "$PROG_PID" 2>/dev/null | wc -l)" -eq "$windows_with_about" ] ||
    fail "About in the menu opened some window"
# OK (it has the focus) closes it.
xdotool windowactivate --sync "$about" 2>/dev/null || true
xdotool key space
wait_until 10 window_unmapped "$about" || fail "OK did not close About"

# Settings: minimised from the window manager, brought back by the tray menu's Settings.
menu Down Down Down Down Return
wait_until 10 named_window "Settings" || fail "Settings opened no window"
settings=$(named_window "Settings")
has_program_icon "$settings" || fail "the settings dialog has not the program's icon"
xdotool windowminimize "$settings"
wait_until 10 window_unmapped "$settings" || fail "the settings dialog did not minimise"
menu Down Down Down Down Return
wait_until 10 shown_normal "$settings" ||
    fail "Settings in the tray menu did not bring the minimised dialog back: $(xprop -id "$settings" WM_STATE | tr '\n' ' ')"
[ "$(named_windows "Settings" | wc -l)" -eq 1 ] || fail "a second settings dialog opened"
shot settings-back
xdotool windowclose "$settings" 2>/dev/null || true
wait_until 10 window_unmapped "$settings" || fail "the settings dialog did not close"

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
echo "PASS"
