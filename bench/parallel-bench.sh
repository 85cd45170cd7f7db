#!/usr/bin/env bash
# Times `hostvane --once` passes with [CheckParams] ParallelChecks, inside a network namespace
# of the benchmark's own, and prints wall time, CPU time and peak resident memory of each run.
#
#   bench/parallel-bench.sh <build-folder> [CASE ...]
#
# CASE is KIND:HOSTS:PARALLEL, KIND one of
#   silent-icmp  silent-tcp   hosts 198.51.100.10 and up: routed into a veth pair whose peer
#                             sits in a second namespace, each with a permanent neighbour
#                             entry to a MAC nobody owns, so requests leave and nothing answers
#   loop-icmp    loop-tcp     answering hosts 127.0.x.y on the namespace's own loopback
#                             (loop-tcp with listeners on port 80); loop-icmp also times
#                             `fping -c1 -i 0` over the same addresses in the same run
#   silent6-icmp              hosts 2001:db8:1::10 and up on the same veth, each with a
#                             permanent neighbour entry to a MAC nobody owns
#   loop6-icmp                answering hosts 2001:db8::1 and up on the namespace's loopback
#                             (added without duplicate detection); also times `fping -6 -c1 -i 0`
#   port4-tcp    port6-tcp    answering ports tcp://127.0.0.1:20000 and up, or tcp://[::1]:...
#   empty                     no host at all: what starting and ending the program costs
# PARALLEL "loop" (ICMP kinds only) runs bench/echo-loop-prototype.cpp instead: the one-thread
# event-loop design, measured against the worker threads the program uses.
# Without cases it runs every row the README quotes. Fast cases (all but the silent ones) run
# REPEAT times (default 7), the program and fping alternating case by case; the median wall and
# CPU time are quoted (0.1 ms). Needs root; touches no other machine.
set -euo pipefail

build=${1:?usage: parallel-bench.sh <build-folder> [KIND:HOSTS:PARALLEL ...]}
shift
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(empty:0:1 silent-icmp:100:1 silent-icmp:100:16 silent-icmp:100:128
                                 silent-tcp:100:1 silent-tcp:100:16 silent-tcp:100:128
                                 silent-icmp:100:loop
                                 loop-icmp:500:1 loop-icmp:500:16 loop-icmp:500:64 loop-icmp:500:loop
                                 loop-tcp:200:1 loop-tcp:200:64
                                 loop6-icmp:500:64 silent6-icmp:100:128
                                 port4-tcp:200:64 port6-tcp:200:64)
here=$(cd "$(dirname "$0")" && pwd)
REPEAT=${REPEAT:-7}
exe=$build/hostvane
[ -x "$exe" ] || { echo "no $exe: build the hostvane target first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "run as root: namespaces, raw sockets, port 80" >&2; exit 1; }
command -v fping >/dev/null || { echo "fping missing: tools/install-deps.sh bench" >&2; exit 1; }

tag=hvb$$
ns=$tag-mon    # where hostvane runs
peer=$tag-peer # the far end of the veth pair: drops every frame (none is for its MAC)
work=$(mktemp -d /tmp/hv-pbench-XXXXXX)
listener=
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null && wait "$listener" 2>/dev/null
    ip netns del "$ns" 2>/dev/null || true
    ip netns del "$peer" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

ip netns add "$ns"
ip netns add "$peer"
ip link add "${tag}a" type veth peer name "${tag}b"
ip link set "${tag}a" netns "$ns"
ip link set "${tag}b" netns "$peer"
ip -n "$ns" link set lo up
ip -n "$ns" link set "${tag}a" up
ip -n "$ns" addr add 198.51.100.1/24 dev "${tag}a"
ip -n "$ns" addr add 2001:db8:1::1/64 dev "${tag}a" nodad
ip -n "$peer" link set "${tag}b" up

cp "$exe" "$work/hostvane"
cp "$build/hostvane-gui.so" "$work/"
cp -r "$build/Languages" "$work/Languages"

silent_addresses() {  # N silent addresses 198.51.100.10.., each with its own unowned MAC
    local n=$1 i a
    [ "$n" -le 240 ] || { echo "at most 240 silent hosts" >&2; exit 1; }
    for ((i = 0; i < n; i++)); do
        a=198.51.100.$((10 + i))
        ip -n "$ns" neigh replace "$a" lladdr "$(printf '02:00:00:00:00:%02x' "$i")" \
            dev "${tag}a" nud permanent
        echo "$a"
    done
}

silent6_addresses() {  # N silent addresses 2001:db8:1::10.., each with its own unowned MAC
    local n=$1 i a
    for ((i = 0; i < n; i++)); do
        a=$(printf '2001:db8:1::%x' $((16 + i)))
        ip -n "$ns" -6 neigh replace "$a" lladdr "$(printf '02:00:00:00:%02x:%02x' $((i / 256)) $((i % 256)))" \
            dev "${tag}a" nud permanent
        echo "$a"
    done
}

loop6_addresses() {  # N addresses 2001:db8::1.. on the namespace's loopback, once each
    local n=$1 i a
    for ((i = 0; i < n; i++)); do
        a=$(printf '2001:db8::%x' $((i + 1)))
        ip -n "$ns" addr replace "$a/128" dev lo nodad
        echo "$a"
    done
}

port_entries() {  # N loopback ports 20000.. on address $2, as "ADDRESS PORT" lines
    local n=$1 i
    for ((i = 0; i < n; i++)); do echo "$2 $((20000 + i))"; done
}

loop_addresses() {  # N distinct addresses 127.0.x.y, y in 1..250
    local n=$1 i
    for ((i = 0; i < n; i++)); do echo "127.0.$((i / 250)).$((i % 250 + 1))"; done
}

write_settings() {  # prefix ("" or "http://"), address file, ParallelChecks
    {
        printf '[HostList]\r\n'
        local i=0 a
        while read -r a p; do
            case $1 in
                tcp://) [[ $a == *:* ]] && a="[$a]"; printf 'h%d=tcp://%s:%s\r\n' "$i" "$a" "$p" ;;
                *) printf 'h%d=%s%s\r\n' "$i" "$1" "$a" ;;
            esac
            i=$((i + 1))
        done <"$2"
        printf '[CheckParams]\r\nParallelChecks=%s\r\n' "$3"
        printf '[General]\r\nLanguage=English\r\n'
    } >"$work/Hostvane.ini"
}

