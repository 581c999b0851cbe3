#!/usr/bin/env bash
# Windows opening off the screen: with the toolbar dragged into a corner of
# the screen, the contact list, a new contact's card and the phrase window,
# opened from the toolbar's buttons, show their whole outer frame on the
# screen, moved no further than they must be; a window that fits stays where
# it hangs under the toolbar.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

phrases_title='^Phrases to Paste into Chat Sessions$'
read -r sw sh <<<"$(xdpyinfo | awk '/dimensions:/{split($2, a, "x"); print a[1], a[2]}')"

# Moves the toolbar's outer frame to (x, y) and checks that it got there.
move_toolbar() {  # move_toolbar X Y
    local x y
    xdotool windowmove "$E2E_TOOLBAR" "$1" "$2"
    sleep 0.4
    read -r x y _ _ <<<"$(e2e_outer_geometry "$E2E_TOOLBAR")"
    check_eq "the toolbar is at ($1, $2)" "$1 $2" "$x $y"
}

# Clicks toolbar button n (360 twips apart) and prints the window that opens.
open_from_button() {  # open_from_button N TITLE
    local id
    e2e_click "$E2E_TOOLBAR" $(($1 * 24 + 12)) 10
    id=$(e2e_wait_window "$2" 5) || return 1
    e2e_wait_framed "$id"
    sleep 0.4
    echo "$id"
}

on_screen() {  # on_screen "x y w h"
    local x y w h
    read -r x y w h <<<"$1"
    [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$sw" ] && [ $((y + h)) -le "$sh" ]
}

# Opens the three windows from the toolbar at its present place and checks
# that each is whole on the screen.
open_all_on_screen() {  # open_all_on_screen CORNER-NAME
    list=$(open_from_button 1 "$E2E_LIST_TITLE") || { e2e_log "no list window"; e2e_finish; }
    card=$(open_from_button 0 "$E2E_CARD_TITLE") || { e2e_log "no card"; e2e_finish; }
    phrases=$(open_from_button 2 "$phrases_title") || { e2e_log "no phrase window"; e2e_finish; }
    local w g
    for w in list card phrases; do
        g=$(e2e_outer_geometry "${!w}")
        check "$1: the $w window's frame ($g) is whole on the ${sw}x$sh screen" on_screen "$g"
    done
}

e2e_start_app || exit 1
read -r _ _ tw th <<<"$(e2e_outer_geometry "$E2E_TOOLBAR")"

# --- Bottom-left corner: everything would open below the screen, the card
# also left of it.
move_toolbar 0 $((sh - th))
open_all_on_screen bottom-left
read -r lx ly lw lh <<<"$(e2e_outer_geometry "$list")"
check_eq "bottom-left: the list only moves up, onto the bottom edge" \
    "24 $sh" "$lx $((ly + lh))"

# --- Top-right corner: the phrase window would reach past the right edge;
# the list and the card fit and hang where they always do.
move_toolbar $((sw - tw)) 0
open_all_on_screen top-right
read -r px py pw ph <<<"$(e2e_outer_geometry "$phrases")"
check_eq "top-right: the phrase window only moves left, onto the right edge" \
    "$sw $((th + 21))" "$((px + pw)) $py"
read -r lx ly _ _ <<<"$(e2e_outer_geometry "$list")"
read -r cx cy cw _ <<<"$(e2e_outer_geometry "$card")"
check_eq "top-right: the list and the card, which fit, hang under the toolbar unmoved" \
    "$((sw - tw + 24)) $th $((sw - tw + 24)) $th" "$lx $ly $((cx + cw)) $cy"
check "no message box came up" test -z "$(e2e_message_boxes)"
check "the program is still running" e2e_app_alive

e2e_finish
