#!/usr/bin/env bash
# The options dialog on the real program: OK stores and applies the options at
# once (topmost state, the card opened), Cancel, Esc and the close box leave
# banterly.ini byte for byte, the keyboard walks the tab order and Enter
# confirms, and a hand-edited banterly.ini keeps its comments and spelling.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

OPTIONS='^Options  for Orvane Software.s Banterly $'
CARD='^Banterly - Address Book$'
ini=$E2E_APPDIR/banterly.ini

# Client-area points, in pixels (twips / 15).
open_options() {
    e2e_click "$E2E_TOOLBAR" 84 10   # cmdButton(3)
    DIALOG=$(e2e_wait_window "$OPTIONS") || { e2e_log "options dialog did not appear"; return 1; }
    sleep 0.3
}
click_box() { e2e_click "$DIALOG" 32 $((39 + 27 * $1)); }  # chkOptions(i) inside Frame1
click_ok() { e2e_click "$DIALOG" 153 150; }
click_cancel() { e2e_click "$DIALOG" 261 150; }
click_about() { e2e_click "$DIALOG" 45 150; }
not_on_top() { ! e2e_has_state "$E2E_TOOLBAR" _NET_WM_STATE_ABOVE; }
on_top() { e2e_has_state "$E2E_TOOLBAR" _NET_WM_STATE_ABOVE; }
card_shown() { [ -n "$(xdotool search --onlyvisible --name "$CARD" 2>/dev/null)" ]; }

# --- OK with "Toolbar is Always on Top" unchecked, card never opened ---
e2e_start_app || exit 1
check "toolbar starts on top" on_top
check "the card is not open at start" test -z "$(xdotool search --onlyvisible --name "$CARD")"
open_options || exit 1
click_box 0
click_ok
check "OK closes the dialog" e2e_wait_gone "$OPTIONS"
check "OK takes the toolbar out of the topmost band at once" e2e_wait_for 5 not_on_top
check "banterly.ini holds AlwaysOnTop=0" grep -q $'^AlwaysOnTop=0\r$' "$ini"
check "the other flags are stored unchanged" \
    grep -q $'^HidePhraseListWhenDbleClicked=1\r$' "$ini"
check "OK opens the card that was never opened" e2e_wait_for 5 card_shown

# --- Cancel, Esc and the close box leave the file byte-identical ---
cp "$ini" "$E2E_DIR/before.ini"
open_options || exit 1
click_box 0; click_box 1; click_box 2
click_cancel
check "Cancel closes the dialog" e2e_wait_gone "$OPTIONS"
check "Cancel leaves banterly.ini byte-identical" cmp -s "$ini" "$E2E_DIR/before.ini"
check "Cancel leaves the toolbar as it was" not_on_top

open_options || exit 1
click_box 2
e2e_keys "$DIALOG" Escape
check "Esc closes the dialog" e2e_wait_gone "$OPTIONS"
check "Esc leaves banterly.ini byte-identical" cmp -s "$ini" "$E2E_DIR/before.ini"

open_options || exit 1
click_box 1
e2e_close_window "$DIALOG"
check "the close box closes the dialog" e2e_wait_gone "$OPTIONS"
check "the close box leaves banterly.ini byte-identical" cmp -s "$ini" "$E2E_DIR/before.ini"

# --- The button shows the open dialog again, with its unconfirmed change ---
open_options || exit 1
first=$DIALOG
click_box 0
open_options || exit 1
check_eq "the button shows the same dialog" "$first" "$DIALOG"
check "one options dialog only" test "$(xdotool search --onlyvisible --name "$OPTIONS" | wc -l)" -eq 1
click_ok
check "the kept change is confirmed: AlwaysOnTop=1" grep -q $'^AlwaysOnTop=1\r$' "$ini"
check "and the toolbar is on top again" e2e_wait_for 5 on_top

