#!/usr/bin/env bash
# The settings dialog as a user meets it, driven through the accessibility bus as a screen
# reader would find the controls (role and accessible name) and with real keys and clicks:
# Settings from the tray menu; one host of each kind added by typing into the real fields;
# the tray menu still opens while the dialog is up; a metrics address typed on General; OK. The hosts then stand in the "Hosts
# state" submenu, the state table and Hostvane.ini. Only loopback is ever probed.
# Screenshots of every page and of the host entry dialog in each mode go to
# $HV_SHOTS (default: <build>/e2e-shots/settings).
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop import dbus-launch
[ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    skip "python3-pyatspi is not installed"
A11Y=(/usr/bin/python3 "$(dirname "$0")/a11y.py")
SHOTS=${HV_SHOTS:-$BUILD_DIR/e2e-shots/settings}
mkdir -p "$SHOTS"

dir=$(program_dir hostvane "$(printf '%s\n' "[CheckParams]" "CheckPeriod=600000" \
    "PopUpInterval=1000" "" "[General]" "Language=English")")
start_own_x tray
start_a11y_bus
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
read -r ix iy < <(tray_icon_centre)

shot() { sleep 0.4; import -window root "$SHOTS/$1.png"; }
click_at() { xdotool mousemove "$1" "$2" click 1; }
# click_control ROLE NAME [WIN]: a real mouse click in the middle of the control.
click_control() {
    local x y
    read -r x y < <("${A11Y[@]}" centre "$@") || fail "no $1 named '$2'"
    click_at "$x" "$y"
}
# Qt keeps pop-up menus off the accessibility tree, so the tray menu is driven with keys:
# Stop/Start, Hosts state, Log, (separator), Settings, Help, About, (separator), Quit.
menu_down() {  # menu_down N: the Nth item of the open tray menu selected
    local i
    for ((i = 0; i < $1; i++)); do xdotool key Down; sleep 0.1; done
}
# focus_window CAPTION: the keyboard to the program's window of that caption (there is no
# window manager to hand it over on a click).
focus_window() {
    local w
    w=$(xdotool search --onlyvisible --name "^$1( —|$)" 2>/dev/null | head -n1)
    [ -n "$w" ] || fail "no window '$1'"
    xdotool windowfocus --sync "$w" 2>/dev/null || xdotool windowfocus "$w"
    FOCUSED=$w
}
open_tray_menu() {
    xdotool mousemove "$ix" "$iy" click 3
    wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not open the tray menu"
}

# Settings from the tray menu.
open_tray_menu
menu_down 4
xdotool key Return
"${A11Y[@]}" wait-window Settings || fail "the settings dialog did not open"
unnamed=$("${A11Y[@]}" unnamed Settings)
[ -z "$unnamed" ] || fail "controls without an accessible name: $unnamed"

# add KIND CAPTION FIELD_NAME ADDRESS TITLE: Add <KIND>; the keyboard as a user has it (Cancel
# holds the focus, Tab, Tab reaches the address field, Tab again the title); OK.
add() {
    click_control "push button" "Add $1" Settings
    "${A11Y[@]}" wait-window "$2" || fail "no host entry dialog '$2'"
    [ -z "$("${A11Y[@]}" unnamed "$2")" ] || fail "unnamed controls in '$2'"
    "${A11Y[@]}" centre text "$3" "$2" >/dev/null || fail "no field named '$3' in '$2'"
    focus_window "$2"
    xdotool key Tab; sleep 0.2; xdotool key Tab; sleep 0.2
    [ "$1" = IP ] || xdotool key End  # the masked field starts empty and selected
    xdotool type --delay 40 "$4"
    if [ -n "$5" ]; then
        xdotool key Tab; sleep 0.2
        xdotool type --delay 40 "$5"
    fi
    shot "host-$1"
    click_control "push button" OK "$2"
    sleep 0.5
}
# The texts are those of the shipped English language file.
add IP "New IP host" "IPv4 address of the host:" 127.0.0.1 ""
add HTTP "New HTTP server" "http(s)://host[:port] or tcp://host:port, IPv6 in [ ]:" 127.0.0.1 Web
add LAN "New LAN computer" "Computer name or IPv6 address (fe80::1%eth0):" localhost Me
add LAN "New LAN computer" "Computer name or IPv6 address (fe80::1%eth0):" ::1 V6
hosts=$("${A11Y[@]}" names "list item" Settings)
for line in "127.0  .0  .1   :  127.0.0.1" "Web :  http://127.0.0.1" 'Me :  \\localhost' \
    'V6 :  \\::1'; do
    grep -qxF "$line" <<<"$hosts" || fail "the host list lacks '$line': $hosts"
done

# Edit opens the mode the line calls for; Cancel keeps the line.
for pair in "Web :  http://127.0.0.1|Edit HTTP server|edit-HTTP" \
    'Me :  \\localhost|Edit LAN computer|edit-LAN' \
    'V6 :  \\::1|Edit LAN computer|edit-LAN-v6' \
    "127.0  .0  .1   :  127.0.0.1|Edit IP host|edit-IP"; do
    IFS='|' read -r line caption name <<<"$pair"
    click_control "list item" "$line" Settings
    click_control "push button" Edit Settings
    "${A11Y[@]}" wait-window "$caption" || fail "Edit on '$line' did not open '$caption'"
    shot "host-$name"
    click_control "push button" Cancel "$caption"
    sleep 0.5
done

# The tray menu still opens while the dialog is up; a second Settings does nothing.
open_tray_menu
shot tray-menu-during-settings
menu_down 4
xdotool key Return
sleep 1
[ "$("${A11Y[@]}" names dialog | grep -cx Settings)" -le 1 ] || fail "a second settings dialog"

# Every page.
mport=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
for page in "Host list" General "Check parameters" View Language; do
    click_control "list item" "$page" Settings
    if [ "$page" = General ]; then
        # The metrics address, typed into the field its label names.
        click_control text "Serve metrics on:" Settings
        xdotool type --delay 20 "127.0.0.1:$mport"
    fi
    shot "page-${page// /-}"
done

click_control "push button" OK Settings
sleep 1
grep -qxF "127.0  .0  .1=127.0.0.1" "$dir/Hostvane.ini" || fail "IP host not saved: $(cat "$dir/Hostvane.ini")"
grep -qxF "Web=http://127.0.0.1" "$dir/Hostvane.ini" || fail "HTTP host not saved"
grep -qxF 'Me=\\localhost' "$dir/Hostvane.ini" || fail "LAN host not saved"
grep -qxF 'V6=\\::1' "$dir/Hostvane.ini" || fail "IPv6 LAN host not saved"
grep -qxF "Listen=127.0.0.1:$mport" "$dir/Hostvane.ini" || fail "metrics address not saved"
wait_until 10 curl -sf "http://127.0.0.1:$mport/metrics" || fail "OK did not start serving metrics"

# The "Hosts state" submenu and the state table.
# The submenu (Table, a separator, one item per host) is looked at on its screenshot; Qt
# keeps pop-up menus off the accessibility tree.
open_tray_menu
menu_down 2
xdotool key Right
sleep 0.6
shot hosts-state-submenu
xdotool key Return  # Table, the submenu's first item
sleep 1
cells=$("${A11Y[@]}" names "table cell")
for text in "127.0  .0  .1  " 127.0.0.1 Web http://127.0.0.1 Me '\\localhost' V6 '\\::1'; do
    grep -qxF "$text" <<<"$cells" || fail "'$text' is not in the state table: $cells"
done
shot state-table

# The language box: every letter typed translates the open dialog at once; Cancel brings the
# stored language back and writes nothing.
ini_before=$(md5sum <"$dir/Hostvane.ini")
open_tray_menu
menu_down 4
xdotool key Return
"${A11Y[@]}" wait-window Settings || fail "the settings dialog did not open again"
click_control "list item" Language Settings
click_control text "Select a language:" Settings
focus_window Settings
xdotool key ctrl+a BackSpace
xdotool type --delay 120 German
"${A11Y[@]}" wait-window Einstellungen || fail "typing German did not translate the dialog"
"${A11Y[@]}" centre "list item" Sprache Einstellungen >/dev/null || fail "the page list is not German"
shot language-German
click_control "push button" Abbrechen Einstellungen
sleep 1
[ "$(md5sum <"$dir/Hostvane.ini")" = "$ini_before" ] || fail "Cancel wrote the settings file"
open_tray_menu
menu_down 4
xdotool key Return
"${A11Y[@]}" wait-window Settings || fail "after Cancel the dialog is not English again"
click_control "push button" Cancel Settings
sleep 0.5

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
echo "PASS"
