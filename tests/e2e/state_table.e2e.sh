#!/usr/bin/env bash
# The host state table of the running program, read through the accessibility bus as a screen
# reader does: the figures of answering loopback ICMP hosts and of a TCP host whose connection
# is refused, and sorting by a clicked column header (the tray's host submenu keeps the list
# order). Settings > OK without a change reports no host again. Then LostAfter=2 with a loopback web server that is away for exactly one pass: no
# balloon, no change; away for good: reported after the second failed pass.
# Screenshots go to $HV_SHOTS (default: <build>/e2e-shots/state).
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop import dbus-launch ss
need_icmp
[ "$(id -u)" -eq 0 ] || skip "the web server on 127.83.0.5 port 80 needs root"
[ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    skip "python3-pyatspi is not installed"
# listening ADDRESS: some socket listens on port 80 of ADDRESS, or on every address. Other
# tests may listen on port 80 of other loopback addresses meanwhile; those do not matter.
listening() {
    ss -Hltn 'sport = :80' | awk -v a="$1:80" '$4 == a || $4 == "0.0.0.0:80" || $4 == "*:80" ||
        $4 == "[::]:80" {found = 1} END {exit !found}'
}
not_listening() { ! listening "$1"; }
for a in 127.83.0.3 127.83.0.5; do
    ! listening $a || skip "something listens on port 80 of $a already"
done
A11Y=(/usr/bin/python3 "$(dirname "$0")/a11y.py")
SHOTS=${HV_SHOTS:-$BUILD_DIR/e2e-shots/state}
mkdir -p "$SHOTS"

# A web server on 127.83.0.5:80 that this test starts and stops.
WEB_PID=""
web_up() { start_web_server 127.83.0.5; }
web_down() {
    kill "$WEB_PID" 2>/dev/null || true
    wait "$WEB_PID" 2>/dev/null || true
    wait_until 5 not_listening 127.83.0.5 || fail "the web server did not stop"
}

web_up
dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "Loop b=127.0.0.2" "Loop a=127.0.0.1" \
    "Refused=http://127.83.0.3" "Web=http://127.83.0.5" "[CheckParams]" "CheckPeriod=4000" \
    "PopUpInterval=3000" "ParallelChecks=4" "LostAfter=2" "AppearedAfter=1" \
    "[General]" "Language=English")")
start_own_x tray
start_a11y_bus
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
read -r ix iy < <(tray_icon_centre)

