#!/usr/bin/env bash
# Start-up translation of the running program: with Language=German in Hostvane.ini the
# windows the tray menu opens carry their German titles (Log > View: "Ereignisprotokoll";
# Host status > Table: "Host-Status"); a language without a file keeps the designed texts.
source "$(dirname "$0")/lib.sh"
need xdotool xwininfo xprop

visible_named() { xdotool search --onlyvisible --pid "$PROG_PID" --name "^$1\$" | head -n1 | grep .; }

# open_from_menu KEYS...: opens the tray menu and walks it with the keyboard.
open_from_menu() {
    read -r ix iy < <(tray_icon_centre)
    xdotool mousemove "$ix" "$iy" click 3
    wait_until 5 tray_menu_open "$PROG_PID" || fail "a right click did not map the menu"
    for k in "$@"; do xdotool key "$k"; sleep 0.3; done
}

start_own_x tray
for case in "German:Ereignisprotokoll:Host-Status" "Klingon:Log:Hosts state"; do
    IFS=: read -r language log_title table_title <<<"$case"
    dir=$(program_dir hostvane "$(printf '%s\n' "[HostList]" "" "[CheckParams]" \
        "CheckPeriod=600000" "" "[General]" "Language=$language")")
    start_program "$dir" hostvane
    wait_until 15 tray_icon_docked || fail "$language: the icon did not dock"
    # Stop, Host status, Log; the Log submenu's first item is View.
    open_from_menu Down Down Down Right Return
    wait_until 10 visible_named "$log_title" || fail "$language: no log window titled '$log_title'"
    # Host status; its first item is the Table command.
    open_from_menu Down Down Right Return
    wait_until 10 visible_named "$table_title" ||
        fail "$language: no state table titled '$table_title'"
    kill -TERM "$PROG_PID"
    wait_exit "$PROG_PID" 10
    [ "$RC" -eq 0 ] || fail "$language: exit status $RC"
    wait_until 10 sh -c '! xwininfo -root -tree | grep -q "\"hostvane\""' || true
done
echo "PASS"
