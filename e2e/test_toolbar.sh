#!/usr/bin/env bash
# The toolbar on a first start: its settings file, its place and its topmost
# state; the clock's colours on clicks and a double click; a button's tooltip
# while another window is active; a stored AlwaysOnTop=0 does not take effect
# at start-up; closing the toolbar ends the program.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

e2e_start_app || exit 1
dir=$E2E_APPDIR
expected=$(printf '[general]\r\nAlwaysOnTop=1\r\n[phrases]\r\nHidePhraseListWhenDbleClicked=1\r\nPhraseList=%s/phrases.txt\r\n[contacts]\r\nShowStatFields=1\r\ndataFile=%s/chatcontacts.lis\r\nWebSitesList=%s/websites.lis\r\n' "$dir" "$dir" "$dir")
check_eq "first start writes banterly.ini with the six defaults" "$expected" "$(cat "$dir/banterly.ini")"
check "first start writes no warning to the log" test ! -s "$dir/banterly.log"

read -r ox oy ow oh <<<"$(e2e_outer_geometry "$E2E_TOOLBAR")"
half=$(( $(e2e_screen_width) / 2 ))
check_eq "toolbar's outer left edge is at half the screen width" "$half" "$ox"
check_eq "toolbar's top is at 0" "0" "$oy"
read -r cx cy cw ch <<<"$(e2e_client_geometry "$E2E_TOOLBAR")"
check_eq "toolbar's client area is 3330 x 315 twips" "222 21" "$cw $ch"
check "toolbar is kept above other windows" e2e_has_state "$E2E_TOOLBAR" _NET_WM_STATE_ABOVE

# The clock: pixels of its text that are reddish (start-time mode) and
# bluish (current-time mode), read from the screen.
clock_pixels() {  # clock_pixels red|blue
    import -window "$E2E_TOOLBAR" -depth 8 -crop 61x13+108+6 +repage txt:- 2>/dev/null |
        awk -v want="$1" -F'[(),]' 'NR > 1 { r = $3; g = $4; b = $5
            if (want == "red" && r > 150 && g < 110 && b < 110) n++
            if (want == "blue" && b > 120 && r < 110 && g < 110) n++ } END { print n + 0 }'
}
check "the clock shows the time in dark blue" test "$(clock_pixels blue)" -gt 0
check "the clock shows no red at start" test "$(clock_pixels red)" -eq 0
e2e_click "$E2E_TOOLBAR" 138 12
check "a click on the clock turns it red" test "$(clock_pixels red)" -gt 0
sleep 1.2
check "a tick keeps the start-time mode" test "$(clock_pixels red)" -gt 0
e2e_click "$E2E_TOOLBAR" 138 12
check "the next click turns it back to dark blue" test "$(clock_pixels red)" -eq 0
xdotool mousemove --window "$E2E_TOOLBAR" 138 12 sleep 0.1 click --repeat 2 --delay 60 1
sleep 0.4
check "a double click flips the clock once" test "$(clock_pixels red)" -gt 0

# The toolbar is seldom the active window; its picture buttons' tooltips show
# all the same.
(cd "$dir" && ./banterly --show phrases) >/dev/null 2>&1
xdotool mousemove 5 790
phrases=$(e2e_wait_window '^Phrases to Paste') && xdotool windowactivate --sync "$phrases"
sleep 0.5
windows=$(e2e_visible_window_count)
more_windows() { [ "$(e2e_visible_window_count)" -gt "$windows" ]; }
xdotool mousemove --window "$E2E_TOOLBAR" 10 10 sleep 0.1 mousemove --window "$E2E_TOOLBAR" 12 11
check "a button's tooltip shows while another window is active" e2e_wait_for 3 more_windows

e2e_close_window "$E2E_TOOLBAR"
rc=$(e2e_wait_exit 5)
check "closing the toolbar ends the program" test -n "$rc"
check_eq "the program ends with exit code 0" "0" "$rc"

# A stored AlwaysOnTop=0 is applied only later (card or options); start-up
# always puts the toolbar on top.
sed -i 's/^AlwaysOnTop=1/AlwaysOnTop=0/' "$dir/banterly.ini"
e2e_start_app || exit 1
check "with AlwaysOnTop=0 the toolbar is still on top after start-up" \
    e2e_has_state "$E2E_TOOLBAR" _NET_WM_STATE_ABOVE
# Loading the detail card applies the settings: the toolbar leaves the
# topmost band, in place and as the same X window.
before=$(e2e_outer_geometry "$E2E_TOOLBAR")
e2e_click "$E2E_TOOLBAR" 12 10
check "button 0 opens the detail card" e2e_wait_window '^Banterly - Address Book$' 5
check "with AlwaysOnTop=0 the card's load takes the toolbar out of the topmost band" \
    bash -c "sleep 0.3; ! xprop -id $E2E_TOOLBAR _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE"
check_eq "the toolbar stays where it was" "$before" "$(e2e_outer_geometry "$E2E_TOOLBAR")"
check_eq "the toolbar is the same window" "$E2E_TOOLBAR" "$(e2e_wait_window '^Banterly$')"
e2e_close_window "$E2E_TOOLBAR"
e2e_wait_exit 5 >/dev/null

e2e_finish
