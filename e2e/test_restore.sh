#!/usr/bin/env bash
# Restore from a Backup: two saves through the card keep two earlier versions
# of the contact file; the toolbar's right-click menu opens the restore
# window, the oldest version is chosen with the keyboard and restored. The
# file then holds that version byte for byte, the program runs on, and the
# file it replaced is a kept version itself.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
dir=$E2E_APPDIR
file=$dir/data/chatcontacts.lis
card_title=$E2E_CARD_TITLE
restore_title='^Restore from a Backup$'
ok_x=159 ok_y=186          # the card's OK button

e2e_data_folder_ini
{ e2e_contact_line Alpha; e2e_contact_line Bravo; e2e_contact_line Charlie; } >"$file"
cp "$file" "$E2E_DIR/contacts.orig"

e2e_start_app || exit 1
list=$(e2e_open_list) || { e2e_log "the list did not open"; e2e_finish; }

# Appends a letter to the first contact's chat name on the card and saves.
edit_first_contact() {
    check "the card opens from the list" e2e_append_to_first_chat_name "$list" "$1"
    card=$E2E_CARD
    [ -n "$card" ] || e2e_finish
    e2e_click "$card" "$ok_x" "$ok_y"
    e2e_wait_gone "$card_title" 5
}
edit_first_contact X
edit_first_contact Y
check "the second save wrote AlphaXY" grep -q 'AlphaXY' "$file"
check_eq "two earlier versions are kept" 2 "$(ls "$dir/data/backups" | wc -l)"
cp "$file" "$E2E_DIR/contacts.before-restore"

# The menu's first command, on the toolbar's empty right end.
e2e_popup_choose "$E2E_TOOLBAR" 205 10 1
restore=$(e2e_wait_window "$restore_title" 10)
check "the restore window opens from the toolbar's menu" test -n "$restore"
[ -n "$restore" ] || e2e_finish
e2e_keys "$restore" End alt+r
check_eq "the restore is confirmed by one message" 1 "$(e2e_dismiss_messages 5)"

check "the contact file holds the oldest version byte for byte" \
    cmp -s "$file" "$E2E_DIR/contacts.orig"
check "the program still runs" e2e_app_alive
replaced=""
for v in "$dir"/data/backups/*; do
    cmp -s "$v" "$E2E_DIR/contacts.before-restore" && replaced=$v
done
check "the file the restore replaced is a kept version" test -n "$replaced"
check_eq "three versions are kept now" 3 "$(ls "$dir/data/backups" | wc -l)"

# Esc closes the restore window; the open list shows the restored book, so
# the next edit starts from Alpha.
e2e_keys "$restore" Escape
check "Esc closes the restore window" e2e_wait_gone "$restore_title" 5
edit_first_contact Z
check "an edit after the restore builds on the restored contact" grep -q 'AlphaZ' "$file"
check "no AlphaX is left in the file" test "$(grep -c 'AlphaX' "$file")" = 0

e2e_close_window "$E2E_TOOLBAR"
e2e_dismiss_messages 3 >/dev/null
check "the program ends when its toolbar is closed" test -n "$(e2e_wait_exit 10)"
e2e_finish
