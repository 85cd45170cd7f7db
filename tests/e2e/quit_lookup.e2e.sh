#!/usr/bin/env bash
# Quit (SIGTERM) while the checking thread waits for a name server that never answers ends the
# program at once. The program runs in a network namespace of the test's own, with a private
# resolv.conf (bound over /etc/resolv.conf in a mount namespace) naming a silent host there:
# a permanent neighbour entry to a MAC nobody owns. Needs root.
source "$(dirname "$0")/lib.sh"
need ip unshare mount flock
[ "$(id -u)" -eq 0 ] || skip "needs root for network and mount namespaces"

ns="hvq$$"
ip netns add "$ns" || skip "cannot make a network namespace"
trap 'ip netns del "$ns" 2>/dev/null || true; cleanup' EXIT
ip -n "$ns" link set lo up
ip -n "$ns" link add hvq0 type veth peer name hvq1
ip -n "$ns" address add 198.51.100.1/25 dev hvq0
ip -n "$ns" link set hvq0 up
ip -n "$ns" link set hvq1 up
ip -n "$ns" neigh add 198.51.100.53 lladdr 02:00:00:00:00:53 nud permanent dev hvq0
printf 'nameserver 198.51.100.53\noptions timeout:5 attempts:2\n' >"$WORK/resolv.conf"

start_own_x tray
dir=$(program_dir hostvane '[HostList]
File server=\\fileserver
[CheckParams]
CheckPeriod=1000')
# The lookup must really go to the silent server: the names of /etc/hosts never do.
grep -qiw fileserver /etc/hosts && skip "fileserver is in /etc/hosts"
ip netns exec "$ns" unshare -m sh -c \
    'mount --bind "$1" /etc/resolv.conf && exec "$2"' sh "$WORK/resolv.conf" "$dir/hostvane" \
    >"$WORK/hostvane.out" 2>"$WORK/hostvane.err" &
pid=$!
PIDS+=("$pid")
wait_until 15 lock_held hostvane || fail "the program did not start: $(cat "$WORK/hostvane.err")"
sleep 1.5  # the first pass is asking the silent server by now (it gives up after 10 s)
kill -0 "$pid" || fail "the program ended by itself: $(cat "$WORK/hostvane.err")"
t0=$(date +%s%N)
kill -TERM "$pid"
wait_exit "$pid" 30
ms=$(( ($(date +%s%N) - t0) / 1000000 ))
echo "quit during a silent lookup: exit status $RC after $ms ms"
[ "$RC" -eq 0 ] || fail "exit status $RC, stderr: $(cat "$WORK/hostvane.err")"
[ "$ms" -lt 3000 ] || fail "SIGTERM took $ms ms to end the program"
echo "PASS"
