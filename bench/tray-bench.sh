#!/usr/bin/env bash
# Peak resident memory of the tray program after passes over N answering loopback hosts, and
# its CPU time while idle between passes, for each ParallelChecks given. Runs the program
# offscreen in a network namespace of its own.
#
#   bench/tray-bench.sh <build-folder> [HOSTS [PARALLEL ...]]     (default: 500 1 256)
#
# With HISTORY_SECONDS=S it measures the history's load instead: a pass every second with
# [History] KeepDays=30 for S seconds, then the peak resident memory, the CPU time of the
# history's writer thread and the file's bytes per sample.
set -euo pipefail

build=${1:?usage: tray-bench.sh <build-folder> [HOSTS [PARALLEL ...]]}
n=${2:-500}
shift $(( $# > 1 ? 2 : 1 ))
widths=("$@")
[ ${#widths[@]} -gt 0 ] || widths=(1 256)
[ "$(id -u)" -eq 0 ] || { echo "run as root: namespaces and raw sockets" >&2; exit 1; }

ns=hvt$$-tray
work=$(mktemp -d /tmp/hv-tbench-XXXXXX)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns"
ip -n "$ns" link set lo up
# A name of its own: another copy of hostvane running on this machine holds the lock of its name.
cp "$build/hostvane" "$work/hostvane-bench"
cp "$build/hostvane-gui.so" "$work/"
cp -r "$build/Languages" "$build/skins" "$work/" 2>/dev/null || true

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

if [ -n "${HISTORY_SECONDS:-}" ]; then
    w=${widths[0]}
    {
        printf '[HostList]\r\n'
        for ((i = 0; i < n; i++)); do printf 'h%d=127.0.%d.%d\r\n' "$i" $((i / 250)) $((i % 250 + 1)); done
        printf '[CheckParams]\r\nCheckPeriod=1000\r\nParallelChecks=%s\r\n' "$w"
        printf '[History]\r\nKeepDays=30\r\n[General]\r\nLanguage=English\r\n'
    } >"$work/Hostvane.ini"
    QT_QPA_PLATFORM=offscreen ip netns exec "$ns" "$work/hostvane-bench" >"$work/log.txt" 2>&1 &
    pid=$!
    sleep "$HISTORY_SECONDS"
    peak=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")
    writer=0
    for t in /proc/$pid/task/*; do
        [ "$(cat "$t/comm")" = hv-history ] && writer=$(awk '{ print $14 + $15 }' "$t/stat")
    done
    total=$(ticks "$pid")
    kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
    db="$work/history.sqlite"
    samples=$(sqlite3 "$db" 'SELECT count(*) FROM samples')
    bytes=$({ cat "$db"; cat "$db-wal" 2>/dev/null || true; } | wc -c)  # a WAL left over counts too
    echo "hosts $n, parallel $w, ${HISTORY_SECONDS} s at a 1-s period"
    echo "peak resident memory: $peak KiB"
    echo "writer thread cpu: $(( writer * 1000 / hz )) ms ($(( writer * 100000 / hz / HISTORY_SECONDS / 1000 )).$(( writer * 100000 / hz / HISTORY_SECONDS % 1000 / 100 )) % of a core); whole program: $(( total * 1000 / hz )) ms"
    echo "history: $samples samples, $bytes bytes, $(( bytes * 10 / (samples > 0 ? samples : 1) )) tenths of a byte a sample"
    exit 0
fi

printf '%-9s %6s %12s %16s\n' parallel hosts "peak KiB" "idle cpu ms/10s"
for w in "${widths[@]}"; do
    {
        printf '[HostList]\r\n'
        for ((i = 0; i < n; i++)); do printf 'h%d=127.0.%d.%d\r\n' "$i" $((i / 250)) $((i % 250 + 1)); done
        # A pass every 20 s: the first at start, the second at 20 s.
        printf '[CheckParams]\r\nCheckPeriod=20000\r\nParallelChecks=%s\r\n' "$w"
        printf '[General]\r\nLanguage=English\r\n'
    } >"$work/Hostvane.ini"
    QT_QPA_PLATFORM=offscreen ip netns exec "$ns" nice "$work/hostvane-bench" >"$work/log.txt" 2>&1 &
    pid=$!
    sleep 8                     # the first pass is over
    t0=$(ticks "$pid")
    sleep 10                    # idle between passes
    t1=$(ticks "$pid")
    sleep 8                     # the second pass
    peak=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")
    kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
    printf '%-9s %6s %12s %16s\n' "$w" "$n" "$peak" $(( (t1 - t0) * 1000 / hz ))
done
