#!/usr/bin/env bash
# [View] TrayStatus=1 where the tray speaks the D-Bus StatusNotifier protocol (KDE, GNOME's
# AppIndicator extension): on a private session bus with a watcher and host of the test's own
# (hv_sni_host), the item's icon and tooltip follow the hosts and Stop; without the key the
# item keeps one icon and an empty tooltip. Hosts are loopback only: 127.0.0.1 answers ICMP,
# "http://127.0.0.3" is refused (nothing listens on its port 80).
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop dbus-daemon dbus-send
need_icmp
if ss -Hltn 2>/dev/null | awk '{print $4}' | grep -Eq '^(0\.0\.0\.0|127\.0\.0\.3|\*|\[::\]):80$'; then
    skip "something listens on port 80 of 127.0.0.3: the lost host would answer"
fi
SNI_HOST="$BUILD_DIR/tests/hv_sni_host"
[ -x "$SNI_HOST" ] || fail "$SNI_HOST is not built"

start_own_x
# Xvfb resets when its last client leaves; a client that stays keeps the programs from
# starting into a reset (it may itself meet one, and is then started again).
for _ in 1 2 3 4 5; do
    xprop -root -spy >/dev/null 2>&1 &
    PIDS+=($!)
    sleep 0.3
    kill -0 "${PIDS[-1]}" 2>/dev/null && break
done
dbus-daemon --session --nofork --print-address >"$WORK/bus.addr" 2>"$WORK/bus.err" &
PIDS+=($!)
wait_until 10 test -s "$WORK/bus.addr" || fail "no private session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$WORK/bus.addr")
export DBUS_SESSION_BUS_ADDRESS
"$SNI_HOST" 200 >"$WORK/sni.out" 2>"$WORK/sni.err" &
PIDS+=($!)
wait_until 10 grep -qx ready "$WORK/sni.out" || fail "the StatusNotifier host did not start"

# item_lines: what the host saw of the program's items: "<md5 of the icon> <tooltip>", one a
# line, in order.
item_lines() { sed -n 's/^item [^ ]* //p' "$WORK/sni.out"; }
# with_tip TIP: the lines whose tooltip is exactly TIP (line breaks written as \n).
with_tip() {
    item_lines | T=" $1" awk 'substr($0, length($0) - length(ENVIRON["T"]) + 1) == ENVIRON["T"]'
}
tip_seen() { [ -n "$(with_tip "$1")" ]; }
hash_of() { with_tip "$1" | head -n1 | cut -d' ' -f1; }

up="Loopback one=127.0.0.1"
lost="Nothing on port 80=http://127.0.0.3"
prog_dir() {
    program_dir hostvane "$(printf '%s\n' "[HostList]" "$up" "$lost" "" "[View]" "$1" "" \
        "[CheckParams]" "CheckPeriod=600000" "PopUpInterval=1000" "" "[General]" "Language=English")"
}

# With the key: some lost after the first pass, then Stop from the item's menu.
start_program "$(prog_dir TrayStatus=1)" hostvane
some='1 of 2 hosts answering\n  Nothing on port 80'
wait_until 30 tip_seen "$some" || fail "the item's tooltip never said some are lost: $(item_lines)"
item=$(sed -n 's/^item \([^ ]*\) .*/\1/p' "$WORK/sni.out" | head -n1)
# Under the protocol a left click (Activate) opens the tray menu; its first item is Stop.
dbus-send --session --type=method_call --dest="${item%%/*}" "/${item#*/}" \
    org.kde.StatusNotifierItem.Activate int32:600 int32:500
wait_until 10 tray_menu_open "$PROG_PID" || fail "Activate opened no menu"
read -r mw mh mx my < <(window_geometry "$(tray_menu_open "$PROG_PID")")
xdotool mousemove $((mx + 40)) $((my + 12)) click 1
wait_until 10 tip_seen 'Checking stopped' || fail "the item did not say stopped: $(item_lines)"
[ "$(hash_of "$some")" != "$(hash_of 'Checking stopped')" ] || fail "the icon did not change at Stop"
with_key=$(item_lines)
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"

# Without the key: one icon from start to after the first pass, and no tooltip.
cp "$WORK/sni.out" "$WORK/sni.out.before"
start_program "$(prog_dir "")" hostvane
wait_until 30 balloon_window "$PROG_PID" ||
    fail "no report of the first pass: $(tail -n5 "$WORK/hostvane.err")"
sleep 1
new=$(diff "$WORK/sni.out.before" "$WORK/sni.out" | sed -n 's/^> item [^ ]* //p' || true)
[ "$(printf '%s\n' "$new" | grep -c .)" -eq 1 ] || fail "without the key the item changed: $new"
case "$new" in *' ') ;; *) fail "without the key the item has a tooltip: $new" ;; esac
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
printf 'with the key:\n%s\nwithout:\n%s\n' "$with_key" "$new"
echo "PASS"
