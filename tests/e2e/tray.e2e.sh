#!/usr/bin/env bash
# Tray icon: without a notification area the program says so once and keeps running; the icon
# docks as soon as one starts, docks again when it is re-created, and nothing else is mapped.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop

line="hostvane: no notification area yet; the tray icon appears as soon as one starts"
dir=$(program_dir hostvane "[HostList]")  # no hosts: no pass reports anything
start_own_x
start_program "$dir" hostvane
wait_until 15 grep -qF "$line" "$WORK/hostvane.err" ||
    fail "no word about the missing notification area: $(cat "$WORK/hostvane.err")"
sleep 1.5  # a few looks for a notification area
kill -0 "$PROG_PID" || fail "the program ended without a notification area"
[ "$(grep -cF "$line" "$WORK/hostvane.err")" -eq 1 ] || fail "said more than once"
[ -z "$(mapped_windows "$PROG_PID")" ] || fail "a window is mapped at start"

start_trayer
wait_until 15 tray_icon_docked || fail "the icon did not dock in the new notification area"
[ "$(tray_icons | wc -l)" -eq 1 ] || fail "more than one icon: $(tray_icons)"
[ -z "$(mapped_windows "$PROG_PID")" ] || fail "a window besides the icon is mapped"
xwininfo -id "$(tray_icons)" | grep -q "Map State: IsViewable" || fail "the icon is not mapped"

# The notification area goes away and comes back: the icon docks in the new one.
for pause in 2 0; do
    kill "$TRAYER_PID"
    wait_until 10 sh -c '! xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"' ||
        fail "trayer did not end"
    sleep "$pause"
    start_trayer
    wait_until 15 tray_icon_docked || fail "the icon did not come back after a restart ($pause s)"
    [ "$(tray_icons | wc -l)" -eq 1 ] || fail "more than one icon after a restart"
done
kill -0 "$PROG_PID" || fail "the program ended: $(cat "$WORK/hostvane.err")"

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
tray_icon_docked && fail "the icon outlived the program"
echo "PASS"
