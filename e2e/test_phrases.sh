#!/usr/bin/env bash
# The phrase window on the real program: the default phrase file on first
# opening and the window's place under the toolbar; a double click puts the
# phrase on the clipboard for other programs and hides the window (option 1)
# or leaves it open (option 0); add, edit and remove through the popup menu
# are written to phrases.txt at once.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

title='^Phrases to Paste into Chat Sessions$'
dir=$E2E_APPDIR
first='Double Click this phrase to copy it to the Clipboard'
second='Use the right mouse button to Add, Edit and Delete Phrases'

# Replaces the text of the open input box with the given one and presses Enter.
answer_box() {  # answer_box TITLE-PATTERN TEXT
    local box
    box=$(e2e_wait_window "$1") || { e2e_log "no input box $1"; return 1; }
    e2e_wait_framed "$box"
    sleep 0.3
    xdotool key ctrl+a
    xdotool type --delay 30 "$2"
    xdotool key Return
    e2e_wait_gone "$1"
    sleep 0.3
}
# The phrase file as od shows it, and the same for the expected lines.
file_lines() { od -c <"$dir/phrases.txt"; }
lines() { printf '%s\r\n' "$@" | od -c; }
# Checks the phrase file, giving the program up to 5 seconds to write it.
check_file() {  # check_file DESCRIPTION LINE...
    local what=$1 i; shift
    for i in $(seq 1 50); do [ "$(file_lines)" = "$(lines "$@")" ] && break; sleep 0.1; done
    check_eq "$what" "$(lines "$@")" "$(file_lines)"
}

e2e_start_app || exit 1
e2e_click "$E2E_TOOLBAR" 60 10
win=$(e2e_wait_window "$title") || { e2e_log "phrase window did not appear"; exit 1; }
e2e_wait_framed "$win"
e2e_wait_framed "$E2E_TOOLBAR"
sleep 0.3

check_file "first opening writes phrases.txt with the two default lines" "$first" "$second"
read -r tx ty tw th <<<"$(e2e_outer_geometry "$E2E_TOOLBAR")"
read -r px py pw ph <<<"$(e2e_outer_geometry "$win")"
check "the toolbar's and the phrase window's frames are known" test -n "$tx" -a -n "$px"
check_eq "phrase window's outer left is the toolbar's outer left" "$tx" "$px"
check_eq "phrase window's outer top is 315 twips under the toolbar" "$((ty + th + 21))" "$py"

# Option 1 (the default): a double click copies and hides.
e2e_double_click "$win" 40 6
check_eq "a double click puts the phrase on the clipboard" "$first" "$(e2e_clipboard)"
check "with the option 1 the window hides after a double click" e2e_wait_gone "$title"
sleep 0.3
check_eq "the hidden window's phrase is still served to other programs" "$first" "$(e2e_clipboard)"

# The toolbar's button shows the window again, with its list.
e2e_click "$E2E_TOOLBAR" 60 10
win=$(e2e_wait_window "$title") || { e2e_log "phrase window did not come back"; exit 1; }
e2e_wait_framed "$win"
sleep 0.3
read -r px py pw ph <<<"$(e2e_outer_geometry "$win")"

# Add: right click over the list, "Add Phrase To List", type, Enter.
e2e_popup_choose "$win" 40 6 3
box=$(e2e_wait_window '^Adding Phrase to List$') && e2e_wait_framed "$box"
read -r bx by bw bh <<<"$(e2e_outer_geometry "$box")"
check "the input box's frame is known" test -n "$bx"
check_eq "the input box opens at the phrase window's top-left corner" "$px $py" "$bx $by"
answer_box '^Adding Phrase to List$' 'Hello from the chat'
check_file "Add writes the new phrase as the last line" "$first" "$second" 'Hello from the chat'

# Edit the new phrase: select it (click the first line, then two down),
# "Edit Phrase in List", replace the text.
e2e_click "$win" 40 6
xdotool key Down Down
sleep 0.2
e2e_popup_choose "$win" 40 6 4
answer_box '^Editing Existing Phrase in List$' 'Edited phrase'
check_file "Edit rewrites the selected line in its place" "$first" "$second" 'Edited phrase'

# Remove the first phrase.
e2e_click "$win" 40 6
e2e_popup_choose "$win" 40 6 5
check_file "Remove deletes the selected line from the file" "$second" 'Edited phrase'
check "the program is still running" e2e_app_alive
check "nothing was logged" test ! -s "$dir/banterly.log"

# Option 0: a double click copies and the window stays.
e2e_close_window "$E2E_TOOLBAR"
e2e_wait_exit 5 >/dev/null
sed -i 's/^HidePhraseListWhenDbleClicked=1/HidePhraseListWhenDbleClicked=0/' "$dir/banterly.ini"
e2e_start_app || exit 1
e2e_click "$E2E_TOOLBAR" 60 10
win=$(e2e_wait_window "$title") || { e2e_log "phrase window did not appear"; exit 1; }
sleep 0.3
e2e_double_click "$win" 40 6
check_eq "with the option 0 a double click copies too" "$second" "$(e2e_clipboard)"
sleep 0.5
check "with the option 0 the window stays open" test -n "$(e2e_wait_window "$title" 1)"
e2e_close_window "$E2E_TOOLBAR"
e2e_wait_exit 5 >/dev/null

e2e_finish
