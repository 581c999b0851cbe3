#!/usr/bin/env bash
# A double-clicked phrase pasted into the chat window ([phrases]
# PasteAfterCopy): with the setting on it lands in the window that was active
# before Banterly's, and nowhere when no outside window was active or that
# window is gone; switched off from the toolbar's menu it stays on the
# clipboard only. Two stand-in chat windows (a text box each) receive it.
# Usage: test_paste.sh BANTERLY CHATWINDOW
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
CHAT=$(readlink -f "${2:-}")
[ -x "$CHAT" ] || { e2e_log "no stand-in chat window at ${2:-}"; exit 2; }

title='^Phrases to Paste into Chat Sessions$'
dir=$E2E_APPDIR
first='Double Click this phrase to copy it to the Clipboard'
second='Use the right mouse button to Add, Edit and Delete Phrases'

# Every key press the X server handles, XTEST ones included: a paste that
# lands anywhere is counted here.
stdbuf -oL xinput test-xi2 --root >"$E2E_DIR/keys.log" 2>&1 &
E2E_PIDS+=("$!")
key_presses() { grep -c 'RawKeyPress' "$E2E_DIR/keys.log"; }

# A stand-in chat window titled "Chat NAME"; its text is in $E2E_DIR/NAME.txt.
start_chat() {  # start_chat NAME; sets CHAT_WIN and CHAT_PID
    "$CHAT" "$E2E_DIR/$1.txt" "Chat $1" >"$E2E_DIR/$1.out" 2>&1 &
    CHAT_PID=$!
    E2E_PIDS+=("$CHAT_PID")
    CHAT_WIN=$(e2e_wait_window "^Chat $1\$") || { e2e_log "chat window $1 did not appear"; exit 1; }
    e2e_wait_framed "$CHAT_WIN"
    sleep 0.3
}
chat_text() { cat "$E2E_DIR/$1.txt" 2>/dev/null; }
# Waits up to the given seconds for a chat window's text; prints it.
wait_text() {  # wait_text NAME EXPECTED SECONDS
    local i
    for i in $(seq 1 $(($3 * 10))); do [ "$(chat_text "$1")" = "$2" ] && break; sleep 0.1; done
    chat_text "$1"
}
# Gives a chat window the focus (a click into its text box) and types.
type_into() {  # type_into WINDOW TEXT
    xdotool windowactivate --sync "$1" 2>/dev/null
    e2e_click "$1" 100 20
    [ -z "$2" ] || e2e_type "$2"
}
# The toolbar's phrase button, then a double click on the first or second
# phrase (the window hides after it).
double_click_phrase() {  # double_click_phrase 1|2
    local win
    e2e_click "$E2E_TOOLBAR" 60 10
    win=$(e2e_wait_window "$title") || { e2e_log "phrase window did not appear"; exit 1; }
    e2e_wait_framed "$win"
    sleep 0.5
    e2e_double_click "$win" 40 $((6 + ($1 - 1) * 14))
    e2e_wait_gone "$title"
}
ini_has() { tr -d '\r' <"$dir/banterly.ini" | grep -qx -- "$1"; }

restart_app() {
    e2e_close_window "$E2E_TOOLBAR"
    e2e_wait_exit 5 >/dev/null
    e2e_start_app || exit 1
}

# A first start writes the default settings; the option goes in by hand,
# under a comment of the user's. The phrase window first stays open after a
# double click, so it is still the active window when the phrase is copied.
e2e_start_app || exit 1
e2e_close_window "$E2E_TOOLBAR"
e2e_wait_exit 5 >/dev/null
sed -i 's/^\[phrases\]\r$/; pasting is on\r\n[phrases]\r\nPasteAfterCopy=1\r/;
        s/^HidePhraseListWhenDbleClicked=1/HidePhraseListWhenDbleClicked=0/' "$dir/banterly.ini"
e2e_start_app || exit 1

# No window outside Banterly was active yet: nothing is pasted anywhere, not
# into the phrase window either.
e2e_click "$E2E_TOOLBAR" 60 10
win=$(e2e_wait_window "$title") || { e2e_log "phrase window did not appear"; exit 1; }
e2e_wait_framed "$win"
sleep 0.5
before=$(key_presses)
e2e_double_click "$win" 40 6
sleep 1.5
check_eq "with no outside window before, the phrase is on the clipboard" "$first" "$(e2e_clipboard)"
check_eq "with no outside window before, no key is pressed anywhere" "$before" "$(key_presses)"
e2e_close_window "$win"
sed -i 's/^HidePhraseListWhenDbleClicked=0/HidePhraseListWhenDbleClicked=1/' "$dir/banterly.ini"
restart_app

# The chat window was active before the phrase window: the phrase lands
# after what was typed there.
start_chat one
one=$CHAT_WIN
one_pid=$CHAT_PID
type_into "$one" 'hello '
check_eq "the chat window holds what was typed" 'hello ' "$(wait_text one 'hello ' 3)"
double_click_phrase 1
check_eq "the phrase is pasted into the chat window" "hello $first" "$(wait_text one "hello $first" 5)"
check_eq "the phrase stays on the clipboard" "$first" "$(e2e_clipboard)"

# The remembered window is gone when the phrase is chosen: it is not pasted
# into the other chat window (active before it) nor anywhere else.
start_chat two
two=$CHAT_WIN
type_into "$one" ''
e2e_click "$E2E_TOOLBAR" 60 10
win=$(e2e_wait_window "$title") || { e2e_log "phrase window did not appear"; exit 1; }
e2e_wait_framed "$win"
sleep 0.5
kill "$one_pid"
e2e_wait_gone '^Chat one$'
sleep 0.3
before=$(key_presses)
e2e_double_click "$win" 40 20
e2e_wait_gone "$title"
sleep 1.5
check_eq "with the chat window gone, the phrase is on the clipboard" "$second" "$(e2e_clipboard)"
check_eq "with the chat window gone, no key is pressed anywhere" "$before" "$(key_presses)"
check_eq "with the chat window gone, the other chat window is unchanged" '' "$(chat_text two)"

# Switched off from the toolbar's menu: written to the file (the comment
# kept), and the phrase only goes to the clipboard.
e2e_popup_choose "$E2E_TOOLBAR" 205 10 8
check "the menu switches the option off in banterly.ini" ini_has 'PasteAfterCopy=0'
check "the user's comment is kept" ini_has '; pasting is on'
type_into "$two" 'abc'
double_click_phrase 1
sleep 1.5
check_eq "switched off, the chat window is unchanged" 'abc' "$(chat_text two)"
check_eq "switched off, the phrase is on the clipboard" "$first" "$(e2e_clipboard)"

# Switched on again: it takes effect at once.
e2e_popup_choose "$E2E_TOOLBAR" 205 10 8
check "the menu switches the option on in banterly.ini" ini_has 'PasteAfterCopy=1'
type_into "$two" ''
double_click_phrase 2
check_eq "switched on again, the phrase is pasted" "abc$second" "$(wait_text two "abc$second" 5)"

check "the program is still running" e2e_app_alive
check "nothing was logged" test ! -s "$dir/banterly.log"
e2e_close_window "$E2E_TOOLBAR"
e2e_wait_exit 5 >/dev/null
e2e_finish
