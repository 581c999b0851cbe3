#!/usr/bin/env bash
# The contact file is replaced from outside (a sync tool's write-and-rename)
# while the user edits a contact on the card. The program takes the new file
# in at once and merges the edit still on the card into it, keeping the file
# as it came in backups/; OK and the next save say nothing.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
dir=$E2E_APPDIR
file=$dir/data/chatcontacts.lis
log=$dir/banterly.log
card_title=$E2E_CARD_TITLE
ok_x=159 ok_y=186          # the card's OK button

chat_names() { awk -F$'\x1f' '{ print $25 }' "$file" 2>/dev/null | paste -sd' '; }
outside_lines() { cat "$log" 2>/dev/null | grep -c 'was changed by another program'; }

e2e_data_folder_ini
{ e2e_contact_line Alpha; e2e_contact_line Bravo; } >"$file"

e2e_start_app || exit 1
list=$(e2e_open_list) || { e2e_log "the list did not open"; e2e_finish; }

# Opens Alpha from the list and appends text to its chat name (no OK yet).
edit_alpha() {
    check "the card opens from the list" e2e_append_to_first_chat_name "$list" "$1"
    card=$E2E_CARD
    [ -n "$card" ] || e2e_finish
}

# --- the file is replaced from outside during the edit: the program takes
# it in at once, with the edit still on the card merged into it; nothing is
# lost and nothing needs asking
edit_alpha X
{ e2e_contact_line FromLaptop; e2e_contact_line Bravo; } >"$dir/data/.sync-tmp"
mv "$dir/data/.sync-tmp" "$file"
merged() { [ "$(chat_names)" = "$1" ]; }
check "within a second the file holds the edit and the outside contact" \
    e2e_wait_for 1 merged "AlphaX Bravo FromLaptop"
check "a version in backups/ holds the outside file as it came" \
    bash -c "grep -lq FromLaptop '$dir/data/backups/'*"
e2e_click "$card" "$ok_x" "$ok_y"
e2e_wait_gone "$card_title" 5
check_eq "no message box" 0 "$(e2e_dismiss_messages 2)"
check_eq "no outside-change line in the log" 0 "$(outside_lines)"
check_eq "OK changes nothing more" "AlphaX Bravo FromLaptop" "$(chat_names)"

# --- a plain second save: nothing changed outside, no message
edit_alpha Y
e2e_click "$card" "$ok_x" "$ok_y"
check_eq "a plain second save shows no message" 0 "$(e2e_dismiss_messages 2)"
check_eq "and logs nothing" 0 "$(outside_lines)"
check_eq "the file holds both edits" "AlphaXY Bravo FromLaptop" "$(chat_names)"
check "the program still runs" e2e_app_alive

# --- the sync program leaves the other machine's book beside the file as a
# conflict copy: its new contact is merged in, and the copy goes into
# backups/; a file that only looks like one is left alone
copy=chatcontacts.sync-conflict-20261210-013012-ABCDEF7.lis
lookalike=chatcontacts.sync-conflict-20261210-013012-abcdef7.lis
{ cat "$file"; e2e_contact_line FromPhone; } >"$dir/data/.sync-tmp"
{ cat "$file"; e2e_contact_line NotOurs; } >"$dir/data/$lookalike"
mv "$dir/data/.sync-tmp" "$dir/data/$copy"
check "within a second the copy's contact is in the file" \
    e2e_wait_for 1 merged "AlphaXY Bravo FromLaptop FromPhone"
check "the copy is moved into backups/" e2e_wait_for 1 test -f "$dir/data/backups/$copy"
check "and is gone from beside the file" test ! -e "$dir/data/$copy"
check "the look-alike stays where it was" test -f "$dir/data/$lookalike"
check_eq "no message box" 0 "$(e2e_dismiss_messages 2)"

e2e_close_window "$E2E_TOOLBAR"
e2e_dismiss_messages 3 >/dev/null
check "the program ends when its toolbar is closed" test -n "$(e2e_wait_exit 10)"
e2e_finish
