#!/usr/bin/env bash
# Start-up: no window at start, the instance lock held while running; without a display the
# program says so on stderr and exits with 2.
source "$(dirname "$0")/lib.sh"
need xdotool flock

# No display at all.
dir=$(program_dir hostvane)
rc=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$dir/hostvane" >"$WORK/nodisp.out" \
    2>"$WORK/nodisp.err" || rc=$?
[ "$rc" -eq 2 ] || fail "no display: exit status $rc, expected 2"
grep -q "^hostvane: no display (DISPLAY and WAYLAND_DISPLAY are unset)" "$WORK/nodisp.err" ||
    fail "no display: stderr was: $(cat "$WORK/nodisp.err")"
[ "$(wc -l <"$WORK/nodisp.err")" -eq 1 ] || fail "no display: more than one line on stderr"
lock_held hostvane && fail "no display: the lock was taken"

# A host list with no hosts: the first pass reports nothing, so no window may show.
dir=$(program_dir hostvane "[HostList]")
start_own_x tray
start_program "$dir" hostvane
wait_until 15 lock_held hostvane || fail "the running program does not hold PREVINST:hostvane"
sleep 1.5  # the first pass and any window it could wrongly show
kill -0 "$PROG_PID" || fail "the program ended by itself: $(cat "$WORK/hostvane.err")"
[ -z "$(visible_windows "$PROG_PID")" ] || fail "a window is shown at start"

# Quit from the tray menu is menu.e2e.sh's; here SIGTERM.
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10; rc=$RC
[ "$rc" -eq 0 ] || fail "SIGTERM: exit status $rc"
lock_held hostvane && fail "the lock outlived the program"
echo "PASS"
