#!/usr/bin/env bash
# Installs the built Debian package, uses it as a new unprivileged user would, then purges it
# and checks that none of its files are left. Needs root; the machine must not have hostvane
# installed already (the test will not touch an installation it did not make).
set -euo pipefail
deb=$(realpath "${1:?usage: install-test.sh build-deb/hostvane_VERSION_ARCH.deb}")
user=hvpkgtest$$
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

if [ "$(id -u)" -ne 0 ]; then echo "SKIP: installing a package needs root"; exit 0; fi
if dpkg-query -W -f='${Status}' hostvane 2>/dev/null | grep -q 'ok installed'; then
    fail "hostvane is installed already; remove it before running this test"
fi

listed=$(mktemp)
cleanup() {
    userdel -r "$user" >/dev/null 2>&1 || true
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq hostvane >/dev/null 2>&1 || true
    rm -f "$listed"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$deb" >/dev/null
dpkg -L hostvane >"$listed"
pass "installed $(basename "$deb")"

[ "$(readlink -f /usr/bin/hostvane)" = /usr/lib/hostvane/hostvane ] || fail "/usr/bin/hostvane"
for f in Languages/English.lng skins/hostvane.skn Hostvane.ini; do
    [ -f "/usr/lib/hostvane/$f" ] || fail "missing /usr/lib/hostvane/$f"
done
# The helper is the one file of the package with a capability (when the file system takes
# one): the program and its windows' module carry none.
caps=$(while read -r path; do
    if [ -f "$path" ] && [ ! -L "$path" ]; then getcap "$path"; fi
done <"$listed")
echo "capabilities: ${caps:-none}"
case "$caps" in
"/usr/lib/hostvane/hostvane-icmp-helper cap_net_raw=ep" | "") ;;
*) fail "capabilities other than cap_net_raw on the helper: $caps" ;;
esac

desktop-file-validate /usr/share/applications/org.example.Hostvane.desktop || fail "desktop entry"
appstreamcli validate --no-net /usr/share/metainfo/org.example.Hostvane.metainfo.xml >/dev/null ||
    fail "metainfo"
man_out=$(MANWIDTH=80 man -l /usr/share/man/man1/hostvane.1.gz 2>&1)
grep -q "ICMP WITHOUT ROOT" <<<"$man_out" || fail "man page does not render"
pass "desktop entry, metainfo and man page"

# A new user: the installed folder is read-only to them, so the settings come from a private
# copy of the default. The shipped default lists only loopback hosts.
useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
out=$(runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 \
      timeout 60 hostvane --once) && rc=0 || rc=$?
echo "$out"
[ "$rc" -le 1 ] || fail "hostvane --once exited $rc"
grep -qP '^up\tThis computer\t127\.0\.0\.1\ticmp' <<<"$out" ||
    fail "127.0.0.1 did not answer the installed program"
[ -f "$home/.config/Hostvane/Hostvane.ini" ] || fail "no settings file under ~/.config/Hostvane"
[ "$(stat -c %U "$home/.config/Hostvane/Hostvane.ini")" = "$user" ] || fail "settings file owner"
pass "the installed --once as $user, settings in ~/.config/Hostvane"

# Where datagram ICMP is barred, only the installed helper can make 127.0.0.1 answer.
if [ -n "$caps" ] && command -v unshare >/dev/null; then
    out=$(unshare -n -- sh -c 'ip link set lo up && sysctl -qw net.ipv4.ping_group_range="1 0" &&
          exec runuser -u "$0" -- env -i HOME="$1" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 \
              timeout 60 hostvane --once' "$user" "$home") || true
    grep -qP '^up\tThis computer\t127\.0\.0\.1\ticmp' <<<"$out" ||
        fail "127.0.0.1 did not answer through the installed helper: $out"
    pass "127.0.0.1 answers $user through the installed helper"
fi

# The installed tray program, started by the new user, holds no capability at all.
runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home" timeout 60 hostvane >/dev/null 2>&1 &
tray=""
for _ in $(seq 1 100); do
    tray=$(pgrep -u "$user" -x hostvane | head -n 1) && [ -n "$tray" ] && break
    sleep 0.2
done
[ -n "$tray" ] || fail "the installed tray program did not start as $user"
sleep 1
sets=$(grep -E '^Cap(Inh|Prm|Eff|Amb):' "/proc/$tray/status")
kill "$tray" 2>/dev/null || true
wait || true
echo "$sets"
[ "$(awk '$2 == "0000000000000000"' <<<"$sets" | wc -l)" -eq 4 ] ||
    fail "the installed tray program holds capabilities"
pass "the installed tray program runs as $user without capabilities"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq hostvane >/dev/null
left=0
while read -r path; do
    [ "$path" = /. ] && continue
    if [ -f "$path" ] || [ -L "$path" ]; then echo "left: $path"; left=1; fi
    case "$path" in /usr/lib/hostvane* | /usr/share/doc/hostvane*)
        [ -e "$path" ] && { echo "left: $path"; left=1; } ;;
    esac
done <"$listed"
[ $left -eq 0 ] || fail "files left after purge"
pass "purged, nothing left"
