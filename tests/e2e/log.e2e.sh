#!/usr/bin/env bash
# The event log of the running program: after the first pass over 127.0.0.1, Log > Save from
# the tray menu (driven by the keyboard) writes the dated header, an empty line and the
# change line "<time>. Host appeared: This computer", each ending in CR LF; a bare file name
# gets ".log".
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop
need_icmp

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "This computer=127.0.0.1" \
    "Not checked=   " "" "[CheckParams]" "CheckPeriod=600000" "PopUpInterval=1000" "" \
    "[General]" "Language=English")")
start_own_x tray
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
wait_until 20 balloon_window "$PROG_PID" || fail "no balloon after the first pass"
wait_until 15 window_unmapped "$(balloon_window "$PROG_PID")" || fail "the balloon did not hide"

read -r ix iy < <(tray_icon_centre)
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not map the menu"
# Stop, Hosts state, Log; the submenu's second item is Save.
for k in Down Down Down Right Down Return; do xdotool key "$k"; sleep 0.3; done
save_dialog() { xdotool search --onlyvisible --name '^Save log\.\.\.' | head -n1 | grep .; }
wait_until 10 save_dialog || fail "Log > Save did not open the save dialog"
xdotool type --delay 20 "$WORK/saved"
xdotool key Return
wait_until 10 test -s "$WORK/saved.log" || fail "nothing was saved to $WORK/saved.log"

expected_header=$(printf '  *** %s ***' "$(date +%m.%d.%Y)")
mapfile -t lines < <(sed 's/\r$//' "$WORK/saved.log")
[ "${lines[0]}" = "$expected_header" ] || fail "header is '${lines[0]}', expected '$expected_header'"
[ -z "${lines[1]}" ] || fail "no empty line after the header: '${lines[1]}'"
[[ "${lines[2]}" =~ ^[0-9]{1,2}:[0-9]{2}:[0-9]{2}\.\ Host\ appeared:\ This\ computer$ ]] ||
    fail "change line is '${lines[2]}'"
[ ${#lines[@]} -eq 3 ] || fail "expected 3 lines, the file has ${#lines[@]}"
crlf=$(grep -c $'\r$' "$WORK/saved.log" || true)
[ "$crlf" -eq 3 ] || fail "expected every line to end in CR LF ($crlf of 3 do)"

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
echo "PASS"
