#!/usr/bin/env bash
# The card as a user meets it. Faults caught: a box that looks empty after a
# change of contact (its scroll carried over), typing that lands on OK instead
# of the second new contact's chat name, a card that takes the keyboard from
# the list so the arrow keys stop browsing, and typing on a card that shows
# no contact being thrown away unseen.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

file=$E2E_APPDIR/chatcontacts.lis
{
    e2e_contact_fields 24=Jane "41=https://www.instagram.com/jane.doe.1987/"
    e2e_contact_fields 24=Mike 41=http://mike.example/
    e2e_contact_fields 24=Kilo
} >"$file"

# Client-area places on the card (twips / 15).
CHAT_BOX="66 18"
WEB_BOX="66 90"
OK_BUTTON="159 186"

# Pixels of a box drawn dark enough to be text (the boxes are olive or pale
# yellow, the text black).
text_pixels() {  # text_pixels WINDOW X Y [WIDTH] (a strip of the box at X, Y of the client area)
    local wx wy
    read -r wx wy _ _ <<<"$(e2e_client_geometry "$1")"
    import -window root "$E2E_DIR/shot.png" 2>/dev/null
    convert "$E2E_DIR/shot.png" -crop "${4:-171}x15+$((wx + $2 + 2))+$((wy + $3 + 2))" txt:- 2>/dev/null |
        awk 'NR > 1 { split(substr($2, 2), c, ","); if (c[1] + c[2] + c[3] < 200) n++ } END { print n + 0 }'
}
has_text_drawn() { [ "$(text_pixels "$@")" -gt 20 ]; }
# A long value scrolled to its start fills the box to its right end.
right_half_drawn() { [ "$(text_pixels "$1" $(($2 + 90)) "$3" 80)" -gt 20 ]; }
no_text_drawn() { [ "$(text_pixels "$@")" -eq 0 ]; }
active_is() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
chat_name_on_card() {  # copies the chat-name box and prints it
    e2e_click "$1" $CHAT_BOX
    xdotool key ctrl+a ctrl+c
    sleep 0.3
    e2e_clipboard
}

# --- A card that shows no contact takes no typing ---------------------------
e2e_start_app || exit 1
before=$(md5sum <"$file")
e2e_click "$E2E_TOOLBAR" 84 10                     # options
options=$(e2e_wait_window '^Options') || { e2e_log "no options dialog"; e2e_finish; }
sleep 0.3
e2e_click "$options" 153 150                       # OK: brings up the card
card=$(e2e_wait_window "$E2E_CARD_TITLE") || { e2e_log "no card"; e2e_finish; }
sleep 0.5
e2e_click "$card" $CHAT_BOX
xdotool type --delay 30 "Zed"
sleep 0.3
check "typing on a card without a contact shows nothing that could be dropped" \
    no_text_drawn "$card" $CHAT_BOX
e2e_click "$card" $OK_BUTTON
sleep 0.5
check_eq "and the contact file is unchanged" "$before" "$(md5sum <"$file")"
kill "$E2E_APP_PID"; wait "$E2E_APP_PID" 2>/dev/null

# --- Browsing the list with the arrow keys ---------------------------------
e2e_start_app || exit 1
e2e_click "$E2E_TOOLBAR" 36 10                     # the list
list=$(e2e_wait_window "$E2E_LIST_TITLE") || { e2e_log "no list"; e2e_finish; }
sleep 0.3
e2e_click "$list" 40 44                            # first line: the card appears
card=$(e2e_wait_window "$E2E_CARD_TITLE") || { e2e_log "no card"; e2e_finish; }
sleep 0.5
check "the card's first appearance leaves the keyboard with the list" active_is "$list"
xdotool key Down
sleep 0.3
xdotool key Down
sleep 0.5
check "Down, Down keeps the keyboard in the list" active_is "$list"
check_eq "Down, Down from the first line shows the third contact" Kilo "$(chat_name_on_card "$card")"

# --- A long value: its start comes back into view; the next contact's shows --
e2e_click "$list" 40 44                            # Jane
sleep 0.5
e2e_click "$card" $WEB_BOX                         # caret to the end of her long address
xdotool key End
sleep 0.3
xdotool key Home
sleep 0.3
check "Home brings the start of a long address back into view" right_half_drawn "$card" $WEB_BOX
xdotool key End
sleep 0.3
e2e_click "$list" 40 44                            # Jane again, the list has the keyboard
sleep 0.3
xdotool key Down                                   # Mike
sleep 0.7
check "Mike's web site is drawn in its box after Jane's long one" has_text_drawn "$card" $WEB_BOX
xdotool key Up                                     # Jane
sleep 0.7
check "Jane's address shows from its start when she is shown again" right_half_drawn "$card" $WEB_BOX

# --- Two new contacts typed in a row -----------------------------------------
e2e_click "$E2E_TOOLBAR" 12 10
sleep 0.7
xdotool type --delay 30 "Bravo"
sleep 0.3
e2e_click "$card" $OK_BUTTON
e2e_wait_gone "$E2E_CARD_TITLE"
e2e_click "$E2E_TOOLBAR" 12 10
sleep 0.7
xdotool type --delay 30 "Charlie Brown"
xdotool key Return
sleep 0.7
chat_names=$(awk -F$'\x1f' '{ print $25 }' "$file" | tr '\n' '|')
check_eq "both new contacts typed at once land in the file" \
    "Jane|Mike|Kilo|Bravo|Charlie Brown|" "$chat_names"

e2e_close_window "$E2E_TOOLBAR"
e2e_finish
