#!/usr/bin/env bash
# The history's targets: the write load (HOSTS hosts at a 1-s period for SECONDS, beside the
# same feeding with nothing kept, for the event loop's own lateness on this machine), and
# `hostvane --history` over a 30-day range of one host at a 1-minute period (43 200 samples),
# in each format, REPEAT times, median quoted.
#
#   bench/history-bench.sh <build-folder> [HOSTS [SECONDS]]     (default: 3000 600)
set -euo pipefail
build=${1:?usage: history-bench.sh <build-folder> [HOSTS [SECONDS]]}
hosts=${2:-3000}
seconds=${3:-600}
repeat=${REPEAT:-7}
cmake --build "$build" --target history-bench hostvane >/dev/null
work=$(mktemp -d /tmp/hv-hbench-XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== write load: $hosts hosts, 1 s period, $seconds s"
"$build/history-bench" write "$work/off.sqlite" "$hosts" "$seconds" 1000 off | sed 's/^/off: /'
"$build/history-bench" write "$work/load.sqlite" "$hosts" "$seconds" 1000 | sed 's/^/on:  /'

echo "== --history over 43 200 samples (30 days at 1 min)"
cp "$build/hostvane" "$work/hostvane"
printf '[HostList]\nBench=127.0.0.1\n\n[History]\nKeepDays=30\n' >"$work/Hostvane.ini"
"$build/history-bench" fill "$work/history.sqlite" Bench 43200 60000
for format in tsv csv json; do
    times=()
    for _ in $(seq "$repeat"); do
        start=$(date +%s%N)
        "$work/hostvane" --history Bench --since=30d --format=$format >"$work/out"
        times+=($(( ($(date +%s%N) - start) / 1000000 )))
    done
    lines=$(wc -l <"$work/out")
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (repeat + 1) / 2 ))p")
    echo "$format: median $median ms (runs: ${times[*]}), $lines lines"
done
