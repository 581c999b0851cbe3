#!/usr/bin/env bash
# --data-folder: without a running copy it moves the book and the phrases
# into a folder that holds another machine's book, keeping the contacts of
# both; handed to a running copy, that copy moves its files and keeps
# working on the new ones (an import lands there).
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
dir=$E2E_APPDIR
D=$(printf '\037')
synced="$E2E_DIR/synced"
other="$E2E_DIR/other"
mkdir -p "$synced" "$other"

headless() { (cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 ./banterly "$@"); }
names() { cut -d"$D" -f25 "$1" | sort | tr '\n' ' '; }
ini_names() { tr -d '\r' <"$dir/banterly.ini" | grep -qx "dataFile=$1"; }

# The first start writes banterly.ini (with the sample book), then the real book.
headless --export-phrases "$E2E_DIR/none.txt" >/dev/null 2>&1
{
    e2e_contact_fields 24=Alpha 40=alpha@example.org
    e2e_contact_fields 24=Bravo 40=bravo@example.org
} >"$dir/chatcontacts.lis"
printf 'hello\r\n' >"$dir/phrases.txt"
e2e_contact_fields 24=Charlie 40=charlie@example.org >"$synced/chatcontacts.lis"
printf 'see you\r\n' >"$synced/phrases.txt"

out=$(headless --data-folder "$synced" 2>"$E2E_DIR/err"); rc=$?
check_eq "--data-folder without a running copy" 0 "$rc"
check "says where" grep -q "kept in $synced now" <<<"$out"
check_eq "the merged book holds every contact of both" "Alpha Bravo Charlie " "$(names "$synced/chatcontacts.lis")"
check_eq "the phrases of both" "hello see you" "$(tr -d '\r' <"$synced/phrases.txt" | tr '\n' ' ' | sed 's/ $//')"
check "banterly.ini names the new book" ini_names "$synced/chatcontacts.lis"
check "the old book is gone" test ! -e "$dir/chatcontacts.lis"
check "the book the folder held is kept as a version there" bash -c \
    "grep -l Charlie '$synced'/backups/chatcontacts.*.lis | xargs grep -L Alpha | grep -q ."
check "banterly.ini stays in the program folder" test -f "$dir/banterly.ini"

headless --data-folder "$E2E_DIR/nowhere" 2>"$E2E_DIR/err"; rc=$?
check_eq "a folder that is not there fails" 1 "$rc"
check "and the settings still name the synced book" ini_names "$synced/chatcontacts.lis"

# --- handed to the running copy
e2e_start_app || exit 1
out=$(cd "$dir" && timeout 20 ./banterly --data-folder "$other"); rc=$?
check_eq "--data-folder handed to the running copy" 0 "$rc"
check_eq "the book moved" "Alpha Bravo Charlie " "$(names "$other/chatcontacts.lis")"
check "and left the synced folder" test ! -e "$synced/chatcontacts.lis"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dee Dune\r\nNICKNAME:Delta\r\nEND:VCARD\r\n' >"$E2E_DIR/d.vcf"
out=$(cd "$dir" && timeout 20 ./banterly --import-contacts "$E2E_DIR/d.vcf"); rc=$?
check_eq "an import afterwards" "0 Imported 1 contact." "$rc $out"
check_eq "lands in the new book" "Alpha Bravo Charlie Delta " "$(names "$other/chatcontacts.lis")"
check "the running copy still runs" e2e_app_alive
e2e_close_window "$E2E_TOOLBAR"
e2e_dismiss_messages 2 >/dev/null
check "the program ends" test -n "$(e2e_wait_exit 10)"
e2e_finish
