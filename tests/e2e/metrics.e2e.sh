#!/usr/bin/env bash
# Metrics for Prometheus. --once --format=prometheus with titles holding quotes, backslashes and
# non-ASCII letters passes promtool's check. Then the tray program serves [Metrics] Listen on a
# loopback port and a real Prometheus server (own configuration and storage in $WORK) scrapes
# it every second: its query API shows both hosts' values, also while unfinished, oversized and
# malformed requests come in; other paths get 404; SIGTERM still ends the program with status 0.
source "$(dirname "$0")/lib.sh"
need prometheus promtool curl python3 xdotool
need_icmp

port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
mport=$(port)
pport=$(port)
ini=$(printf '%s\n' "[HostList]" 'Gate "east" \ 1=127.0.0.1' "Zürich Büro=tcp://127.0.0.1:1" "" \
    "[CheckParams]" "CheckPeriod=1000" "" "[Metrics]" "Listen=127.0.0.1:$mport" "" \
    "[General]" "Language=English")
dir=$(program_dir hostvane "$ini")

# Once: promtool accepts the text, and the labels are escaped.
rc=0
"$dir/hostvane" --once --format=prometheus >"$WORK/once.prom" 2>"$WORK/once.err" || rc=$?
[ "$rc" -eq 1 ] || fail "--once exit status $rc (one host is down): $(cat "$WORK/once.err")"
promtool check metrics <"$WORK/once.prom" >"$WORK/promtool.out" 2>&1 ||
    fail "promtool refused the output: $(cat "$WORK/promtool.out") $(cat "$WORK/once.prom")"
grep -qxF 'hostvane_host_up{title="Gate \"east\" \\ 1",address="127.0.0.1"} 1' "$WORK/once.prom" ||
    fail "no escaped up line: $(cat "$WORK/once.prom")"
grep -qxF 'hostvane_host_up{title="Zürich Büro",address="tcp://127.0.0.1:1"} 0' "$WORK/once.prom" ||
    fail "no down line: $(cat "$WORK/once.prom")"
grep -q '^hostvane_host_round_trip_seconds{title="Zürich' "$WORK/once.prom" &&
    fail "a round trip for a host that did not answer"
[ ! -e /proc/net/tcp ] || ! grep -q ":$(printf '%04X' "$mport") .* 0A " /proc/net/tcp ||
    fail "--once listened on the metrics address"

# The tray program serves the metrics.
start_own_x
start_program "$dir" hostvane
wait_until 20 curl -sf "http://127.0.0.1:$mport/metrics" ||
    fail "nothing served on $mport: $(cat "$WORK/hostvane.err")"
[ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$mport/")" = 404 ] || fail "/ is not 404"
[ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$mport/metrics/x")" = 404 ] ||
    fail "/metrics/x is not 404"

mkdir -p "$WORK/prom"
cat >"$WORK/prom/prometheus.yml" <<YML
global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: hostvane
    static_configs:
      - targets: ['127.0.0.1:$mport']
YML
prometheus --config.file="$WORK/prom/prometheus.yml" --storage.tsdb.path="$WORK/prom/data" \
    --web.listen-address="127.0.0.1:$pport" >"$WORK/prom/log" 2>&1 &
PROM_PID=$!
PIDS+=("$PROM_PID")

# query EXPR: the instant vector's values, one "title value" a line, sorted.
query() {
    curl -sf --get "http://127.0.0.1:$pport/api/v1/query" --data-urlencode "query=$1" |
        python3 -c 'import json, sys
d = json.load(sys.stdin)["data"]["result"]
for r in sorted(d, key=lambda r: r["metric"].get("title", "")):
    print(r["metric"].get("title", "-") + "\t" + r["value"][1])'
}
expect_up='Gate "east" \ 1	1
Zürich Büro	0'
up_is_right() { [ "$(query hostvane_host_up)" = "$expect_up" ]; }
wait_until 60 up_is_right || fail "Prometheus shows '$(query hostvane_host_up)'; log: $(tail -n 5 "$WORK/prom/log")"
[ "$(query 'hostvane_host_round_trip_seconds >= 0' | cut -f1)" = 'Gate "east" \ 1' ] ||
    fail "round trips: $(query hostvane_host_round_trip_seconds)"
[ "$(query hostvane_checking)" = "-	1" ] || fail "hostvane_checking: $(query hostvane_checking)"

# Bad requests while Prometheus goes on scraping: two connections that never finish, one with
# 64 KiB of headers and a few that are not HTTP.
exec {half}<>"/dev/tcp/127.0.0.1/$mport"
printf 'GET /metrics HTTP/1.1\r\nHost: x\r\n' >&"$half"
exec {silent}<>"/dev/tcp/127.0.0.1/$mport"
python3 - "$mport" <<'PY'
import socket, sys
port = int(sys.argv[1])
for req in [b"GET /metrics HTTP/1.1\r\nX-Big: " + b"a" * 65536 + b"\r\n\r\n",
            b"BLAH\r\n\r\n", b"\x16\x03\x01\x02\x00\r\n\r\n", b"GET /metrics HTTP/9.9\r\n\r\n"]:
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    try:
        s.sendall(req)
        s.recv(65536)
    except OSError:
        pass
    s.close()
PY
checks() { query 'sum(hostvane_host_checks_total)' | cut -f2; }
before=$(checks)
scrapes_go_on() { [ "$(checks)" -gt "$before" ] && [ "$(query 'up{job="hostvane"}' | cut -f2)" = 1 ]; }
wait_until 30 scrapes_go_on || fail "scrapes stopped: checks $before -> $(checks), up $(query up)"
exec {half}>&- {silent}>&-
kill "$PROM_PID"
wait_exit "$PROM_PID" 20
grep -qi "metrics" "$WORK/hostvane.err" && fail "metrics trouble on stderr: $(cat "$WORK/hostvane.err")"
# Quitting while the server runs (it stops in the background) ends the program cleanly.
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 20
[ "$RC" -eq 0 ] || fail "exit status $RC after SIGTERM: $(tail -n 3 "$WORK/hostvane.err")"
echo "PASS"
