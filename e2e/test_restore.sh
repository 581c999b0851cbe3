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
list_title=$E2E_LIST_TITLE
restore_title='^Restore from a Backup$'
ok_x=159 ok_y=186          # the card's OK button
line_x=40 line1_y=44       # the first line of the list

mkdir "$dir/data"
printf '[general]\r\nAlwaysOnTop=1\r\n[phrases]\r\nPhraseList=%s/data/phrases.txt\r\n[contacts]\r\nShowStatFields=1\r\ndataFile=%s/data/chatcontacts.lis\r\nWebSitesList=%s/data/websites.lis\r\n' \
    "$dir" "$dir" "$dir" >"$dir/banterly.ini"
{ e2e_contact_line Alpha; e2e_contact_line Bravo; e2e_contact_line Charlie; } >"$file"
cp "$file" "$E2E_DIR/contacts.orig"

e2e_start_app || exit 1
e2e_click "$E2E_TOOLBAR" 36 10
list=$(e2e_wait_window "$list_title" 10) || { e2e_log "the list did not open"; e2e_finish; }
e2e_wait_framed "$list" 5
sleep 0.3

# Appends a letter to the first contact's chat name on the card and saves.
edit_first_contact() {
    e2e_click "$list" "$line_x" "$line1_y"
    card=$(e2e_wait_window "$card_title" 5)
    check "the card opens from the list" test -n "$card"
    [ -n "$card" ] || e2e_finish
    sleep 0.5
    e2e_click "$card" 150 27
    xdotool key End
    e2e_type "$1"
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
