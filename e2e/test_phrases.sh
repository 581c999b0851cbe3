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
    e2e_wait_window "$1" >/dev/null || e2e_log "no input box $1"
    xdotool key ctrl+a
    xdotool type --delay 30 "$2"
    xdotool key Return
    e2e_wait_gone "$1"
    sleep 0.3
}
# The phrase file as od shows it, and the same for the expected lines.
file_lines() { od -c <"$dir/phrases.txt"; }
lines() { printf '%s\r\n' "$@" | od -c; }

e2e_start_app || exit 1
e2e_click "$E2E_TOOLBAR" 60 10
win=$(e2e_wait_window "$title") || { e2e_log "phrase window did not appear"; exit 1; }
e2e_wait_framed "$win"
e2e_wait_framed "$E2E_TOOLBAR"
sleep 0.3

check_eq "first opening writes phrases.txt with the two default lines" \
    "$(lines "$first" "$second")" "$(file_lines)"
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
check_eq "Add writes the new phrase as the last line" \
    "$(lines "$first" "$second" 'Hello from the chat')" "$(file_lines)"

# Edit the new phrase: select it (click the first line, then two down),
# "Edit Phrase in List", replace the text.
e2e_click "$win" 40 6
xdotool key Down Down
sleep 0.2
e2e_popup_choose "$win" 40 6 4
answer_box '^Editing Existing Phrase in List$' 'Edited phrase'
check_eq "Edit rewrites the selected line in its place" \
    "$(lines "$first" "$second" 'Edited phrase')" "$(file_lines)"

# Remove the first phrase.
e2e_click "$win" 40 6
e2e_popup_choose "$win" 40 6 5
sleep 0.5
check_eq "Remove deletes the selected line from the file" "$(lines "$second" 'Edited phrase')" "$(file_lines)"
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
