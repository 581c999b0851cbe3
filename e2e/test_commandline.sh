#!/usr/bin/env bash
# The command line: --help and --version and the imports and exports run
# without a display; with the program running, --show and an import are
# carried out by that copy (its table stays the truth) and the second start
# ends; bad command lines end with status 2 and change nothing.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
dir=$E2E_APPDIR
D=$(printf '\037')

headless() { (cd "$dir" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 ./banterly "$@"); }

# --- without a display
out=$(headless --version); rc=$?
check_eq "--version without a display" "0 Banterly v1.0.31" "$rc $out"
headless --help | grep -q -- '--import-contacts'
check "--help lists the options without a display" test "${PIPESTATUS[0]}" = 0
headless --show elsewhere 2>/dev/null; rc=$?
check_eq "a bad --show is a bad command line" 2 "$rc"
headless --import-contacts a.vcf --export-contacts b.vcf 2>/dev/null; rc=$?
check_eq "two commands at once are a bad command line" 2 "$rc"

{
    e2e_contact_fields 24=Alpha "26=Ann Alder" 40=ann@example.org
    e2e_contact_fields 24=Bravo "26=Bob Birch" 40=bob@example.org
} >"$dir/chatcontacts.lis"
out=$(headless --export-contacts "$E2E_DIR/book.vcf" 2>"$E2E_DIR/err"); rc=$?
check_eq "export without a display" "0" "$rc"
check "says how many" grep -q 'Exported 2 contacts' <<<"$out"
check "the export is read by an independent vCard reader" /usr/bin/python3 -c "
import vobject, sys
cards = list(vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()))
assert [c.nickname.value for c in cards] == ['Alpha', 'Bravo'], cards
assert cards[0].fn.value == 'Ann Alder' and cards[1].email.value == 'bob@example.org'
" "$E2E_DIR/book.vcf"

# An export never replaces what is not a regular file.
mkfifo "$E2E_DIR/pipe.vcf"
headless --export-contacts "$E2E_DIR/pipe.vcf" 2>"$E2E_DIR/err"; rc=$?
check_eq "an export to a pipe fails" 1 "$rc"
check "and says why" grep -q 'is not a regular file' "$E2E_DIR/err"
check "the pipe is still a pipe" test -p "$E2E_DIR/pipe.vcf"

printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cy Cedar\r\nN:Cedar;Cy;;;\r\nNICKNAME:Charlie\r\nEMAIL:cy@example.org\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Alder\r\nNICKNAME:ALPHA\r\nEMAIL:Ann@Example.org\r\nEND:VCARD\r\n' >"$E2E_DIR/new.vcf"
before=$(cat "$dir/chatcontacts.lis")
out=$(headless --import-contacts "$E2E_DIR/new.vcf"); rc=$?
check_eq "import without a display" "0" "$rc"
check_eq "its summary" "Imported 1 contact, skipped 1 already in the book." "$out"
check_eq "the book holds the new contact last" "Charlie" "$(tail -1 "$dir/chatcontacts.lis" | cut -d"$D" -f25)"
check "the replaced book is kept in backups/" bash -c "ls '$dir'/backups/chatcontacts.*.lis >/dev/null 2>&1"
out=$(headless --import-contacts "$E2E_DIR/new.vcf"); rc=$?
check_eq "a second import adds nothing" "0 Imported 0 contacts, skipped 2 already in the book." "$rc $out"
printf 'not an address book\r\n' >"$E2E_DIR/junk.vcf"
cp "$dir/chatcontacts.lis" "$E2E_DIR/book.before"
headless --import-contacts "$E2E_DIR/junk.vcf" 2>/dev/null; rc=$?
check_eq "a file that is no address book fails" 1 "$rc"
check "and changes nothing" cmp -s "$dir/chatcontacts.lis" "$E2E_DIR/book.before"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\n# a comment, nothing else\r\nEND:VCARD\r\n' >"$E2E_DIR/broken.vcf"
err=$(headless --import-contacts "$E2E_DIR/broken.vcf" 2>&1 >/dev/null); rc=$?
check_eq "an import whose every card is broken fails" 1 "$rc"
check "and says why" grep -q 'nothing was imported: 1 card could not be read: line 3' <<<"$err"
check "and changes nothing either" cmp -s "$dir/chatcontacts.lis" "$E2E_DIR/book.before"

# --- with the program running
e2e_start_app || exit 1
out=$(cd "$dir" && timeout 10 ./banterly --show phrases); rc=$?
check_eq "--show phrases to the running copy ends with status 0" 0 "$rc"
check "the running copy shows its phrase window" bash -c \
    "xdotool search --sync --onlyvisible --name '^Phrases to Paste into Chat Sessions\$' >/dev/null"
check "the running copy still runs" e2e_app_alive
printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:D=C3=A9lia Dune\r\nNICKNAME:Delta\r\nEND:VCARD\r\n' >"$E2E_DIR/phone.vcf"
out=$(cd "$dir" && timeout 10 ./banterly --import-contacts "$E2E_DIR/phone.vcf"); rc=$?
check_eq "an import handed to the running copy" "0 Imported 1 contact." "$rc $out"
check_eq "the running copy saved it" "Délia Dune" "$(tail -1 "$dir/chatcontacts.lis" | cut -d"$D" -f27)"
check_eq "with the book it holds" 4 "$(wc -l <"$dir/chatcontacts.lis")"
# A command handed over while the running copy has a dialog open waits for
# it, says so, and then reports what really happened (never "does not
# answer" with the import done later).
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Eve Elm\r\nNICKNAME:Echo\r\nEND:VCARD\r\n' >"$E2E_DIR/echo.vcf"
e2e_popup_choose "$E2E_TOOLBAR" 205 10 2
dialog=$(e2e_wait_window '^Import Contacts$' 10)
check "the menu's import shows its file dialog" test -n "$dialog"
(cd "$dir" && timeout 60 ./banterly --import-contacts "$E2E_DIR/echo.vcf" >"$E2E_DIR/busy.out" 2>"$E2E_DIR/busy.err"
 echo $? >"$E2E_DIR/busy.rc") &
sleep 3
check "an import handed over meanwhile waits" test ! -e "$E2E_DIR/busy.rc"
check "... and says for how long" grep -q "waiting up to" "$E2E_DIR/busy.err"
e2e_close_window "$dialog"
check "it ends once the dialog is closed" e2e_wait_for 15 test -s "$E2E_DIR/busy.rc"
check_eq "with the import's real outcome" "0 Imported 1 contact." \
    "$(cat "$E2E_DIR/busy.rc") $(cat "$E2E_DIR/busy.out")"
check_eq "the running copy saved it" "Echo" "$(tail -1 "$dir/chatcontacts.lis" | cut -d"$D" -f25)"
e2e_close_window "$E2E_TOOLBAR"
e2e_dismiss_messages 2 >/dev/null
check "the program ends" test -n "$(e2e_wait_exit 10)"
e2e_finish
