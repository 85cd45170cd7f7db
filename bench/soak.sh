#!/usr/bin/env bash
# Soak: the tray program (Xvfb + trayer) checks 200 hosts every 200 ms for SOAK_SECONDS (600)
# while a tenth of them (local addresses of a namespace's loopback) change between answering and unreachable every 3 s. Prints the
# program's open descriptors and resident memory every 15 s. Needs root (a network namespace
# of its own: the hosts are local addresses there, never sent anywhere else).
# Usage: sudo bench/soak.sh build [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/lib.sh" "$1"
seconds=${2:-${SOAK_SECONDS:-600}}
[ "$(id -u)" -eq 0 ] || skip "needs root for its network namespace"
need ip trayer

ns="hvsoak$$"
ip netns add "$ns"
trap 'ip netns del "$ns" 2>/dev/null || true; cleanup' EXIT
ip -n "$ns" link set lo up
# An address that is not there fails at once instead of waiting 2.5 s per try.
ip -n "$ns" route add unreachable 198.51.100.0/24

ini='[HostList]'
for i in $(seq 1 200); do
    ini+=$'\n'"Host $i=198.51.100.$i"
    ip -n "$ns" address add "198.51.100.$i/32" dev lo
done
ini+=$'\n[CheckParams]\nCheckPeriod=200\nPopUpInterval=1000'

start_own_x tray
dir=$(program_dir hostvane "$ini")
ip netns exec "$ns" "$dir/hostvane" >"$WORK/hostvane.out" 2>"$WORK/hostvane.err" &
pid=$!
PIDS+=("$pid")
wait_until 15 lock_held hostvane || fail "the program did not start: $(cat "$WORK/hostvane.err")"

flap() {
    local round=0
    declare -A down=()
    while true; do
        local batch=""
        for _ in $(seq 1 20); do
            local i=$((RANDOM % 200 + 1))
            if [ -n "${down[$i]:-}" ]; then
                batch+="address add 198.51.100.$i/32 dev lo"$'\n'; unset "down[$i]"
            else
                batch+="address del 198.51.100.$i/32 dev lo"$'\n'; down[$i]=1
            fi
        done
        printf '%s' "$batch" | ip -n "$ns" -force -batch - 2>/dev/null || true
        round=$((round + 1))
        sleep 3
    done
}
flap &
PIDS+=($!)

echo "seconds fds rss_kb threads"
start=$SECONDS
while [ $((SECONDS - start)) -le "$seconds" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the program ended: $(cat "$WORK/hostvane.err")"
    fds=$(ls "/proc/$pid/fd" | wc -l)
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")
    echo "$((SECONDS - start)) $fds $rss $threads"
    sleep 15
done
kill -TERM "$pid"
wait_exit "$pid" 10
echo "exit status after SIGTERM: $RC"
