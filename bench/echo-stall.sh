#!/usr/bin/env bash
# Alternates `fping -c1 -q -i 0` and `hostvane --once` over the same N answering loopback
# hosts (127.0.x.y, ParallelChecks P) inside a network namespace of its own, and counts the
# program's passes that took 2.5 s or more (an echo went unanswered and its host waited for
# the second try), over 1 s, or saw a host down. Needs root; sends only within its own namespace.
#
#   bench/echo-stall.sh <build-folder> [PASSES [HOSTS [PARALLEL [FAMILY]]]]
#                                        (default 200 500 64 4; FAMILY 6 uses 2001:db8::/64)
set -euo pipefail

build=${1:?usage: echo-stall.sh <build-folder> [PASSES [HOSTS [PARALLEL [FAMILY]]]]}
passes=${2:-200}
n=${3:-500}
par=${4:-64}
fam=${5:-4}
exe=$build/hostvane
[ -x "$exe" ] || { echo "no $exe: build the hostvane target first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "run as root: namespaces and raw sockets" >&2; exit 1; }
command -v fping >/dev/null || { echo "fping missing: tools/install-deps.sh bench" >&2; exit 1; }

ns=hvs$$
work=$(mktemp -d /tmp/hv-stall-XXXXXX)
cleanup() {
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns"
ip -n "$ns" link set lo up

cp "$exe" "$work/hostvane"
cp "$build/hostvane-gui.so" "$work/"
cp -r "$build/Languages" "$work/Languages"

for ((i = 0; i < n; i++)); do
    if [ "$fam" = 6 ]; then
        a=$(printf '2001:db8::%x' $((i + 1)))
        ip -n "$ns" addr add "$a/128" dev lo nodad
    else
        a=127.0.$((i / 250)).$((i % 250 + 1))
    fi
    echo "$a"
done >"$work/addrs.txt"
fping6=()
[ "$fam" = 6 ] && fping6=(-6)
{
    printf '[HostList]\r\n'
    i=0
    while read -r a; do printf 'h%d=%s\r\n' "$i" "$a"; i=$((i + 1)); done <"$work/addrs.txt"
    printf '[CheckParams]\r\nParallelChecks=%s\r\n' "$par"
    printf '[General]\r\nLanguage=English\r\n'
} >"$work/Hostvane.ini"

stalled=0
slow=0
lost=0
worst=0
for ((p = 0; p < passes; p++)); do
    ip netns exec "$ns" fping "${fping6[@]}" -c1 -q -i 0 -f "$work/addrs.txt" 2>/dev/null || true
    t0=$(date +%s%N)
    ip netns exec "$ns" "$work/hostvane" --once >"$work/out.txt" 2>"$work/err.txt" || true
    ms=$(( ($(date +%s%N) - t0) / 1000000 ))
    up=$(grep -c '^up'$'\t' "$work/out.txt" || true)
    [ "$ms" -gt "$worst" ] && worst=$ms
    [ "$ms" -gt 1000 ] && slow=$((slow + 1))
    [ "$ms" -ge 2500 ] && stalled=$((stalled + 1))
    [ "$up" -eq "$n" ] || lost=$((lost + 1))
done
echo "passes $passes hosts $n parallel $par family $fam: 2.5 s or more $stalled, over 1 s $slow, with a host down $lost, slowest $worst ms"
