#!/usr/bin/env bash
# A missing or damaged skin file: the "Several files are broken" window, and once it is
# dismissed the program ends with status 1 without entering normal operation.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo flock

start_x tray
for damage in missing damaged; do
    dir=$(program_dir hostvane)
    if [ "$damage" = missing ]; then
        rm -rf "$dir/skins"
    else
        printf '[Skin]\nVersion=1\nWindow=not a colour\n' >"$dir/skins/hostvane.skn"
    fi
    start_program "$dir" hostvane
    wait_until 15 sh -c "xdotool search --onlyvisible --pid $PROG_PID >/dev/null" ||
        fail "$damage: no window appeared"
    win=$(visible_windows "$PROG_PID" | head -n1)
    name=$(xdotool getwindowname "$win")
    [ "$name" = Hostvane ] || fail "$damage: the window is named '$name'"
    # The message and nothing else: one window, and the check thread did not report yet.
    [ "$(visible_windows "$PROG_PID" | wc -l)" -eq 1 ] || fail "$damage: more than one window"
    xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus "$win" || true
    xdotool key --window "$win" Return
    wait_exit "$PROG_PID" 10; rc=$RC
    if [ "$rc" -eq 124 ]; then fail "$damage: the program did not end after the message"; fi
    [ "$rc" -eq 1 ] || fail "$damage: exit status $rc, expected 1"
    grep -q "skin" "$WORK/hostvane.err" || fail "$damage: stderr does not say why"
done
echo "PASS"
