#!/usr/bin/env bash
# The address book on the real program: a contact added from the toolbar and
# saved with OK; an edit saved when the list window is activated; Find with
# lower-case text; Delete down to an empty list; where the list and the card
# open; an edit kept when the program is closed.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

dir=$E2E_APPDIR
file=$dir/chatcontacts.lis
card_title='^Banterly - Address Book$'
list_title='^Chat Contacts$'

{ e2e_contact_fields 24=Alpha 26=Ann; e2e_contact_fields 24=Bravo "18=LIKES CHESS"; } >"$file"

contacts_in_file() { grep -c $'\x1f' "$file"; }
has_text() { grep -q "$1" "$file"; }
visible() { e2e_wait_window "$@" >/dev/null; }
# wait_for VAR TITLE: waits for the window and puts its id into VAR; the test
# ends when it does not appear.
wait_for() {
    local id
    id=$(e2e_wait_window "$2") || { e2e_log "no window $2"; e2e_finish; }
    sleep 0.3
    printf -v "$1" '%s' "$id"
}

e2e_start_app || exit 1
read -r tx ty tw th <<<"$(e2e_outer_geometry "$E2E_TOOLBAR")"
seam=$((tx + 24))   # 360 twips right of the toolbar's left edge
below=$((ty + th))

# --- Add from the toolbar, type a chat name, OK with the mouse -------------
e2e_click "$E2E_TOOLBAR" 12 10
wait_for card "$card_title"
read -r cx cy cw ch <<<"$(e2e_outer_geometry "$card")"
check_eq "the card's right edge meets the line 360 twips right of the toolbar" "$seam" "$((cx + cw))"
check_eq "the card hangs directly under the toolbar" "$below" "$cy"
e2e_click "$card" 150 27
xdotool type --delay 30 "Charlie"
sleep 0.2
e2e_click "$card" 159 186
check "OK hides the card" e2e_wait_gone "$card_title"
check "the new contact is saved" has_text Charlie
check_eq "the file holds three contacts" 3 "$(contacts_in_file)"

# --- Open the list, select a line, edit, activate the list window ----------
e2e_click "$E2E_TOOLBAR" 36 10
wait_for list "$list_title"
read -r lx ly lw lh <<<"$(e2e_outer_geometry "$list")"
check_eq "the list opens 360 twips right of the toolbar's left edge" "$seam" "$lx"
check_eq "the list opens directly under the toolbar" "$below" "$ly"

e2e_click "$list" 40 44            # first line: Alpha
wait_for card "$card_title"
e2e_click "$card" 230 45           # the real name box
xdotool key End
xdotool type --delay 30 "abel"
sleep 0.2
check "nothing is saved while typing" bash -c "! grep -q Annabel '$file'"
e2e_click "$list" 80 238           # the list window's own background
sleep 0.5
check "activating the list window saves the edit" has_text Annabel
check "the card stays open after that save" visible "$card_title" 2

# --- An edit, then a click on another line: saved into the right contact ---
xdotool key Down                   # the list is active: on to Bravo
sleep 0.5
e2e_click "$card" 230 27           # the chat name box
xdotool key End
xdotool type --delay 30 "Z"
sleep 0.2
e2e_click "$list" 40 44            # back to the first line, Alpha
sleep 0.5
check "the edit is saved when another line is clicked" has_text BravoZ
e2e_click "$card" 230 45
xdotool key End
xdotool type --delay 30 "Q"
e2e_click "$list" 80 238
sleep 0.5
check "the clicked line's contact is on the card" has_text AnnabelQ
check "and the contact before it is unchanged" bash -c "grep -q 'BravoZ' '$file' && ! grep -q 'BravoZQ' '$file'"

# --- Find with lower-case text ----------------------------------------------
e2e_click "$list" 81 12
wait_for box '^Finding Chatroom Contact$'
read -r bx by bw bh <<<"$(e2e_outer_geometry "$box")"
read -r lx ly lw lh <<<"$(e2e_outer_geometry "$list")"
check_eq "the input box opens at the list window's top-left corner" "$lx $ly" "$bx $by"
xdotool type --delay 30 "chess"
xdotool key Return
e2e_wait_gone '^Finding Chatroom Contact$'
sleep 0.3
# The found contact (Bravo, "LIKES CHESS") is now current: Delete removes it.
e2e_click "$list" 135 12
sleep 0.3
check "Find in small letters found the contact noted in capitals" bash -c "! grep -q Bravo '$file'"
check "the others stay" bash -c "grep -q Annabel '$file' && grep -q Charlie '$file'"

# --- Delete down to an empty list --------------------------------------------
e2e_click "$list" 40 44
sleep 0.3
e2e_click "$list" 135 12
sleep 0.3
check_eq "one contact is left" 1 "$(contacts_in_file)"
check "the one left is Charlie" has_text Charlie
e2e_click "$list" 40 44
check "selecting the last contact shows the card" visible "$card_title" 3
e2e_click "$list" 135 12
sleep 0.3
check_eq "deleting the only contact empties the file" 0 "$(wc -c <"$file")"
check "deleting the only contact hides the card" e2e_wait_gone "$card_title"
check "the program is still running" e2e_app_alive

# --- An edit typed just before the program is closed is kept ----------------
e2e_click "$E2E_TOOLBAR" 12 10
wait_for card "$card_title"
e2e_click "$card" 150 27
xdotool type --delay 30 "Delta"
sleep 0.2
e2e_close_window "$E2E_TOOLBAR"
rc=$(e2e_wait_exit 5)
check_eq "closing the toolbar ends the program" 0 "$rc"
check "the edit in the card was saved at the end" has_text Delta

e2e_finish
