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

# program_dir NAME [INI_TEXT]: a folder with the built program under file NAME, its files, and
# a settings file (the shipped one unless INI_TEXT is given). Prints the folder.
program_dir() {
    local name=$1 dir="$WORK/prog-$RANDOM$RANDOM"
    mkdir -p "$dir"
    cp "$BUILD_DIR/hostvane" "$dir/$name"
    cp "$BUILD_DIR/hostvane-gui.so" "$dir/"
    [ ! -e "$BUILD_DIR/hostvane-icmp-helper" ] || cp "$BUILD_DIR/hostvane-icmp-helper" "$dir/"
    cp -r "$BUILD_DIR/Languages" "$BUILD_DIR/skins" "$BUILD_DIR/help" "$dir/"
    if [ $# -ge 2 ]; then printf '%s\n' "$2" >"$dir/Hostvane.ini"; else cp "$BUILD_DIR/Hostvane.ini" "$dir/"; fi
    echo "$dir"
}

# visible_windows PID: the ids of the mapped top-level windows of process PID, one a line
# (none: empty). A tray icon, which lives inside the notification area, is not one of them.
visible_windows() {
    local w root
    root=$(xwininfo -root | awk '/Window id:/ {print $4}')
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
        xwininfo -children -id "$w" 2>/dev/null | grep -q "Parent window id: $root " && echo "$w"
    done
    return 0
}

# lock_held NAME: true while some process holds the instance lock "PREVINST:NAME".
lock_held() {
    local f="$XDG_RUNTIME_DIR/PREVINST:$1"
    [ -e "$f" ] && ! flock -n "$f" true
}

# start_program DIR NAME [ARGS...]: starts DIR/NAME in the background with its output in
# $WORK/NAME.out and .err; sets PROG_PID.
start_program() {
    local dir=$1 name=$2; shift 2
    "$dir/$name" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
    PROG_PID=$!
    PIDS+=("$PROG_PID")
}

# wait_exit PID SECONDS: waits for the background PID (a child of this shell) to end and sets
# RC to its exit status; 124 on time-out, after which the process is killed.
wait_exit() {
    local pid=$1 end=$((SECONDS + $2))
    while kill -0 "$pid" 2>/dev/null; do
        if [ $SECONDS -ge $end ]; then
            kill -9 "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            RC=124
            return 0
        fi
        sleep 0.1
    done
    RC=0
    wait "$pid" || RC=$?
}

# start_own_x [tray]: Xvfb at 96 DPI (SCREEN_SIZE, 1280x1024 unless set) with an authorisation cookie of its own, on a
# display number drawn at random from 100-899 so that runs side by side, and a run right after
# another, never meet on a display that is just being freed (the lowest free number, which
# -displayfd picks, is reused at once), and without the reset after the last client leaves, which
# a program connecting just then would meet as a failed connection. With "tray", trayer as the notification area. Exports
# DISPLAY and XAUTHORITY.
start_own_x() {
    need Xvfb xauth mcookie
    export XAUTHORITY="$WORK/Xauthority"
    local try n pid ok=""
    for try in 1 2 3 4 5 6 7 8; do
        n=$((100 + (RANDOM % 800)))
        [ -e "/tmp/.X$n-lock" ] && continue
        : >"$XAUTHORITY"
        xauth -q -f "$XAUTHORITY" add ":$n" . "$(mcookie)"
        Xvfb ":$n" -auth "$XAUTHORITY" -noreset -screen 0 "${SCREEN_SIZE:-1280x1024}x24" -dpi 96 -nolisten tcp \
            >"$WORK/xvfb.log" 2>&1 &
        pid=$!
        PIDS+=("$pid")
        export DISPLAY=":$n"
        # Ours only when our process still runs once the display answers to our cookie.
        if wait_until 10 sh -c "xdpyinfo && kill -0 $pid" && kill -0 "$pid" 2>/dev/null; then
            ok=1
            break
        fi
        kill "$pid" 2>/dev/null || true
    done
    [ -n "$ok" ] || fail "Xvfb did not start: $(tail -n 3 "$WORK/xvfb.log")"
    if [ "${1:-}" = tray ]; then
        need trayer
        trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel \
            --height 24 --SetDockType true --transparent false >"$WORK/trayer.log" 2>&1 &
        PIDS+=($!)
        wait_until 10 sh -c 'xwininfo -root -tree | grep -qi "panel"' ||
            fail "trayer did not start: $(tail -n 3 "$WORK/trayer.log")"
    fi
}

# start_a11y_bus: a session bus of the test's own, with Qt's accessibility always on, so that
# a11y.py finds the program's controls as a screen reader would.
start_a11y_bus() {
    need dbus-launch
    eval "$(dbus-launch --sh-syntax)"
    PIDS+=("$DBUS_SESSION_BUS_PID")
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
}

# start_trayer: (re)starts trayer as the notification area at the bottom right of the screen;
# sets TRAYER_PID.
start_trayer() {
    need trayer
    trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel \
        --height 24 --SetDockType true --transparent false >>"$WORK/trayer.log" 2>&1 &
    TRAYER_PID=$!
    PIDS+=("$TRAYER_PID")
    wait_until 10 sh -c 'xwininfo -root -tree | grep -q "\"panel\": (\"panel\" \"trayer\")"' ||
        fail "trayer did not start"
}

# tray_panel: the id of trayer's panel window (empty when there is none).
tray_panel() {
    xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {print $1; exit}'
}

# tray_icons: the program's icon windows docked in trayer's panel, one id a line.
tray_icons() {
    local panel
    panel=$(tray_panel)
    [ -n "$panel" ] || return 0
    xwininfo -tree -id "$panel" | awk '/\("hostvane" "[Hh]ostvane"\)/ {print $1}'
}

tray_icon_docked() { [ -n "$(tray_icons)" ]; }

# tray_icon_centre: "X Y" of the middle of the docked icon on the screen.
tray_icon_centre() {
    local id
    id=$(tray_icons | head -n1)
    [ -n "$id" ] || return 1
    xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x + int(w / 2), y + int(h / 2)}'
}

