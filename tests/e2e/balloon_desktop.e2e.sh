#!/usr/bin/env bash
# The balloon on a desktop with openbox and a tint2 taskbar: it is as tall as its text (no
# scroll bar for one host, 21 hosts and a long title all shown), stays out of the task list and
# pagers, leaves the active window alone, and a report cut to the work area's height scrolls
# with its scroll bar, which takes clicks without hiding the balloon.
# HV_E2E_SHOTS=DIR keeps the screenshots there.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop xmessage import convert
need_icmp
[ "$(id -u)" -eq 0 ] || skip "the web server on 127.84.0.2 port 80 needs root"

LONG_TITLE="The print server in the basement next to the boiler room"

# ini N: N hosts 127.0.0.1 to 127.0.0.N (host 7 with the long title), a minute's pop-up.
ini() {
    local i
    printf '%s\n' "[HostList]"
    for ((i = 1; i <= $1; i++)); do
        if [ "$i" = 7 ]; then echo "$LONG_TITLE=127.0.0.$i"; else echo "Host $i=127.0.0.$i"; fi
    done
    printf '%s\n' "" "[View]" "FontSize=10" "FontName=DejaVu Sans" "" "[CheckParams]" \
        "CheckPeriod=600000" "PopUpInterval=60000" "" "[General]" "Language=English"
}

# desktop_balloon PID: the program's mapped window 245 pixels wide (a managed window sits in
# the window manager's frame, so it is not a child of the root window).
desktop_balloon() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
        [ "$(window_geometry "$w" | cut -d' ' -f1)" = 245 ] && { echo "$w"; return 0; }
    done
    return 1
}

active_window() { xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# //'; }

shot() {
    SHOT="$WORK/$1.png"
    import -window root "$SHOT"
    [ -z "${HV_E2E_SHOTS:-}" ] || { mkdir -p "$HV_E2E_SHOTS"; cp "$SHOT" "$HV_E2E_SHOTS/"; }
}

# scroll_bar_column X Y H: the number of colours in the text box's last pixel column (screen
# column X, rows Y to Y+H-1) of the last screenshot. Text never reaches that column (lines wrap
# short of it); a scroll bar paints it.
column_colours() {
    convert "$SHOT" -crop "1x$3+$1+$2" +repage -unique-colors txt:- | grep -c '^[0-9]'
}

start_desktop 1280x1024
read -r _ wy _ wh < <(work_area)
# A window of another program holds the focus.
xmessage -geometry 300x80+100+100 "another program" &
PIDS+=($!)
wait_until 10 sh -c 'xdotool search --onlyvisible --class xmessage' || fail "xmessage did not start"
other=$(xdotool search --onlyvisible --class xmessage | head -n1)
xdotool windowactivate --sync "$other" 2>/dev/null || true
wait_until 10 sh -c "[ \"\$(xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# //')\" = '$(printf '0x%x' "$other")' ]" ||
    fail "the other program did not become active"
active_before=$(active_window)

# 1. 21 hosts appear, one with a long title: 22 lines and the wrapped title.
dir=$(program_dir hostvane "$(ini 21)")
start_program "$dir" hostvane
wait_window 30 desktop_balloon "$PROG_PID" || fail "no balloon for 21 hosts"
balloon=$WIN
sleep 0.5
read -r w h x y < <(window_geometry "$balloon")
[ "$w" = 245 ] || fail "the balloon is $w wide"
[ $((y + h)) = $((1024 - 35)) ] || fail "the balloon's bottom is at $((y + h)), not 989"
[ "$y" -gt "$wy" ] || fail "21 hosts were cut to the work area (top $y)"
# 22 lines of a 10-point font and the title's second line: well over 23 x 15 pixels.
[ "$h" -ge $((24 * 15)) ] || fail "the balloon is only $h high for 23 lines"
name=$(xprop -id "$balloon" _NET_WM_NAME | sed -n 's/.* = "\(.*\)"$/\1/p')
[ -n "$name" ] || fail "the balloon has no name"
states=$(xprop -id "$balloon" _NET_WM_STATE)
grep -q _NET_WM_STATE_SKIP_TASKBAR <<<"$states" || fail "no skip-taskbar state: $states"
grep -q _NET_WM_STATE_SKIP_PAGER <<<"$states" || fail "no skip-pager state: $states"
! taskbar_has "$name" || fail "\"$name\" is in the task list"
[ "$(active_window)" = "$active_before" ] || fail "the balloon took the focus: $(active_window)"
shot balloon-21
[ "$(column_colours $((x + 234)) $((y + 10)) $((h - 40)))" = 1 ] ||
    fail "something is painted where the scroll bar would be (21 hosts): $SHOT"
xdotool mousemove $((x + 40)) $((y + 30)) click 1
wait_until 5 window_unmapped "$balloon" || fail "a click on the text did not hide the balloon"
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "run 1: exit status $RC"

# 2. One host lost: the report ends with an empty line; still no scroll bar.
start_web_server 127.84.0.2
dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "Web=http://127.84.0.2" "" "[View]" \
    "FontSize=10" "FontName=DejaVu Sans" "" "[CheckParams]" "CheckPeriod=1000" \
    "PopUpInterval=60000" "" "[General]" "Language=English")")
