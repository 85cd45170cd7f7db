#!/usr/bin/env bash
# F1 with the tray menu open shows the highlighted item's help: Settings the settings page,
# Help the page about the tray icon and its menu, About the About page.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "" "[CheckParams]" "CheckPeriod=0" \
    "PopUpInterval=1000" "" "[General]" "Language=English")")
start_own_x tray
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
read -r ix iy < <(tray_icon_centre)

# help_titled TITLE: the program's visible window with this title (Qt adds " — Hostvane").
help_titled() {
    local w name
    for w in $(xdotool search --onlyvisible --pid "$PROG_PID" 2>/dev/null || true); do
        name=$(xdotool getwindowname "$w" 2>/dev/null || true)
        [ "${name% — Hostvane}" = "$1" ] && { echo "$w"; return 0; }
    done
    return 1
}

# The item DOWNS steps down the menu (separators are passed over), and the title of the page
# F1 must show in the one help window (blanks written as "_"); Settings again at the end shows
# the window turning back to its page.
while read -r downs item page; do
    xdotool mousemove "$ix" "$iy" click 3
    wait_until 5 tray_menu_open "$PROG_PID" || fail "the tray menu did not open"
    sleep 0.3
    xdotool key --delay 80 $(printf 'Down %.0s' $(seq "$downs")) F1
    wait_until 10 help_titled "${page//_/ }" ||
        fail "F1 on $item showed no \"${page//_/ }\" page"
    xdotool key Escape  # closes the menu; the help window stays for the next page
    sleep 0.5
done <<'CASES'
4 Settings The_settings_dialog
5 Help The_tray_icon_and_its_menu
6 About The_About_window
4 Settings The_settings_dialog
CASES

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
echo "PASS"
