#!/usr/bin/env bash
# Screenshots of the translated tray menu and of the five settings pages, for looking at them:
#   tests/e2e/lang-screenshots.sh OUT_DIR [BUILD_DIR] [LANGUAGE]
# writes OUT_DIR/<LANGUAGE>-menu.png (the tray menu with the Log submenu open, cut to the
# bottom right corner) and OUT_DIR/<LANGUAGE>-settings-<page>.png for pages 0 to 4, from an
# Xvfb at 96 DPI with trayer as the notification area. No hosts, so no ICMP is needed. (The
# settings pages show translated texts once the dialog translates itself when created.)
out=$(mkdir -p "${1:?output folder}" && cd "$1" && pwd)
build=${2:-$(dirname "$0")/../../build}
language=${3:-German}
set -- "$build"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
need xdotool xwininfo xprop import convert

dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "" "[CheckParams]" \
    "CheckPeriod=600000" "PopUpInterval=5000" "" "[General]" "Language=$language")")
start_own_x tray
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"

# The tray menu, with the Log submenu open.
read -r ix iy < <(tray_icon_centre)
xdotool mousemove "$ix" "$iy" click 3
wait_until 5 tray_menu_open "$PROG_PID" || fail "no menu"
read -r mw mh mx my < <(window_geometry "$(tray_menu_open "$PROG_PID")")
xdotool mousemove $((mx + 40)) $((my + mh * 5 / 16))  # onto the Log item
sleep 0.8
import -window root "$WORK/menu.png"
convert "$WORK/menu.png" -crop 640x400+640+624 +repage "$out/$language-menu.png"

# Settings: the item in the middle of the menu.
xdotool mousemove $((mx + 40)) $((my + mh / 2)) click 1
wait_until 10 sh -c "xdotool search --onlyvisible --pid $PROG_PID --class hostvane | while read w; do xwininfo -id \$w | grep -q 'Width: 435' && echo \$w; done | grep -q ." ||
    fail "the settings dialog did not open"
dialog=$(xdotool search --onlyvisible --pid "$PROG_PID" --class hostvane | while read -r w; do
    xwininfo -id "$w" | grep -q 'Width: 435' && echo "$w"; done || true)
dialog=${dialog%%$'\n'*}
read -r dw dh dx dy < <(window_geometry "$dialog")
for page in 0 1 2 3 4; do
    # The page list's lines, 13 pixels apart at the top left.
    xdotool mousemove $((dx + 40)) $((dy + 11 + page * 13)) click 1
    sleep 0.4
    import -window root "$WORK/s.png"
    convert "$WORK/s.png" -crop "${dw}x${dh}+${dx}+${dy}" +repage \
        "$out/$language-settings-$page.png"
done
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
echo "screenshots in $out"