# Runs a command in the namespace; prints "wall_ms cpu_ms maxrss_kib".
# measure REPEAT COMMAND...: median wall and CPU ms of REPEAT runs, largest peak RSS in KiB.
measure() {
    ip netns exec "$ns" python3 "$here/timeit.py" "$@" 3>"$work/time.txt" \
        >"$work/out.txt" 2>"$work/err.txt" || true
    cat "$work/time.txt"
}

printf '%-12s %6s %9s %10s %8s %10s %10s\n' kind hosts parallel "wall ms" "cpu ms" "rss KiB" \
    "fping ms"
for c in "${cases[@]}"; do
    IFS=: read -r kind n par <<<"$c"
    prefix=
    expect=up
    # Runs of a second or less are repeated and their median quoted.
    repeat=$REPEAT
    case $kind in silent*) repeat=1 ;; esac
    case $kind in
        silent-icmp) silent_addresses "$n" >"$work/addrs.txt"; expect=down ;;
        silent-tcp) silent_addresses "$n" >"$work/addrs.txt"; expect=down; prefix=http:// ;;
        loop-icmp) loop_addresses "$n" >"$work/addrs.txt" ;;
        loop-tcp) loop_addresses "$n" >"$work/addrs.txt"; prefix=http:// ;;
        silent6-icmp) silent6_addresses "$n" >"$work/addrs.txt"; expect=down ;;
        loop6-icmp) loop6_addresses "$n" >"$work/addrs.txt" ;;
        port4-tcp) port_entries "$n" 127.0.0.1 >"$work/addrs.txt"; prefix=tcp:// ;;
        port6-tcp) port_entries "$n" ::1 >"$work/addrs.txt"; prefix=tcp:// ;;
        empty) : >"$work/addrs.txt"; expect=up ;;  # the floor: start-up and exit alone
        *) echo "unknown kind $kind" >&2; exit 2 ;;
    esac
    if [[ $kind == loop-tcp || $kind == port*-tcp ]]; then
        ip netns exec "$ns" python3 "$here/listen80.py" --max-seconds 900 <"$work/addrs.txt" \
            >"$work/listener.txt" &
        listener=$!
        for _ in $(seq 1 100); do grep -q ready "$work/listener.txt" 2>/dev/null && break; sleep 0.1; done
        grep -q ready "$work/listener.txt" || { echo "listener did not start" >&2; exit 1; }
    fi
    if [ "$par" = loop ]; then
        [ -x "$work/echo-loop" ] || g++ -O2 -std=c++20 -o "$work/echo-loop" "$here/echo-loop-prototype.cpp"
        read -r wall cpu rss < <(measure 1 nice "$work/echo-loop" <"$work/addrs.txt")
        up=$(awk '{ print $1 }' "$work/out.txt")
        [ "$expect" = up ] && want=$n || want=0
        [ "$up" = "$want" ] || echo "$c: $up of $n answered" >&2
    else
        write_settings "$prefix" "$work/addrs.txt" "$par"
        read -r wall cpu rss < <(measure "$repeat" nice "$work/hostvane" --once)
        got=$(grep -c "^$expect"$'\t' "$work/out.txt" || true)
        [ "$got" -eq $((n * repeat)) ] || { echo "$c: $got of $n hosts $expect" >&2; head -n 3 "$work/err.txt" >&2; }
    fi
    fping_ms=-
    if [ "$kind" = loop-icmp ]; then
        read -r fping_ms _ < <(measure "$repeat" nice fping -q -c1 -i 0 -f "$work/addrs.txt")
    elif [ "$kind" = loop6-icmp ]; then
        read -r fping_ms _ < <(measure "$repeat" nice fping -6 -q -c1 -i 0 -f "$work/addrs.txt")
    fi
    if [ -n "$listener" ]; then
        kill "$listener"; wait "$listener" 2>/dev/null || true; listener=
    fi
    printf '%-12s %6s %9s %10s %8s %10s %10s\n' "$kind" "$n" "$par" "$wall" "$cpu" "$rss" "$fping_ms"
done
