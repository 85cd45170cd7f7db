#!/usr/bin/env bash
# SIGTERM and SIGINT end the running program as Quit does, with status 0, while passes run
# over loopback hosts every second.
source "$(dirname "$0")/lib.sh"
need flock

start_own_x
ini='[HostList]
Self=127.0.0.1
Web=http://127.0.0.1
[CheckParams]
CheckPeriod=1000'
for sig in TERM INT; do
    dir=$(program_dir hostvane "$ini")
    start_program "$dir" hostvane
    wait_until 30 lock_held hostvane || fail "$sig: the program did not take its lock ($(
        kill -0 "$PROG_PID" 2>/dev/null && echo running || echo ended)), stderr: $(
        cat "$WORK/hostvane.err")"
    sleep 1
    kill -0 "$PROG_PID" || fail "$sig: the program ended by itself"
    kill -"$sig" "$PROG_PID"
    wait_exit "$PROG_PID" 10; rc=$RC
    [ "$rc" -eq 0 ] || fail "SIG$sig: exit status $rc, stderr: $(cat "$WORK/hostvane.err")"
    lock_held hostvane && fail "SIG$sig: the lock outlived the program"
done
echo "PASS"
