#!/usr/bin/env bash
# Help and About in the running program: the tray menu's Help opens the help window; F1 in the
# settings dialog opens the settings page (the window stays usable beside the modal dialog);
# About shows its texts and links, a second About opens nothing new, OK closes it.
# With HV_E2E_SHOTS=<folder> the screenshots are kept there (help-tray.png,
# help-settings.png, about.png) for looking at them.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop import

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "" "[CheckParams]" "CheckPeriod=0" \
    "PopUpInterval=1000" "" "[General]" "Language=English")")
start_own_x tray
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
read -r ix iy < <(tray_icon_centre)

shot() {
    import -window root "$WORK/$1"
    [ -z "${HV_E2E_SHOTS:-}" ] || { mkdir -p "$HV_E2E_SHOTS"; cp "$WORK/$1" "$HV_E2E_SHOTS/"; }
}
# window_named TITLE: the program's visible window with this title (Qt adds " — Hostvane").
window_named() {
    local w name
    for w in $(xdotool search --onlyvisible --pid "$PROG_PID" 2>/dev/null || true); do
        name=$(xdotool getwindowname "$w" 2>/dev/null || true)
        [ "${name% — Hostvane}" = "$1" ] && { echo "$w"; return 0; }
    done
    return 1
}
# menu_item DOWNS: opens the tray menu and chooses the item DOWNS steps down (separators are
# passed over): 4 Settings, 5 Help, 6 About.
menu_item() {
    xdotool mousemove "$ix" "$iy" click 3
    wait_until 5 tray_menu_open "$PROG_PID" || fail "the tray menu did not open"
    sleep 0.3
    xdotool key --delay 80 $(printf 'Down %.0s' $(seq "$1")) Return
}

# Help from the tray menu: nothing has the focus, so the main window's page opens.
menu_item 5
wait_until 10 window_named "The tray icon and its menu" || fail "Help did not open the help window"
help=$(window_named "The tray icon and its menu")
sleep 0.5
shot help-tray.png

# F1 in the settings dialog: the same help window turns to the settings page.
menu_item 4
wait_until 10 window_named "Settings" || fail "Settings did not open"
settings=$(window_named "Settings")
xdotool windowfocus --sync "$settings" 2>/dev/null || true
sleep 0.3
xdotool key F1
wait_until 10 window_named "The settings dialog" || fail "F1 in the settings dialog did not show its page"
read -r sw sh sx sy < <(window_geometry "$settings")
sleep 0.5
shot help-settings.png
# The help window is not blocked by the modal dialog: a click into the page and
# the mouse wheel scroll it.
help=$(window_named "The settings dialog")
read -r hw hh hx hy < <(window_geometry "$help")
import -window "$help" "$WORK/help-top.png"
xdotool mousemove $((hx + 260)) $((hy + hh - 60)) click 1
xdotool click --repeat 8 5
sleep 0.5
import -window "$help" "$WORK/help-end.png"
cmp -s "$WORK/help-top.png" "$WORK/help-end.png" &&
    fail "the help window took no input while the settings dialog was open"

# Cancel (left of OK at the bottom right) closes the dialog; help stays open.
xdotool mousemove $((sx + sw - 118)) $((sy + sh - 14)) click 1
gone() { ! window_named "Settings" >/dev/null; }
wait_until 10 gone || fail "Cancel did not close the settings dialog"
wait_until 5 window_named "The settings dialog" || fail "the help window closed with the dialog"

# About: its texts, a second About opens nothing new, OK closes it.
menu_item 6
wait_until 10 window_named "About Hostvane" || fail "About did not open"
about=$(window_named "About Hostvane")
read -r aw ah ax ay < <(window_geometry "$about")
[ "$aw $ah" = "269 344" ] || fail "About window is $aw x $ah"
sleep 0.5
shot about.png
menu_item 6
sleep 1
n=0
for w in $(xdotool search --onlyvisible --pid "$PROG_PID" 2>/dev/null || true); do
    name=$(xdotool getwindowname "$w" 2>/dev/null || true)
    [ "${name% — Hostvane}" = "About Hostvane" ] && n=$((n + 1))
done
[ "$n" -eq 1 ] || fail "About chosen twice: $n About windows"
# OK at 181, 300 (75 x 22) in the window.
xdotool mousemove $((ax + 218)) $((ay + 311)) click 1
closed() { ! window_named "About Hostvane" >/dev/null; }
wait_until 10 closed || fail "OK did not close the About window"
echo "PASS"