# window_geometry ID: "W H X Y" of a window, X and Y on the screen.
window_geometry() {
    [ -n "$1" ] || return 1
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print w, h, x, y}'
}

# mapped_windows PID: the program's mapped top-level windows, menus included, one id a line.
# Two processes a look whatever the number of windows: on a loaded machine a look that starts
# two per window takes longer than a pop-up that hides after a second stays.
mapped_windows() {
    local mine w
    mine=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true)
    [ -n "$mine" ] || return 0
    for w in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
        grep -qx "$((w))" <<<"$mine" && echo "$w"
    done
    return 0
}

# wait_window SECONDS FINDER PID: polls FINDER PID (balloon_window, tray_menu_open) until it
# names a window and sets WIN to that id, the one seen, though it may be hidden again by the
# time the caller looks at it.
wait_window() {
    local end=$((SECONDS + $1)) finder=$2 pid=$3
    WIN=""
    while :; do
        WIN=$("$finder" "$pid" 2>/dev/null) && [ -n "$WIN" ] && return 0
        [ $SECONDS -lt $end ] || return 1
        sleep 0.1
    done
}

# balloon_window PID: the mapped pop-up report of the program (245 pixels wide), if any.
balloon_window() {
    local w
    for w in $(mapped_windows "$1"); do
        [ "$(window_geometry "$w" | cut -d' ' -f1)" = 245 ] && { echo "$w"; return 0; }
    done
    return 1
}

# start_web_server ADDRESS: a listener on ADDRESS:80 that accepts and closes every connection
# for at most 200 s; sets WEB_PID once it listens. The server says itself when it listens: on
# a loaded machine the interpreter alone may take many seconds to start.
start_web_server() {
    local ready="$WORK/web-$1.ready" log="$WORK/web-$1.log"
    rm -f "$ready"
    python3 -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], 80)); s.listen(64)
open(sys.argv[2], "w").close()
end = time.time() + 200
s.settimeout(0.5)
while time.time() < end:
    try: s.accept()[0].close()
    except OSError: pass' "$1" "$ready" >"$log" 2>&1 &
    WEB_PID=$!
    PIDS+=("$WEB_PID")
    wait_until 60 sh -c "[ -e '$ready' ] || ! kill -0 $WEB_PID" && [ -e "$ready" ] ||
        fail "the web server on $1 did not start: $(tail -n 2 "$log")"
}

