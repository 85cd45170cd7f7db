#!/usr/bin/env bash
# [CheckParams] IpVersion decides the family host names are checked in: missing or 4 IPv4 only,
# 6 IPv6 only, 0 the resolver's first address of either. The names come from a private hosts
# file (bound over /etc/hosts in a mount namespace); the program runs in a network namespace
# of the test's own with an IPv4 and an IPv6 address, so AI_ADDRCONFIG sees both families.
# `hostvane --once --format=csv` shows the address each host was checked at. Needs root.
source "$(dirname "$0")/lib.sh"
need ip unshare mount
[ "$(id -u)" -eq 0 ] || skip "needs root for network and mount namespaces"

ns="hvv$$"
ip netns add "$ns" || skip "cannot make a network namespace"
trap 'ip netns del "$ns" 2>/dev/null || true; cleanup' EXIT
ip -n "$ns" link set lo up
ip -n "$ns" link add hvv0 type veth peer name hvv1
ip -n "$ns" address add 198.51.100.1/25 dev hvv0
ip -n "$ns" address add 2001:db8::1/64 dev hvv0 nodad
ip -n "$ns" link set hvv0 up
ip -n "$ns" link set hvv1 up
# Not ::1 for the IPv6 names: glibc's hosts file answers an IPv4 lookup of a ::1 name with
# 127.0.0.1.
printf '127.0.0.1 localhost v4only\n198.51.100.1 dual\n2001:db8::1 v6only dual\n' >"$WORK/hosts"

# once IPVERSION_LINE: the csv of one pass over the three names.
once() {
    local dir
    dir=$(program_dir hostvane "[HostList]
V4=v4only
V6=v6only
Dual=dual
Web6=tcp://v6only:$port6
[CheckParams]
ParallelChecks=4
$1")
    ip netns exec "$ns" unshare -m sh -c \
        'mount --bind "$1" /etc/hosts && exec "$2" --once --format=csv' sh "$WORK/hosts" \
        "$dir/hostvane" 2>"$WORK/once.err" || true
}

# A listener on 2001:db8::1 in the namespace, for the connect to a name.
port6=$(( 20000 + RANDOM % 20000 ))
ip netns exec "$ns" python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
s.bind(("2001:db8::1", int(sys.argv[1]))); s.listen(8); time.sleep(60)' "$port6" &
PIDS+=("$!")
wait_until 10 ip netns exec "$ns" sh -c "ss -ltn | grep -q \":$port6 \"" ||
    fail "the IPv6 listener did not start"

# row CSV TITLE: "state,ip,port" of the host's line.
row() { printf '%s\n' "$1" | tr -d '\r' | awk -F, -v t="$2" '$2 == t {print $1 "," $8 "," $9}'; }

check() {
    local what=$1 csv=$2 title=$3 want=$4 got
    got=$(row "$csv" "$title")
    [ "$got" = "$want" ] || fail "$what: $title is '$got', not '$want'
$csv
$(cat "$WORK/once.err")"
}

for setting in "" "IpVersion=4"; do
    csv=$(once "$setting")
    check "${setting:-no key}" "$csv" V4 "up,127.0.0.1,"
    check "${setting:-no key}" "$csv" V6 "down,,"      # an IPv6-only name is down without the key
    check "${setting:-no key}" "$csv" Dual "up,198.51.100.1,"
    check "${setting:-no key}" "$csv" Web6 "down,,$port6"
done

csv=$(once "IpVersion=6")
check "IpVersion=6" "$csv" V4 "down,,"
check "IpVersion=6" "$csv" V6 "up,2001:db8::1,"
check "IpVersion=6" "$csv" Dual "up,2001:db8::1,"
check "IpVersion=6" "$csv" Web6 "up,2001:db8::1,$port6"

# Either family: the resolver's order, by RFC 6724 IPv6 before IPv4 (unless gai.conf says
# otherwise).
csv=$(once "IpVersion=0")
check "IpVersion=0" "$csv" V4 "up,127.0.0.1,"
check "IpVersion=0" "$csv" V6 "up,2001:db8::1,"
check "IpVersion=0" "$csv" Web6 "up,2001:db8::1,$port6"
dual=$(row "$csv" Dual)
[ "$dual" = "up,2001:db8::1," ] || grep -qs '^[[:space:]]*precedence' /etc/gai.conf ||
    fail "IpVersion=0: Dual is '$dual'"
echo "PASS"
