#!/usr/bin/env bash
# The disk refuses writes: a file-size limit on the process, the data folder
# removed while the program runs, a path that names a folder. Each failed save
# is reported once (message box and log), the old file stays byte-identical,
# the data stays in memory, and a save after the fault is gone succeeds.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
dir=$E2E_APPDIR
log="$dir/banterly.log"

log_lines() { grep -c "$1" "$log" 2>/dev/null || echo 0; }

# The card's OK button, in pixels of its client area.
ok_x=159 ok_y=186

# Adds a contact from the toolbar, clicks into its chat name, types it and
# clicks OK.
add_contact_and_ok() {
    e2e_click "$E2E_TOOLBAR" 12 10
    card=$(e2e_wait_window '^Banterly - Address Book$' 10) || return 1
    e2e_wait_framed "$card" 5
    e2e_click "$card" 100 27
    e2e_type "$1"
    e2e_click "$card" "$ok_x" "$ok_y"
    sleep 1
}

# --- a file-size limit makes the contact save fail
e2e_make_contacts 32698 "$dir/chatcontacts.lis"
cp "$dir/chatcontacts.lis" "$E2E_DIR/contacts.orig"
E2E_LAUNCHER="prlimit --fsize=2000000:unlimited --" e2e_start_app || exit 1
add_contact_and_ok "limited"
check_eq "a save over the file-size limit shows one message" 1 "$(e2e_dismiss_messages 5)"
check_eq "and logs one line" 1 "$(log_lines 'Could not save the contacts to')"
check "the old contact file is byte-identical" cmp -s "$dir/chatcontacts.lis" "$E2E_DIR/contacts.orig"
check "the program is still running" e2e_app_alive
prlimit --pid "$E2E_APP_PID" --fsize=unlimited
card=$(e2e_wait_window '^Banterly - Address Book$' 2)
check "the card still shows the unsaved contact" test -n "$card"
e2e_click "$card" "$ok_x" "$ok_y"
sleep 1.5
check_eq "once the limit is gone the next save shows nothing" 0 "$(e2e_dismiss_messages 2)"
check_eq "and writes the kept contact" "limited" "$(tail -1 "$dir/chatcontacts.lis" | cut -d"$(printf '\037')" -f25)"
check_eq "with every contact" 32699 "$(wc -l <"$dir/chatcontacts.lis")"
e2e_end_program

# --- the data folder disappears while the program runs
find "$dir" -mindepth 1 ! -name banterly -exec rm -rf {} +
e2e_data_folder_ini hide
e2e_make_contacts 20 "$dir/data/chatcontacts.lis"
e2e_start_app || exit 1
rm -rf "$dir/data"
add_contact_and_ok "orphan"
check_eq "a save into a removed folder shows one message" 1 "$(e2e_dismiss_messages 5)"
check_eq "and logs one line" 1 "$(log_lines 'Could not save the contacts to')"
check "no folder is created behind the user's back" test ! -e "$dir/data"
mkdir "$dir/data"
card=$(e2e_wait_window '^Banterly - Address Book$' 2)
e2e_click "$card" "$ok_x" "$ok_y"
sleep 1
check_eq "after the folder is back the save shows nothing" 0 "$(e2e_dismiss_messages 2)"
check_eq "and the file holds all contacts kept in memory" 21 "$(wc -l <"$dir/data/chatcontacts.lis" 2>/dev/null)"
e2e_end_program

# --- the phrase file's path names a folder
find "$dir" -mindepth 1 ! -name banterly -exec rm -rf {} +
mkdir -p "$dir/phrases.txt/keep"
e2e_start_app || exit 1
e2e_click "$E2E_TOOLBAR" 60 10
sleep 1
e2e_dismiss_messages 3 >/dev/null
win=$(e2e_wait_window '^Phrases to Paste into Chat Sessions$' 5)
check "the phrase window opens" test -n "$win"
e2e_popup_choose "$win" 60 40 3
e2e_wait_window '^Adding Phrase to List$' 5 >/dev/null
e2e_type "nowhere to go"
xdotool key Return
sleep 1
check "saving the phrases over a folder is reported" test "$(e2e_dismiss_messages 3)" -ge 1
check "the folder is left as it was" test -d "$dir/phrases.txt/keep"
check "the program is still running" e2e_app_alive
# Closing the program tries the unsaved list once more, reports the failure
# and stays open once; closing it again ends it.
e2e_close_window "$E2E_TOOLBAR"
check_eq "closing with unsaved phrases reports the failed save" 1 "$(e2e_dismiss_messages 3)"
check "and the program stays open" e2e_app_alive
e2e_close_window "$E2E_TOOLBAR"
e2e_dismiss_messages 3 >/dev/null
check "closing it again ends it" test -n "$(e2e_wait_exit 10)"

e2e_finish
