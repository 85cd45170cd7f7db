#!/usr/bin/env bash
# No notification area: some seconds after start the host state table comes up as an ordinary
# window with the tray menu's commands and a notice; a notification area that starts later
# takes the icon and the window goes.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo

dir=$(program_dir hostvane "[HostList]")
start_own_x
started=$SECONDS
start_program "$dir" hostvane
no_window() { [ -z "$(mapped_windows "$PROG_PID")" ]; }
has_window() { [ -n "$(mapped_windows "$PROG_PID")" ]; }

wait_until 30 has_window || fail "no window without a notification area: $(cat "$WORK/hostvane.err")"
[ $((SECONDS - started)) -ge 3 ] || fail "the window came before the grace time"
win=$(mapped_windows "$PROG_PID" | head -n 1)
case "$(xdotool getwindowname "$win")" in "Hosts state"* | "Host status"*) ;; *) fail "not the state table: $(xdotool getwindowname "$win")" ;; esac
[ -n "${HV_SHOTS:-}" ] && import -window root "$HV_SHOTS/notray.png"

start_trayer
wait_until 15 tray_icon_docked || fail "the icon did not dock"
wait_until 10 no_window || fail "the window stayed after the notification area came"
kill -0 "$PROG_PID" || fail "the program ended"

kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "exit status $RC"
echo "PASS"
