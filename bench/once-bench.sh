#!/usr/bin/env bash
# Times `hostvane --once` over N answering loopback hosts (ICMP to 127.0.x.y; TCP to
# http://127.0.x.y with listeners on port 80), and fping over the same ICMP addresses in the
# same run. Needs root (raw sockets, port 80). Sends only to 127.0.0.0/16.
#
#   bench/once-bench.sh <build-folder> [N ...]      (default N: 100 1000)
set -euo pipefail

build=${1:?usage: once-bench.sh <build-folder> [N ...]}
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100 1000)
here=$(cd "$(dirname "$0")" && pwd)
exe=$build/hostvane
[ -x "$exe" ] || { echo "no $exe: build the hostvane target first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "run as root: raw ICMP sockets and port 80 listeners" >&2; exit 1; }

work=$(mktemp -d /tmp/hv-bench-XXXXXX)
listener=
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null && wait "$listener" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A program folder of its own: the executable finds its settings and language beside it.
cp "$exe" "$work/hostvane"
cp "$build/hostvane-gui.so" "$work/"
cp -r "$build/Languages" "$work/Languages"

now_ns() { date +%s%N; }
ms_between() { echo $(( ($2 - $1) / 1000000 )); }

addresses() {  # N distinct addresses 127.0.x.y, y in 1..250
    local n=$1 i
    for ((i = 0; i < n; i++)); do echo "127.0.$((i / 250)).$((i % 250 + 1))"; done
}

write_settings() {  # prefix ("" or "http://"), address file
    {
        printf '[HostList]\r\n'
        local i=0 a
        while read -r a; do printf 'h%d=%s%s\r\n' "$i" "$1" "$a"; i=$((i + 1)); done <"$2"
        printf '[General]\r\nLanguage=English\r\n'
    } >"$work/Hostvane.ini"
}

run_once() {  # expected host count → prints the milliseconds of the run
    local n=$1 t0 t1 status=0
    t0=$(now_ns)
    timeout 600 "$work/hostvane" --once >"$work/out.txt" 2>"$work/err.txt" || status=$?
    t1=$(now_ns)
    local up
    up=$(grep -c '^up'$'\t' "$work/out.txt" || true)
    if [ "$status" -ne 0 ] || [ "$up" -ne "$n" ]; then
        echo "hostvane --once: status $status, $up of $n hosts up" >&2
        head -n 5 "$work/err.txt" >&2
    fi
    ms_between "$t0" "$t1"
}

printf '%-6s %-5s %12s %12s %8s\n' "N" "probe" "hostvane ms" "fping ms" "ratio"
for n in "${sizes[@]}"; do
    addresses "$n" >"$work/addrs.txt"

    write_settings "" "$work/addrs.txt"
    icmp_ms=$(run_once "$n")
    # fping: one echo per address, no pause between sends (root may), no retries, the same
    # 2500 ms time-out.
    t0=$(now_ns)
    fping -q -i 0 -r 0 -t 2500 -f "$work/addrs.txt" || echo "fping reported unreachable hosts" >&2
    t1=$(now_ns)
    fping_ms=$(ms_between "$t0" "$t1")
    ratio=$(awk -v a="$icmp_ms" -v b="$fping_ms" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    printf '%-6s %-5s %12s %12s %8s\n' "$n" icmp "$icmp_ms" "$fping_ms" "$ratio"

    python3 "$here/listen80.py" --max-seconds 600 <"$work/addrs.txt" >"$work/listener.txt" &
    listener=$!
    for _ in $(seq 1 100); do grep -q ready "$work/listener.txt" 2>/dev/null && break; sleep 0.1; done
    grep -q ready "$work/listener.txt" || { echo "listener did not start" >&2; exit 1; }
    write_settings "http://" "$work/addrs.txt"
    tcp_ms=$(run_once "$n")
    kill "$listener"; wait "$listener" 2>/dev/null || true; listener=
    printf '%-6s %-5s %12s %12s %8s\n' "$n" tcp "$tcp_ms" "-" "-"
done
echo "targets: 1000 ICMP hosts under 1000 ms, 1000 TCP hosts under 2000 ms"
