#!/usr/bin/env bash
# Log > Export... in the running program: a web server on a loopback address answers the first
# pass and is then shut, so the run has three changes (127.0.0.1 and the server appeared, the
# server lost). The tray menu, driven by the keyboard, exports them; the CSV file has the
# header and those three records, times with today's date and this zone's offset, CR LF line
# ends, the title with a comma and quotes quoted. Keeps a screenshot of the open Log submenu
# in $HV_E2E_SHOTS when that is set.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop import python3
need_icmp
[ "$(id -u)" -eq 0 ] || skip "the web server on port 80 needs root"

web="127.0.$((RANDOM % 200 + 20)).$((RANDOM % 200 + 20))"
start_web_server "$web"

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "This computer=127.0.0.1" \
    "Web, \"main\"=http://$web" "" "[CheckParams]" "CheckPeriod=1000" "PopUpInterval=1500" "" \
    "[General]" "Language=English")")
start_own_x tray
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
wait_until 20 balloon_window "$PROG_PID" || fail "no balloon after the first pass"
kill "$WEB_PID"
wait "$WEB_PID" 2>/dev/null || true
# The next pass (within a second) finds the server refusing; after that nothing changes.
sleep 3
wait_until 15 window_unmapped "$(balloon_window "$PROG_PID" || true)" || fail "the balloon stayed"

read -r ix iy < <(tray_icon_centre)
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not map the menu"
# Stop, Hosts state, Log; in the submenu View, Save, Export.
for k in Down Down Down Right Down Down; do xdotool key "$k"; sleep 0.3; done
sleep 0.3
shots=${HV_E2E_SHOTS:-$WORK/shots}
mkdir -p "$shots"
import -window root "$shots/export-menu.png"
xdotool key Return
export_dialog() { xdotool search --onlyvisible --name '^Export log\.\.\.' | head -n1 | grep .; }
wait_until 10 export_dialog || fail "Log > Export did not open the export dialog"
xdotool type --delay 20 "$WORK/changes"
xdotool key Return
wait_until 10 test -s "$WORK/changes.csv" || fail "nothing was exported to $WORK/changes.csv"

mapfile -t lines < <(sed 's/\r$//' "$WORK/changes.csv")
[ ${#lines[@]} -eq 4 ] || fail "expected 4 lines, the file has ${#lines[@]}: $(cat "$WORK/changes.csv")"
[ "${lines[0]}" = "time,title,address,event,round_trip_ms" ] || fail "header is '${lines[0]}'"
day=$(date +%Y-%m-%d) zone=$(date +%:z)
time_re="^${day}T[0-9]{2}:[0-9]{2}:[0-9]{2}${zone//+/\\+},"
web_re="${web//./\\.}"
expect() {
    [[ "${lines[$1]}" =~ ${time_re}$2$ ]] || fail "line $1 is '${lines[$1]}', expected time,$2"
}
expect 1 'This computer,127\.0\.0\.1,appeared,[0-9]+(\.[0-9]{1,3})?'
expect 2 "\"Web, \"\"main\"\"\",http://${web_re},appeared,[0-9]+(\\.[0-9]{1,3})?"
expect 3 "\"Web, \"\"main\"\"\",http://${web_re},lost,"
crlf=$(grep -c $'\r$' "$WORK/changes.csv" || true)
[ "$crlf" -eq 4 ] || fail "expected every line to end in CR LF ($crlf of 4 do)"
[ -z "$(find "$WORK" -maxdepth 1 -name '.changes.csv.*')" ] || fail "a temporary was left behind"

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
echo "PASS"
