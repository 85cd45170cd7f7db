# Shared helpers of the end-to-end tests. Source it; every helper is bounded in time.
set -euo pipefail

BUILD_DIR=$(cd "${1:?build folder}" && pwd)
WORK=$(mktemp -d /tmp/hv-e2e-XXXXXX)
PIDS=()
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"
export LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY

cleanup() {
    for p in "${PIDS[@]:-}"; do [ -n "$p" ] && kill "$p" 2>/dev/null || true; done
    sleep 0.2
    for p in "${PIDS[@]:-}"; do [ -n "$p" ] && kill -9 "$p" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*" >&2; exit 77; }
need() { for t in "$@"; do command -v "$t" >/dev/null || skip "$t is not installed"; done; }

# wait_until SECONDS COMMAND...: polls every 0.1 s until COMMAND succeeds.
wait_until() {
    local limit=$1; shift
    local end=$((SECONDS + limit))
    while ! "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.1
    done
}

# start_x [with_tray]: Xvfb at 96 DPI on a free display; with "tray", trayer as the
# notification area. Exports DISPLAY.
start_x() {
    need Xvfb
    local n
    for n in $(seq 90 140); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    PIDS+=($!)
    export DISPLAY=":$n"
    wait_until 10 xdpyinfo || fail "Xvfb did not start"
    if [ "${1:-}" = tray ]; then
        need trayer
        trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel \
            --height 24 --SetDockType true --transparent false >"$WORK/trayer.log" 2>&1 &
        PIDS+=($!)
        wait_until 10 sh -c 'xwininfo -root -tree | grep -qi "panel"' || fail "trayer did not start"
    fi
}

# program_dir NAME [INI_TEXT]: a folder with the built program under file NAME, its files, and
# a settings file (the shipped one unless INI_TEXT is given). Prints the folder.
program_dir() {
    local name=$1 dir="$WORK/prog-$RANDOM$RANDOM"
    mkdir -p "$dir"
    cp "$BUILD_DIR/hostvane" "$dir/$name"
    cp -r "$BUILD_DIR/Languages" "$BUILD_DIR/skins" "$BUILD_DIR/help" "$dir/"
    if [ $# -ge 2 ]; then printf '%s\n' "$2" >"$dir/Hostvane.ini"; else cp "$BUILD_DIR/Hostvane.ini" "$dir/"; fi
    echo "$dir"
}
