#!/usr/bin/env bash
# A missing or damaged skin file: the "Several files are broken" window, and once it is
# dismissed the program ends with status 1 without entering normal operation.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo flock

start_own_x tray
for damage in missing damaged term; do
    dir=$(program_dir hostvane)
    if [ "$damage" != damaged ]; then
        rm -rf "$dir/skins"
    else
        printf '[Skin]\nVersion=1\nWindow=not a colour\n' >"$dir/skins/hostvane.skn"
    fi
    start_program "$dir" hostvane
    # The top-level window named Hostvane (a window may still be re-created while it maps).
    box_window() {
        local w
        for w in $(visible_windows "$PROG_PID"); do
            [ "$(xdotool getwindowname "$w" 2>/dev/null)" = Hostvane ] && { echo "$w"; return 0; }
        done
        return 1
    }
    wait_until 15 box_window || fail "$damage: no window named Hostvane appeared"
    sleep 0.5
    win=$(box_window) || fail "$damage: the message window went away by itself"
    # The message and nothing else: one window, and the check thread did not report yet.
    [ "$(visible_windows "$PROG_PID" | wc -l)" -eq 1 ] || fail "$damage: more than one window"
    if [ "$damage" = term ]; then
        # SIGTERM while the start-up waits in the message: it closes and the program ends.
        kill -TERM "$PROG_PID"
        wait_exit "$PROG_PID" 10
        [ "$RC" -eq 1 ] || fail "SIGTERM during the message: exit status $RC, expected 1"
        continue
    fi
    # Focus the box and press Return through XTEST: a key sent to the window itself could fail
    # half-way once the box closes on the press, and leave Return held down for the next test.
    xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win" 2>/dev/null || true
    xdotool key Return
    xdotool keyup Return 2>/dev/null || true
    wait_exit "$PROG_PID" 10; rc=$RC
    if [ "$rc" -eq 124 ]; then fail "$damage: the program did not end after the message"; fi
    [ "$rc" -eq 1 ] || fail "$damage: exit status $rc, expected 1"
    grep -q "skin" "$WORK/hostvane.err" || fail "$damage: stderr does not say why"
done
echo "PASS"
