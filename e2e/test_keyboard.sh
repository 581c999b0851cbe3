#!/usr/bin/env bash
# The keyboard user's day. Faults caught: a toolbar menu out of reach without
# a mouse; keys typed after Enter on the card that press a toolbar button
# (an unwanted contact) or get lost; Find Next that keeps finding the same
# contact (and a Delete that then removes the wrong one).
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

e2e_data_folder_ini
file=$E2E_APPDIR/data/chatcontacts.lis
ini=$E2E_APPDIR/banterly.ini
{
    e2e_contact_fields 24=Alpha "18=met in the room"
    e2e_contact_fields 24=Bravo
    e2e_contact_fields 24=Charlie "18=room regular"
    e2e_contact_fields 24=Delta "18=the room again"
} >"$file"

active_is() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
chat_names() { awk -F"$(printf '\037')" '{ print $25 }' "$file" | tr '\n' ' '; }
card_appears() { e2e_wait_window "$E2E_CARD_TITLE" 3 >/dev/null; }
menu_open() { [ "$(e2e_visible_window_count)" -gt "$1" ]; }
menu_closed() { [ "$(e2e_visible_window_count)" -le "$1" ]; }
# The popup's outer top lies at the toolbar's outer bottom, give or take a frame.
menu_at_toolbar() {
    local id tx ty tw th mx my
    read -r tx ty tw th <<<"$(e2e_outer_geometry "$E2E_TOOLBAR")"
    for id in $(xdotool search --onlyvisible --class banterly 2>/dev/null); do
        [ "$id" = "$E2E_TOOLBAR" ] && continue
        read -r mx my _ _ <<<"$(e2e_client_geometry "$id")"
        [ $((mx - tx)) -ge -8 ] && [ $((mx - tx)) -le 8 ] &&
            [ $((my - ty - th)) -ge -8 ] && [ $((my - ty - th)) -le 8 ] && return 0
    done
    return 1
}

e2e_start_app || exit 1

# --- The toolbar's menu from the keyboard -------------------------------------
xdotool mousemove 5 700                             # far from the toolbar
sleep 0.2
windows=$(e2e_visible_window_count)
xdotool windowactivate --sync "$E2E_TOOLBAR"
sleep 0.3
e2e_key shift+F10
check "Shift+F10 on the toolbar opens its menu" e2e_wait_for 3 menu_open "$windows"
check "at the toolbar, not at the pointer" menu_at_toolbar
e2e_key Return                                      # the first command: restore
restore=$(e2e_wait_window '^Restore from a Backup$' 5)
check "Enter runs the command chosen in the menu" test -n "$restore"
[ -n "$restore" ] && e2e_close_window "$restore"
e2e_wait_for 3 menu_closed "$windows"
xdotool windowactivate --sync "$E2E_TOOLBAR"
sleep 0.3
e2e_key Menu
check "the Menu key opens it too" e2e_wait_for 3 menu_open "$windows"
for i in 1 2 3 4 5 6 7; do xdotool key Down; sleep 0.05; done
e2e_key Return                                      # the paste switch, last
check "the last command is reached with the arrow keys" \
    e2e_wait_for 3 grep -q 'PasteAfterCopy=1' "$ini"

# --- Enter on the card, then more typing -------------------------------------
list=$(e2e_open_list) || { e2e_log "no list"; e2e_finish; }
e2e_click "$list" 40 44                             # Alpha on the card
card=$(e2e_wait_window "$E2E_CARD_TITLE" 5) || { e2e_log "no card"; e2e_finish; }
sleep 0.5
e2e_click "$card" 150 27                            # its chat name
xdotool key End
e2e_type "x"
e2e_key Return                                      # OK
check "after Enter on the card the keyboard is back in the list" \
    e2e_wait_for 3 active_is "$list"
e2e_type "second line"

e2e_click "$E2E_TOOLBAR" 12 10                      # add a new contact
card=$(e2e_wait_window "$E2E_CARD_TITLE" 5) || { e2e_log "no card"; e2e_finish; }
sleep 0.5
e2e_type "Echo"
e2e_key Return
e2e_wait_gone "$E2E_CARD_TITLE" 3
e2e_type "second line"
sleep 0.5
check "typing after the card's OK brings up no new card" e2e_wait_gone "$E2E_CARD_TITLE" 1
check_eq "and adds no contact" "Alphax Bravo Charlie Delta Echo " "$(chat_names)"

# --- Find, then Find Next ----------------------------------------------------
xdotool windowactivate --sync "$list"
e2e_click "$list" 40 44                             # Alpha selected
e2e_click "$list" 81 12                             # Find
box=$(e2e_wait_window '^Finding Chatroom Contact$' 5) || { e2e_log "no input box"; e2e_finish; }
sleep 0.3
e2e_type "room"
e2e_key Return                                      # finds Alpha itself
sleep 0.5
xdotool windowactivate --sync "$list"
sleep 0.3
e2e_key F3                                          # Charlie, past Bravo
sleep 0.3
e2e_click "$list" 135 12                            # Delete
sleep 0.5
check_eq "F3 found the second match, and Delete removed it" \
    "Alphax Bravo Delta Echo " "$(chat_names)"

# --- The toolbar's buttons on purpose: Tab, then Space -------------------------
e2e_close_window "$(e2e_wait_window "$E2E_CARD_TITLE" 3)"
e2e_wait_gone "$E2E_CARD_TITLE" 3
xdotool windowactivate --sync "$E2E_TOOLBAR"
sleep 0.3
e2e_key Tab
e2e_key space
check "Tab and Space still press a toolbar button" card_appears

e2e_end_program
e2e_finish
