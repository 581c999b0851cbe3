#!/usr/bin/env bash
# Contact saves that fail while the list and the card are open (the data
# folder is moved away and brought back): a failed delete still stands, the
# card follows it and the next save writes it; an edit whose save failed is
# written into its own contact even after the card has moved on to another
# one and the program is closed. A crossed record shows in a field the card
# never displays (field 30), so each contact carries its own text there.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
dir=$E2E_APPDIR
file=$dir/data/chatcontacts.lis
card_title=$E2E_CARD_TITLE
ok_x=159 ok_y=186          # the card's OK button
line_x=40 line1_y=44       # the first line of the list; lines are 16 pixels apart
delete_x=135 delete_y=12   # the list window's Delete button


# Chat name and hidden text of each contact in the file, one per line.
contacts_of_file() {
    awk -F$'\x1f' '{ sub(/\r$/, ""); print $25 "|" $31 }' "$file" 2>/dev/null
}

# A fresh data folder holding Alpha, Bravo and Charlie, and the program
# started on it with the list open.
start_with_three() {
    find "$dir" -mindepth 1 ! -name banterly -exec rm -rf {} +
        e2e_data_folder_ini hide
    { e2e_contact_line Alpha alpha-own; e2e_contact_line Bravo bravo-own; e2e_contact_line Charlie charlie-own; } >"$file"
    cp "$file" "$E2E_DIR/contacts.orig"
    e2e_start_app || exit 1
    list=$(e2e_open_list) || { e2e_log "the list did not open"; e2e_finish; }
}

click_line() {  # click_line N (1-based)
    e2e_click "$list" "$line_x" $((line1_y + 16 * ($1 - 1)))
    card=$(e2e_wait_window "$card_title" 5)
    sleep 0.5
}

# Lines of the list that show anything: bands of 16 pixels from the first
# line down holding a pixel that is not the list's light grey.
list_lines() {
    import -window "$list" -depth 8 -crop 120x96+16+38 +repage txt:- 2>/dev/null |
        awk 'NR > 1 && $2 != "(192,192,192)" { split($1, p, "[,:]"); band[int(p[2] / 16)] = 1 }
             END { n = 0; for (b in band) n++; print n }'
}

# The dark pixels of the start of the card's chat name (the text, not the
# caret after it nor the box's colour), as one line of coordinates.
chat_name_glyphs() {
    import -window "$card" -depth 8 -crop 22x14+68+21 +repage txt:- 2>/dev/null |
        awk 'NR > 1 { split($1, p, "[,:]"); split($2, c, "[(),]")
                      if (c[2] + c[3] + c[4] < 300) printf "%s,%s ", p[1], p[2] }'
}
# How many pixels are dark in one of two such pictures and not the other.
glyph_difference() {
    { tr ' ' '\n' <<<"$1"; tr ' ' '\n' <<<"$2"; } | grep . | sort | uniq -u | wc -l
}

data_away() { mv "$dir/data" "$dir/data.away"; }
data_back() { mv "$dir/data.away" "$dir/data"; }

# --- A delete whose save fails still stands; the card follows it -----------
start_with_three
click_line 2
bravo_glyphs=$(chat_name_glyphs)
click_line 1
alpha_glyphs=$(chat_name_glyphs)
check "the card's chat name tells Alpha from Bravo" test "$(glyph_difference "$alpha_glyphs" "$bravo_glyphs")" -gt 20
data_away
e2e_click "$list" "$delete_x" "$delete_y"
check_eq "the failed delete shows one message" 1 "$(e2e_dismiss_messages 5)"
data_back
check "the file is untouched by the failed save" cmp -s "$file" "$E2E_DIR/contacts.orig"
check_eq "the list shows the two contacts left" 2 "$(list_lines)"
card=$(e2e_wait_window "$card_title" 2)
check "the card is still open" test -n "$card"
shown=$(chat_name_glyphs)
check "the card shows Bravo, now the first contact" \
    test "$(glyph_difference "$shown" "$bravo_glyphs")" -le 4 -a "$(glyph_difference "$shown" "$alpha_glyphs")" -gt 20
e2e_click "$card" "$ok_x" "$ok_y"
sleep 1
check_eq "OK after the fault writes the deletion, shows nothing" 0 "$(e2e_dismiss_messages 2)"
check_eq "the file holds Bravo and Charlie, each with its own hidden text" \
    "Bravo|bravo-own
Charlie|charlie-own" "$(contacts_of_file)"
check_eq "every line has 82 fields" 0 "$(e2e_bad_contact_lines "$file")"
e2e_end_program

# --- An edit whose save failed, another contact, then the program closes ---
start_with_three
click_line 1
e2e_click "$card" 150 27           # the chat name box
xdotool key End
e2e_type "X"
data_away
e2e_click "$card" "$ok_x" "$ok_y"
check_eq "the failed OK shows one message" 1 "$(e2e_dismiss_messages 5)"
data_back
check "the file is untouched by the failed save" cmp -s "$file" "$E2E_DIR/contacts.orig"
click_line 2
e2e_dismiss_messages 2 >/dev/null
e2e_end_program
check_eq "the file holds AlphaX with Alpha's hidden text, and the others unchanged" \
    "AlphaX|alpha-own
Bravo|bravo-own
Charlie|charlie-own" "$(contacts_of_file)"
check_eq "every line has 82 fields" 0 "$(e2e_bad_contact_lines "$file")"

e2e_finish