shot() { sleep 0.4; import -window root "$SHOTS/$1.png"; }
table() { "${A11Y[@]}" table "Host status"; }
# column TITLE: the cells of that column, top to bottom.
column() {
    table | /usr/bin/python3 -c 'import sys
rows = [l.rstrip("\n").split("\t") for l in sys.stdin]
c = rows[0].index(sys.argv[1])
print("\n".join(r[c] for r in rows[1:]))' "$1"
}
# cell TITLE COLUMN [TABLE]: the cell of the row with that title, in TABLE (the text of one
# earlier table()) or in the table as it is now. The figures grow every pass: cells compared
# with each other come from one reading.
cell() {
    if [ $# -ge 3 ]; then printf '%s\n' "$3"; else table; fi | /usr/bin/python3 -c 'import sys
rows = [l.rstrip("\n").split("\t") for l in sys.stdin]
t, c = rows[0].index("Title"), rows[0].index(sys.argv[2])
print(next(r[c] for r in rows[1:] if r[t] == sys.argv[1]))' "$1" "$2"
}
checks_at_least() { [ "$(column Checks | sort -n | head -n1)" -ge "$1" ]; }

# Hosts state → Table.
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not open the tray menu"
for _ in 1 2; do xdotool key Down; sleep 0.1; done
xdotool key Right
sleep 0.5
xdotool key Return
"${A11Y[@]}" wait-window "Host status" || fail "the state table did not open"
# Designed 481 pixels wide, the figures start beyond it: widened as a user would.
win=$(xdotool search --onlyvisible --name "^Host status" | head -n1)
[ -n "$win" ] || fail "no window 'Host status'"
xdotool windowsize "$win" 1000 300
heads=$(table)
heads=${heads%%$'\n'*}
for h in Title Address "Round trip, ms" "Last change" Checks Failures "Answered, %"; do
    grep -qF "$h" <<<"$heads" || fail "no column '$h': $heads"
done
wait_until 40 checks_at_least 3 || fail "the figures did not grow: $(table)"

# Answering ICMP hosts: a round trip, no failure, a time of appearing; the refused TCP host:
# no round trip, every check failed, never appeared.
for t in "Loop a" "Loop b" Web; do
    rt=$(cell "$t" "Round trip, ms")
    # In ms from µs: 2 decimals below 10 ms, 1 below 100 ms, none above; a loopback answer
    # is far below 10 ms.
    [[ "$rt" =~ ^[0-9]\.[0-9]{2}$|^[0-9]{2}\.[0-9]$|^[0-9]{3,}$ ]] || fail "$t has no round trip: '$rt'"
    [ "$(cell "$t" Failures)" = 0 ] || fail "$t failed: $(table)"
    [ "$(cell "$t" "Answered, %")" = "100.0" ] || fail "$t did not answer every check: $(table)"
    [[ "$(cell "$t" "Last change")" =~ ^20[0-9][0-9]-[0-9][0-9]-[0-9][0-9]\ [0-9:]{8}$ ]] ||
        fail "$t has no time of appearing: $(table)"
done
[ -z "$(cell Refused "Round trip, ms")" ] || fail "the refused host has a round trip"
now=$(table)
[ "$(cell Refused Failures "$now")" = "$(cell Refused Checks "$now")" ] || fail "refused checks: $now"
[ "$(cell Refused "Answered, %")" = "0.0" ] || fail "refused host answered: $(table)"
[ -z "$(cell Refused "Last change")" ] || fail "the refused host changed"
[ "$(column Title | tr '\n' '|')" = "Loop b|Loop a|Refused|Web|" ] || fail "not in list order: $(table)"
shot state-table

# Hovering the refused host's address shows where the check went and why it failed.
read -r x y < <("${A11Y[@]}" centre "table cell" "http://127.83.0.3" "Host status") ||
    fail "no address cell of the refused host"
xdotool mousemove "$x" "$y"
sleep 0.3
xdotool mousemove "$((x + 2))" "$y"
sleep 1.5
shot address-tooltip
tip=$("${A11Y[@]}" names "tool tip" 2>&1 || true)
xdotool mousemove 0 0
grep -qxF "Checked at 127.83.0.3:80" <<<"$tip" || fail "no checked address in the tooltip: $tip"
grep -qF "Connection refused." <<<"$tip" || fail "no failure in the tooltip: $tip"

# A click on a column header sorts the table: by title, then by failures.
click_header() {
    local x y
    read -r x y < <("${A11Y[@]}" centre "table column header" "$1" "Host status") ||
        fail "no column header '$1'"
    xdotool mousemove "$x" "$y" click 1
    sleep 0.5
}
click_header Title
[ "$(column Title | tr '\n' '|')" = "Loop a|Loop b|Refused|Web|" ] ||
    fail "a click on Title did not sort by title: $(table)"
shot sorted-by-title
click_header Failures
column_now=$(column Failures)
failures=$(tr '\n' ' ' <<<"$column_now")
sorted=$(sort -n <<<"$column_now" | tr '\n' ' ')
sorted_desc=$(sort -rn <<<"$column_now" | tr '\n' ' ')
[ "$failures" = "$sorted" ] || [ "$failures" = "$sorted_desc" ] ||
    fail "a click on Failures did not sort by failures: $(table)"
shot sorted-by-failures

# Settings > OK without a change: the list is rebuilt and checked, but no host is reported
# again, so no balloon comes and every Last change stays.
before=$(table)
checks_then=$(cell "Loop a" Checks "$before")
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not open the tray menu"
for _ in 1 2 3 4; do xdotool key Down; sleep 0.1; done  # Stop, Hosts state, Log, Settings
xdotool key Return
"${A11Y[@]}" wait-window Settings || fail "the settings dialog did not open"
read -r x y < <("${A11Y[@]}" centre "push button" OK Settings) || fail "no OK in Settings"
xdotool mousemove "$x" "$y" click 1
balloon_seen=""
end=$((SECONDS + 20))
while [ "$(cell "Loop a" Checks)" -lt $((checks_then + 2)) ]; do
    [ $SECONDS -lt $end ] || fail "no pass after OK: $(table)"
    balloon_window "$PROG_PID" >/dev/null && balloon_seen=yes
    sleep 0.1
done
[ -z "$balloon_seen" ] || fail "OK without a change raised a balloon"
after=$(table)
for t in "Loop a" "Loop b" Web; do
    [ "$(cell "$t" "Last change" "$after")" = "$(cell "$t" "Last change" "$before")" ] ||
        fail "OK without a change reported $t again: $before / $after"
done

# LostAfter=2: the web server is away for exactly one pass.
no_balloon() { ! balloon_window "$PROG_PID" >/dev/null; }
wait_until 10 no_balloon || fail "the balloon stays"
failed_before=$(cell Web Failures)
checks_before=$(cell Web Checks)
web_down
web_failed_once() { [ "$(cell Web Failures)" -gt "$failed_before" ]; }
balloon_seen=""
end=$((SECONDS + 20))
while ! web_failed_once; do
    [ $SECONDS -lt $end ] || fail "the web host never failed: $(table)"
    balloon_window "$PROG_PID" >/dev/null && balloon_seen=yes
    sleep 0.1
done
web_up  # back before the next pass
[ "$(cell Web Failures)" -eq $((failed_before + 1)) ] || fail "more than one failed pass"
# Two more passes: the web server answers them; no balloon and no change meanwhile.
checks_now=$(cell Web Checks)
end=$((SECONDS + 30))
while [ "$(cell Web Checks)" -lt $((checks_now + 2)) ]; do
    [ $SECONDS -lt $end ] || fail "no more passes: $(table)"
    balloon_window "$PROG_PID" >/dev/null && balloon_seen=yes
    sleep 0.1
done
[ -z "$balloon_seen" ] || fail "one lost reply raised a balloon"
[ "$(cell Web "Answered, %")" != "100.0" ] || fail "the failure was not counted"
shot after-one-lost-reply

# Away for good: reported lost after the second failed pass, with a balloon.
web_down
wait_until 25 balloon_window "$PROG_PID" || fail "a host away for two passes raised no balloon"
import -window root "$SHOTS/balloon-after-two-lost-passes.png"
# One failed, two answered, two failed passes since.
[ "$(cell Web Checks)" -ge $((checks_before + 5)) ] || fail "reported too early: $(table)"

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
echo "PASS"
