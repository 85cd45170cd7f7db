#!/usr/bin/env bash
# The pop-up report: the first pass over 127.0.0.1 shows the balloon at the bottom right of the
# 1280 x 1024 screen, 245 x 95 for two lines of a 10-point font at 96 DPI, and it hides after
# the pop-up interval; a second run with a long interval hides at a click on the balloon.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop
need_icmp

ini() {
    printf '%s\n' "[HostList]" "This computer=127.0.0.1" "" "[View]" "FontSize=10" \
        "FontName=DejaVu Sans" "" "[CheckParams]" "CheckPeriod=600000" "PopUpInterval=$1" "" \
        "[General]" "Language=English"
}

start_own_x tray

# Run 1: a short pop-up interval.
dir=$(program_dir hostvane "$(ini 1500)")
start_program "$dir" hostvane
wait_until 15 tray_icon_docked || fail "the icon did not dock"
wait_window 20 balloon_window "$PROG_PID" || fail "no balloon after the first pass"
balloon=$WIN
read -r w h x y < <(window_geometry "$balloon")
[ "$w $h" = "245 95" ] || fail "balloon is ${w}x$h, expected 245x95"
[ "$x $y" = "1030 894" ] || fail "balloon at $x,$y, expected 1030,894 (screen - 250, screen - 130)"
others=$(mapped_windows "$PROG_PID" | grep -v "^$balloon\$" || true)
[ -z "$others" ] || fail "other windows mapped with the balloon: $others"
wait_until 15 window_unmapped "$balloon" ||
    fail "the balloon did not hide after the pop-up interval"
[ -z "$(mapped_windows "$PROG_PID")" ] || fail "a window stayed mapped"
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "run 1: exit status $RC"

# Run 2: the interval is a minute; a click on the balloon hides it at once.
dir=$(program_dir hostvane "$(ini 60000)")
start_program "$dir" hostvane
wait_window 20 balloon_window "$PROG_PID" || fail "run 2: no balloon"
balloon=$WIN
read -r w h x y < <(window_geometry "$balloon")
xdotool mousemove $((x + 40)) $((y + 30)) click 3
wait_until 5 window_unmapped "$balloon" ||
    fail "a right click on the balloon did not hide it"
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "run 2: exit status $RC"
echo "PASS"
