#!/usr/bin/env bash
# The contact file is replaced from outside (a sync tool's write-and-rename)
# while the user edits a contact on the card. OK then keeps the outside
# version in backups/, says so once (naming that copy), and writes the
# user's edit; the next save, with nothing changed outside, says nothing.
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

# --- the file is replaced from outside during the edit
edit_alpha X
{ e2e_contact_line FromLaptop; e2e_contact_line Bravo; } >"$dir/data/.sync-tmp"
mv "$dir/data/.sync-tmp" "$file"
e2e_click "$card" "$ok_x" "$ok_y"
# The message is up while the save waits for it: the kept copy is there now.
e2e_wait_for 5 test -n "$(e2e_message_boxes)"
check_eq "one outside-change line in the log" 1 "$(outside_lines)"
kept=$(sed -n 's/.*That version was kept as \(.*\); Banterly now saves.*/\1/p' "$log" | tail -1)
check "the message names a copy in backups/ (${kept##*/})" \
    bash -c "[[ '${kept##*/}' =~ ^chatcontacts\.[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}(_[0-9]+)?\.kept\.lis$ ]] && [ '$(dirname "$kept")' = '$dir/data/backups' ]"
check "the copy it names holds the outside version" grep -q FromLaptop "$kept"
check_eq "exactly one message box" 1 "$(e2e_dismiss_messages 5)"
e2e_wait_gone "$card_title" 5
check_eq "the file holds the user's edit" "AlphaX Bravo" "$(chat_names)"
check "a version in backups/ holds FromLaptop" bash -c "grep -lq FromLaptop '$dir/data/backups/'*"

# --- a plain second save: nothing changed outside, no message
edit_alpha Y
e2e_click "$card" "$ok_x" "$ok_y"
check_eq "a plain second save shows no message" 0 "$(e2e_dismiss_messages 2)"
check_eq "and logs nothing more" 1 "$(outside_lines)"
check_eq "the file holds both edits" "AlphaXY Bravo" "$(chat_names)"
check "the program still runs" e2e_app_alive

e2e_close_window "$E2E_TOOLBAR"
e2e_dismiss_messages 3 >/dev/null
check "the program ends when its toolbar is closed" test -n "$(e2e_wait_exit 10)"
e2e_finish
