#!/usr/bin/env bash
# A copy laid out as the package installs it (cap_net_raw on hostvane-icmp-helper alone),
# started by an unprivileged user in a network namespace of its own where unprivileged ICMP
# sockets are barred, so only the helper can make 127.0.0.1 and ::1 answer: they do, the tray
# program runs with empty capability sets, and what the user names through LD_PRELOAD,
# QT_PLUGIN_PATH and QT_QPA_PLATFORM_PLUGIN_PATH reaches only the program, where it cannot
# open a raw socket.
source "$(dirname "$0")/lib.sh"

[ "$(id -u)" -eq 0 ] || skip "needs root to set a file capability"
need setcap getcap setpriv unshare cc ip
chmod 755 "$WORK"
[ -x "$BUILD_DIR/hostvane-icmp-helper" ] || fail "build the hostvane_icmp_helper target first"

ini=$'[HostList]\nLoopback=127.0.0.1\nLoopback6=::1\n[CheckParams]\nCheckPeriod=0'
capped=$(program_dir hostvane "$ini")
plain=$(program_dir hostvane "$ini")
rm "$plain/hostvane-icmp-helper"
chmod -R a+rX "$capped" "$plain"
setcap cap_net_raw+ep "$capped/hostvane-icmp-helper" 2>/dev/null ||
    skip "file capabilities are not supported here"

# The library each process the user starts loads: it notes its program and whether it could
# open a raw ICMP socket there.
evil="$WORK/evil"
mkdir -p "$evil/platforms"
cat >"$WORK/preload.c" <<'C'
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>
__attribute__((constructor)) static void mark(void) {
    const char* m = getenv("HV_MARKER");
    char exe[512] = "";
    if (readlink("/proc/self/exe", exe, sizeof exe - 1) < 0) strcpy(exe, "?");
    const int fd = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    FILE* f = m ? fopen(m, "a") : NULL;
    if (f) {
        fprintf(f, "%s %s\n", strrchr(exe, '/') ? strrchr(exe, '/') + 1 : exe,
                fd >= 0 ? "raw-opened" : "raw-refused");
        fclose(f);
    }
    if (fd >= 0) close(fd);
}
C
cc -shared -fPIC -o "$evil/libpreload.so" "$WORK/preload.c"
cp "$evil/libpreload.so" "$evil/platforms/libqoffscreen.so"
chmod -R a+rX "$evil"

home="$WORK/home"
mkdir -p "$home/run"
chmod 700 "$home/run"
chown -R nobody:nogroup "$home"
marker="$home/loaded"

# as_user PROGRAM ARGS...: in a fresh network namespace (loopback up, unprivileged ICMP
# sockets barred), as nobody, with the hostile variables set.
as_user() {
    unshare -n -- sh -c '
        ip link set lo up && sysctl -qw net.ipv4.ping_group_range="1 0" || exit 99
        exec setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all "$@"' sh \
        env -i HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" \
        LC_ALL=C.UTF-8 PATH=/usr/bin:/bin HV_MARKER="$marker" QT_DEBUG_PLUGINS=1 \
        LD_PRELOAD="$evil/libpreload.so" QT_PLUGIN_PATH="$evil" \
        QT_QPA_PLATFORM_PLUGIN_PATH="$evil/platforms" ${PLATFORM:+QT_QPA_PLATFORM=$PLATFORM} "$@"
}

# The preload reached the program, and there it could not open a raw socket; it reached no
# other program (the helper starts with an empty environment, and in secure mode).
check_marker() {
    [ -s "$marker" ] || fail "$1: LD_PRELOAD did not reach the program"
    grep -v '^hostvane raw-refused$' "$marker" &&
        fail "$1: the preloaded library ran elsewhere or opened a raw socket"
    rm -f "$marker"
}

# The control: without the helper, 127.0.0.1 and ::1 stay silent, so the checks below can tell.
out=$(as_user "$plain/hostvane" --once 2>/dev/null) || true
grep -qP '^down\tLoopback\t' <<<"$out" || fail "control: 127.0.0.1 answered without the helper: $out"
grep -qP '^down\tLoopback6\t' <<<"$out" || fail "control: ::1 answered without the helper: $out"
check_marker "control"

out=$(as_user "$capped/hostvane" --once 2>"$WORK/once.err") || fail "--once: $out $(cat "$WORK/once.err")"
grep -qP '^up\tLoopback\t127\.0\.0\.1\ticmp' <<<"$out" || fail "127.0.0.1 not through the helper: $out"
grep -qP '^up\tLoopback6\t::1\ticmp' <<<"$out" || fail "::1 not through the helper: $out"
check_marker "--once"

# The tray program (offscreen), which loads Qt's plugins.
PLATFORM=offscreen as_user "$capped/hostvane" >"$WORK/tray.out" 2>"$WORK/tray.err" &
PIDS+=($!)
pid=""
wait_until 20 pgrep -u nobody -x hostvane || fail "the tray program did not start: $(cat "$WORK/tray.err")"
pid=$(pgrep -u nobody -x hostvane | head -n 1)
PIDS+=("$pid")
wait_until 20 grep -q "checking directory path" "$WORK/tray.err" ||
    fail "QT_DEBUG_PLUGINS showed no plugin search"
status=$(cat "/proc/$pid/status")
for set in CapInh CapPrm CapEff CapAmb; do
    value=$(awk -v k="$set:" '$1 == k {print $2}' <<<"$status")
    [ "$value" = 0000000000000000 ] || fail "$set of the running tray program: $value"
done
kill "$pid" 2>/dev/null || true
wait_until 10 sh -c "! kill -0 $pid 2>/dev/null" || true
check_marker "the tray program"

caps=$(getcap -r "$capped")
[ "$caps" = "$capped/hostvane-icmp-helper cap_net_raw=ep" ] || fail "capabilities in the copy: $caps"
echo "ok: 127.0.0.1 and ::1 through the helper, the tray program without capabilities"
