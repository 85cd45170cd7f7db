#!/usr/bin/env bash
# One copy per executable name: a second copy of the same file ends at once with status 0 and
# shows nothing; a copy under another name, or a name whose first letter differs in case,
# runs beside the first.
source "$(dirname "$0")/lib.sh"
need xdotool flock

start_own_x tray
# No hosts: no report pops up, so any window shown would come from the activation.
dir=$(program_dir hostvane "[HostList]")
start_program "$dir" hostvane
first=$PROG_PID
wait_until 15 lock_held hostvane || fail "the first copy does not hold its lock"

# Second copy of the same executable.
"$dir/hostvane" >"$WORK/second.out" 2>"$WORK/second.err" &
second=$!
PIDS+=("$second")
wait_exit "$second" 5; rc=$RC
[ "$rc" -eq 0 ] || fail "second copy: exit status $rc, stderr: $(cat "$WORK/second.err")"
kill -0 "$first" || fail "the first copy ended"
[ -z "$(visible_windows "$first")" ] || fail "the first copy shows a window after activation"

# Same name but the letters after the first in another case: the same lock.
cp "$dir/hostvane" "$dir/hOSTVANE"
rc=0
timeout 5 "$dir/hOSTVANE" >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "hOSTVANE: exit status $rc, expected an at-once end with 0"

# Another file name and another first letter: other locks, running side by side.
cp "$dir/hostvane" "$dir/hostvane2"
cp "$dir/hostvane" "$dir/Hostvane"
start_program "$dir" hostvane2
other=$PROG_PID
start_program "$dir" Hostvane
upper=$PROG_PID
wait_until 15 lock_held hostvane2 || fail "hostvane2 does not run beside hostvane"
wait_until 15 lock_held Hostvane || fail "Hostvane does not run beside hostvane"
sleep 1
for p in "$first" "$other" "$upper"; do kill -0 "$p" || fail "copy $p ended"; done

for p in "$first" "$other" "$upper"; do
    kill -TERM "$p"
    wait_exit "$p" 10; rc=$RC
    [ "$rc" -eq 0 ] || fail "copy $p: exit status $rc"
done
echo "PASS"
