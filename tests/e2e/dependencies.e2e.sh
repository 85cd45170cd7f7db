#!/usr/bin/env bash
# Hosts behind a gateway in the running program: a parent web server and three dependents on
# loopback ports go away at once and come back. The log gets one line each way, for the parent
# (the lost one counting the three), and the lost balloon is one host line high: lower than the
# first pass's, which lists all four.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop python3

# Four free loopback ports, then one process listening on all of them until it is killed.
mapfile -t ports < <(python3 -c 'import socket
socks = [socket.socket() for _ in range(4)]
for s in socks: s.bind(("127.0.0.1", 0))
for s in socks: print(s.getsockname()[1])')
[ ${#ports[@]} -eq 4 ] || fail "no free ports"
serve() {
    local ready="$WORK/servers.ready"
    rm -f "$ready"
    python3 -c 'import socket, sys, time, select
socks = []
for p in sys.argv[2:]:
    s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", int(p))); s.listen(16); socks.append(s)
open(sys.argv[1], "w").close()
end = time.time() + 200
while time.time() < end:
    for s in select.select(socks, [], [], 0.5)[0]: s.accept()[0].close()' \
        "$ready" "${ports[@]}" >"$WORK/servers.log" 2>&1 &
    SERVERS=$!
    PIDS+=("$SERVERS")
    wait_until 60 test -e "$ready" || fail "the servers did not start: $(tail -n 2 "$WORK/servers.log")"
}

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" \
    "Router=tcp://127.0.0.1:${ports[0]}" "Web=tcp://127.0.0.1:${ports[1]}" \
    "Mail=tcp://127.0.0.1:${ports[2]}" "Files=tcp://127.0.0.1:${ports[3]}" "" \
    "[Dependencies]" "Web=Router" "Mail=Router" "Files=Router" "" \
    "[CheckParams]" "CheckPeriod=1000" "PopUpInterval=1500" "ParallelChecks=4" "" \
    "[General]" "Language=English")")
serve
start_own_x tray
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
wait_window 20 balloon_window "$PROG_PID" || fail "no balloon after the first pass"
read -r _ first_h _ < <(window_geometry "$WIN")
wait_until 15 window_unmapped "$WIN" || fail "the first balloon did not hide"

kill "$SERVERS"
wait_window 20 balloon_window "$PROG_PID" || fail "no balloon when the hosts went away"
read -r _ lost_h _ < <(window_geometry "$WIN")
[ "$lost_h" -lt "$first_h" ] ||
    fail "the lost balloon is $lost_h high, not lower than the four hosts' $first_h"
wait_until 15 window_unmapped "$WIN" || fail "the lost balloon did not hide"

serve
wait_window 20 balloon_window "$PROG_PID" || fail "no balloon when the hosts came back"
wait_until 15 window_unmapped "$WIN" || fail "the last balloon did not hide"

# Log > Save from the tray menu, by the keyboard: Stop, Hosts state, Log; then Save.
read -r ix iy < <(tray_icon_centre)
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not map the menu"
for k in Down Down Down Right Down Return; do xdotool key "$k"; sleep 0.3; done
save_dialog() { xdotool search --onlyvisible --name '^Save log\.\.\.' | head -n1 | grep .; }
wait_until 10 save_dialog || fail "Log > Save did not open the save dialog"
xdotool type --delay 20 "$WORK/saved"
xdotool key Return
wait_until 10 test -s "$WORK/saved.log" || fail "nothing was saved to $WORK/saved.log"

mapfile -t changes < <(sed 's/\r$//' "$WORK/saved.log" | tail -n +3 | sed 's/^[0-9:]*\. //')
expected=("Host appeared: Router" "Host appeared: Web" "Host appeared: Mail"
    "Host appeared: Files" "Host lost: Router, 3 hosts behind it unreachable"
    "Host appeared: Router")
[ "${changes[*]}" = "${expected[*]}" ] ||
    fail "log lines: $(printf '[%s] ' "${changes[@]}")"

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
echo "PASS"
