#!/usr/bin/env bash
# Screenshots of the balloon and of the open tray menu, for looking at them:
#   tests/e2e/screenshots.sh OUT_DIR [BUILD_DIR]
# writes OUT_DIR/balloon.png and OUT_DIR/menu.png (the whole 1280 x 1024 screen of an Xvfb at
# 96 DPI with trayer as the notification area) and a 4x enlargement of the bottom right corner
# beside each. The program watches 127.0.0.1, so it needs ICMP (root or ping_group_range).
out=$(mkdir -p "${1:?output folder}" && cd "$1" && pwd)
build=${2:-$(dirname "$0")/../../build}
set -- "$build"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
need xdotool xwininfo xprop import convert
need_icmp

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "This computer=127.0.0.1" \
    "Loopback by name=localhost" "" "[View]" "FontSize=10" "FontName=DejaVu Sans" "" \
    "[CheckParams]" "CheckPeriod=600000" "PopUpInterval=60000" "" "[General]" "Language=English")")
start_own_x tray
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
wait_until 30 balloon_window "$PROG_PID" || fail "no balloon"
sleep 0.5
import -window root "$out/balloon.png"
convert "$out/balloon.png" -crop 400x200+880+824 +repage -scale 400% "$out/balloon-corner-4x.png"

# Hide the balloon with a click, then open the menu.
balloon=$(balloon_window "$PROG_PID")
read -r w h x y < <(window_geometry "$balloon")
xdotool mousemove $((x + 40)) $((y + 30)) click 1
wait_until 5 window_unmapped "$balloon" || fail "the balloon did not hide"
read -r ix iy < <(tray_icon_centre)
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "no menu"
read -r mw mh mx my < <(window_geometry "$(tray_menu_open "$PROG_PID")")
xdotool mousemove $((mx + 40)) $((my + 34))  # onto "Hosts state", which opens the host list
sleep 0.5
import -window root "$out/menu.png"
convert "$out/menu.png" -crop 500x400+780+624 +repage -scale 200% "$out/menu-corner-2x.png"
xdotool key Escape
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
echo "screenshots in $out"