start_program "$dir" hostvane
wait_window 30 desktop_balloon "$PROG_PID" || fail "no balloon for the appeared web server"
read -r w h x y < <(window_geometry "$WIN")
xdotool mousemove $((x + 40)) $((y + 30)) click 1
wait_until 5 window_unmapped "$WIN" || fail "a click did not hide the first balloon"
kill "$WEB_PID"
wait_window 30 desktop_balloon "$PROG_PID" || fail "no balloon for the lost web server"
balloon=$WIN
sleep 0.5
read -r w h x y < <(window_geometry "$balloon")
! taskbar_has "$(xprop -id "$balloon" _NET_WM_NAME | sed -n 's/.* = "\(.*\)"$/\1/p')" ||
    fail "the balloon shown again is in the task list"
[ "$(active_window)" = "$active_before" ] || fail "the second balloon took the focus"
shot balloon-lost
[ "$(column_colours $((x + 234)) $((y + 10)) $((h - 40)))" = 1 ] ||
    fail "a scroll bar on the one-host balloon: $SHOT"
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "run 2: exit status $RC"

# 3. 90 hosts: cut at the work area's top, with a scroll bar that scrolls and keeps it up.
dir=$(program_dir hostvane "$(ini 90)")
start_program "$dir" hostvane
wait_window 60 desktop_balloon "$PROG_PID" || fail "no balloon for 90 hosts"
balloon=$WIN
sleep 0.5
read -r w h x y < <(window_geometry "$balloon")
[ "$y" = "$wy" ] || fail "the long report's top is at $y, not the work area's $wy"
shot balloon-90-top
[ "$(column_colours $((x + 234)) $((y + 10)) $((h - 40)))" -gt 1 ] ||
    fail "no scroll bar on the cut report: $SHOT"
top=$WORK/top.png
convert "$SHOT" -crop "200x40+$((x + 10))+$((y + 10))" +repage "$top"
# The lower end of the scroll bar's groove: a page down.
xdotool mousemove $((x + 228)) $((y + h - 60)) click 1
sleep 0.5
window_unmapped "$balloon" && fail "a click on the scroll bar hid the balloon"
xdotool mousemove $((x + 228)) $((y + h - 60)) click 3
sleep 0.5
window_unmapped "$balloon" && fail "a right click on the scroll bar hid the balloon"
shot balloon-90-scrolled
convert "$SHOT" -crop "200x40+$((x + 10))+$((y + 10))" +repage "$WORK/scrolled.png"
cmp -s <(convert "$top" rgb:-) <(convert "$WORK/scrolled.png" rgb:-) &&
    fail "the scroll bar did not scroll the text"
[ "$(active_window)" = "$active_before" ] || fail "clicks on the balloon took the focus"
xdotool mousemove $((x + 40)) $((y + 30)) click 1
wait_until 5 window_unmapped "$balloon" || fail "a click on the text did not hide the long report"
kill -TERM "$PROG_PID"
wait_exit "$PROG_PID" 10
[ "$RC" -eq 0 ] || fail "run 3: exit status $RC"
echo "PASS"