# need_icmp: skips unless this user may send ICMP echo requests (raw sockets as root, or the
# ping group range).
need_icmp() {
    [ "$(id -u)" -eq 0 ] && return 0
    local range gid
    range=$(cat /proc/sys/net/ipv4/ping_group_range 2>/dev/null || echo "1 0")
    gid=$(id -g)
    set -- $range
    [ "$gid" -ge "$1" ] && [ "$gid" -le "$2" ] && return 0
    skip "ICMP echo needs root or net.ipv4.ping_group_range covering gid $gid"
}

# tray_menu_open PID: the id of the open tray menu (a mapped window of the program that is
# neither the balloon nor 1 x 1).
tray_menu_open() {
    local w g
    for w in $(mapped_windows "$1"); do
        g=$(window_geometry "$w")
        case "$g" in 245\ *|1\ 1\ *) continue ;; esac
        echo "$w"; return 0
    done
    return 1
}

# window_unmapped ID: true when the window is not mapped (or gone, or no id: xwininfo without
# one would wait for a mouse click).
window_unmapped() {
    [ -n "$1" ] || return 0
    ! xwininfo -id "$1" 2>/dev/null | grep -q "Map State: IsViewable"
}

# start_desktop [WxH]: a desktop as a user has one: Xvfb at WxH (1280x1024 unless given), the
# openbox window manager and a tint2 taskbar 30 pixels high at the bottom, with a task list and
# a notification area. Sets WM_PID and PANEL_PID; the work area is the screen less the panel.
start_desktop() {
    need openbox tint2
    SCREEN_SIZE=${1:-1280x1024} start_own_x
    mkdir -p "$WORK/tint2"
    cat >"$WORK/tint2/tint2rc" <<'TINT2'
panel_items = TS
panel_position = bottom center horizontal
panel_size = 100% 30
panel_dock = 0
strut_policy = follow_size
panel_layer = top
wm_menu = 0
taskbar_mode = single_desktop
task_text = 1
task_icon = 1
task_maximum_size = 200 26
systray_padding = 2 2 4
systray_icon_size = 22
TINT2
    openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
    WM_PID=$!
    PIDS+=("$WM_PID")
    wait_until 15 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "openbox did not start: $(tail -n 3 "$WORK/openbox.log")"
    tint2 -c "$WORK/tint2/tint2rc" >"$WORK/tint2.log" 2>&1 &
    PANEL_PID=$!
    PIDS+=("$PANEL_PID")
    wait_until 15 sh -c 'xwininfo -root -tree | grep -q "\"tint2\""' ||
        fail "tint2 did not start: $(tail -n 3 "$WORK/tint2.log")"
    # The work area is set once the panel's strut is known to the window manager.
    local height=${1:-1280x1024}
    height=${height#*x}
    wait_until 15 sh -c "[ \$(xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g' | awk '{print \$4}') -lt $height ]" ||
        fail "the panel took no room from the work area: $(xprop -root _NET_WORKAREA)"
}

# work_area: "X Y W H" of the desktop's work area (the screen less the panels).
work_area() {
    xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g' | awk '{print $1, $2, $3, $4}'
}

# frame_extents ID: "LEFT RIGHT TOP BOTTOM" of the window manager's frame around window ID.
frame_extents() {
    xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ,
}

# taskbar_has TITLE: true while some client window in the window manager's list has TITLE.
taskbar_has() {
    local w
    for w in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'); do
        xprop -id "$w" _NET_WM_STATE _NET_WM_NAME 2>/dev/null | grep -q "_NET_WM_STATE_SKIP_TASKBAR" && continue
        xprop -id "$w" _NET_WM_NAME 2>/dev/null | grep -qF "\"$1\"" && return 0
    done
    return 1
}

# desktop_tray_icon_centre: "X Y" of the middle of the program's icon in tint2's notification
# area (start_desktop).
desktop_tray_icon_centre() {
    local panel id
    # awk reads to the end: a writer cut short would fail the pipeline.
    panel=$(xwininfo -root -tree | awk '/"tint2"/ && !p {p = $1} END {print p}')
    [ -n "$panel" ] || return 1
    id=$(xwininfo -tree -id "$panel" | awk '/"[Hh]ostvane"/ && !i {i = $1} END {print i}')
    [ -n "$id" ] || return 1
    xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x + int(w / 2), y + int(h / 2)}'
}
