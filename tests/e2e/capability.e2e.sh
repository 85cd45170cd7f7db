#!/usr/bin/env bash
# A copy holding cap_net_raw (as the package installs it), started by an unprivileged user:
# raw ICMP works, the capability stays out of the effective set while the program runs, and
# nothing the user names through QT_PLUGIN_PATH, QT_QPA_PLATFORM_PLUGIN_PATH or LD_PRELOAD is
# loaded. Runs in a network namespace of its own where unprivileged ICMP sockets are barred,
# so only the capability can make 127.0.0.1 answer.
source "$(dirname "$0")/lib.sh"

[ "$(id -u)" -eq 0 ] || skip "needs root to set a file capability"
need setcap setpriv unshare cc ip
chmod 755 "$WORK"

ini=$'[HostList]\nLoopback=127.0.0.1\n[CheckParams]\nCheckPeriod=0'
capped=$(program_dir hostvane "$ini")
plain=$(program_dir hostvane "$ini")
chmod -R a+rX "$capped" "$plain"
setcap cap_net_raw+ep "$capped/hostvane" 2>/dev/null || skip "file capabilities are not supported here"

evil="$WORK/evil"
mkdir -p "$evil/platforms"
cat >"$WORK/preload.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
__attribute__((constructor)) static void mark(void) {
    const char* m = getenv("HV_MARKER");
    FILE* f = m ? fopen(m, "w") : NULL;
    if (f) fclose(f);
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

# The control: without the capability the preload is loaded and 127.0.0.1 stays silent, so
# the checks below can tell.
out=$(as_user "$plain/hostvane" --once 2>/dev/null) || true
[ -e "$marker" ] || fail "control: LD_PRELOAD was not loaded by the plain copy"
grep -qP '^down\tLoopback' <<<"$out" || fail "control: 127.0.0.1 answered without the capability: $out"
rm -f "$marker"

out=$(as_user "$capped/hostvane" --once 2>"$WORK/once.err") || fail "--once: $out $(cat "$WORK/once.err")"
grep -qP '^up\tLoopback\t127\.0\.0\.1\ticmp' <<<"$out" || fail "no raw ICMP under the capability: $out"
[ ! -e "$marker" ] || fail "LD_PRELOAD was loaded under the capability"

# The tray program (offscreen), which loads Qt's plugins.
PLATFORM=offscreen as_user "$capped/hostvane" >"$WORK/tray.out" 2>"$WORK/tray.err" &
PIDS+=($!)
pid=""
wait_until 20 pgrep -u nobody -x hostvane || fail "the tray program did not start: $(cat "$WORK/tray.err")"
pid=$(pgrep -u nobody -x hostvane | head -n 1)
PIDS+=("$pid")
sleep 2
status=$(cat "/proc/$pid/status")
eff=$(awk '/^CapEff:/ {print $2}' <<<"$status")
prm=$(awk '/^CapPrm:/ {print $2}' <<<"$status")
[ "$eff" = 0000000000000000 ] || fail "effective capabilities while running: $eff"
[ $((16#$prm & (1 << 13))) -ne 0 ] || fail "cap_net_raw is not kept in the permitted set: $prm"
kill "$pid" 2>/dev/null || true
sleep 0.5
grep -F "$evil" "$WORK/tray.err" && fail "a folder the user named was searched for plugins"
grep -q "checking directory path" "$WORK/tray.err" || fail "QT_DEBUG_PLUGINS showed no plugin search"
[ ! -e "$marker" ] || fail "a library the user named was loaded by the tray program"
# The windows' module beside a capped copy must be as safe from the user as the executable.
loose=$(program_dir hostvane "$ini")
chmod -R a+rX "$loose"
chmod o+w "$loose/hostvane-gui.so"
setcap cap_net_raw+ep "$loose/hostvane"
rc=0
PLATFORM=offscreen as_user "$loose/hostvane" >"$WORK/loose.out" 2>"$WORK/loose.err" || rc=$?
[ "$rc" -eq 1 ] || fail "a module others may write was not refused (status $rc)"
grep -q "refusing to load $loose/hostvane-gui.so" "$WORK/loose.err" ||
    fail "no word about the refused module: $(cat "$WORK/loose.err")"
out=$(as_user "$loose/hostvane" --once 2>/dev/null) || fail "--once needs no module: $out"

echo "ok: raw ICMP under the capability, CapEff $eff, nothing loaded from $evil"