# --- Keyboard: tab order OK, Cancel, About, box 2, 1, 0; Enter confirms ---
open_options || exit 1
e2e_keys "$DIALOG" Tab Tab Tab Tab Tab space Tab Tab Tab Tab space Return
check "Enter confirms the dialog" e2e_wait_gone "$OPTIONS"
check "the fifth Tab reached box 0: AlwaysOnTop=0" grep -q $'^AlwaysOnTop=0\r$' "$ini"
check "the ninth Tab reached box 2: ShowStatFields=0" grep -q $'^ShowStatFields=0\r$' "$ini"
check "box 1 was not touched" grep -q $'^HidePhraseListWhenDbleClicked=1\r$' "$ini"
check "and the toolbar left the topmost band" e2e_wait_for 5 not_on_top

# --- The About window opens over the dialog and Esc closes it ---
open_options || exit 1
click_about
about=$(e2e_wait_window '^About Banterly$')
check "About opens its window" test -n "$about"
[ -n "$about" ] && e2e_keys "$about" Escape
check "Esc closes the About window" e2e_wait_gone '^About Banterly$'
check "the options dialog stays open" test -n "$(xdotool search --onlyvisible --name "$OPTIONS")"
click_cancel
e2e_close_window "$E2E_TOOLBAR"
e2e_wait_exit 5 >/dev/null

# --- A hand-edited banterly.ini keeps its comments and spelling ---
dir=$E2E_APPDIR
printf '%s\r\n' \
    '; Banterly settings, edited by hand' \
    '[General]' \
    '; keep the toolbar on top' \
    'alwaysontop = "1"' \
    '' \
    '[phrases]' \
    "PhraseList=\"$dir/phrases.txt\"" \
    'hidephraselistwhendbleclicked='"'"'0'"'" \
    '[CONTACTS]' \
    '; stats off for now' \
    'ShowStatFields="0"' \
    "DATAFILE=$dir/chatcontacts.lis" \
    "WebSitesList=$dir/websites.lis" \
    '; end of file' >"$ini"
cp "$ini" "$E2E_DIR/hand.ini"
e2e_start_app || exit 1
open_options || exit 1
click_box 0   # Always on Top: checked -> unchecked
click_ok
check "OK on the hand-edited file closes the dialog" e2e_wait_gone "$OPTIONS"
check "the toolbar leaves the topmost band" e2e_wait_for 5 not_on_top
# The same bytes with only the one changed value changed.
expected=$(sed 's/^alwaysontop = "1"/alwaysontop = "0"/' "$E2E_DIR/hand.ini")
check "the expected file differs from the hand-edited one" test "$expected" != "$(cat "$E2E_DIR/hand.ini")"
check_eq "comments, spelling, blanks and quotes survive; only the changed value changes" \
    "$expected" "$(cat "$ini")"
check "no key is added twice" test "$(grep -ci '^alwaysontop' "$ini")" -eq 1

e2e_close_window "$E2E_TOOLBAR"
e2e_wait_exit 5 >/dev/null

# --- A contact on the card, the dialog opened, one letter typed on the card,
# OK in the dialog: the program once died here. It lives on, the edit saved ---
{ e2e_contact_fields 24=Alpha; e2e_contact_fields 24=Bravo; } >"$dir/chatcontacts.lis"
e2e_start_app || exit 1
list=$(e2e_open_list) || { e2e_log "no contact list"; e2e_finish; }
e2e_click "$list" 40 44
card=$(e2e_wait_window "$CARD" 5) || { e2e_log "no card"; e2e_finish; }
sleep 0.5
open_options || exit 1
e2e_click "$card" 150 27
xdotool key End
e2e_type X
click_ok
check "OK closes the dialog" e2e_wait_gone "$OPTIONS"
sleep 1
check "the program is still running" e2e_app_alive
check "the letter typed on the card is saved" grep -q $'\x1fAlphaX\x1f' "$dir/chatcontacts.lis"
e2e_end_program
e2e_finish
