#!/usr/bin/env bash
# The program is killed (SIGKILL) at many moments around a save of a large
# contact file, a large phrase file and banterly.ini. Afterwards each file
# holds either the complete old or the complete new content, never a mix.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
work="$E2E_DIR/originals"
mkdir -p "$work"
delays="0 0.003 0.006 0.01 0.015 0.02 0.03 0.04 0.06 0.08 0.1 0.15 0.2 0.4 1.0"

fresh_folder() {
    find "$E2E_APPDIR" -mindepth 1 ! -name banterly -exec rm -rf {} + 2>/dev/null
    cp "$work/"* "$E2E_APPDIR/"
}

kill_after() { sleep "$1"; kill -9 "$E2E_APP_PID" 2>/dev/null; wait "$E2E_APP_PID" 2>/dev/null; }

# Presses Enter, which starts the save, with the kill already on its way:
# the earliest kills land before the key, the latest after the save.
enter_and_kill() {  # enter_and_kill DELAY
    (sleep "$1"; kill -9 "$E2E_APP_PID" 2>/dev/null) &
    local killer=$!
    xdotool key Return
    wait "$killer"
    wait "$E2E_APP_PID" 2>/dev/null
}

# --- contacts: add a contact from the toolbar, type a name, press Enter (OK)
e2e_make_contacts 32698 "$work/chatcontacts.lis"
printf 'Double Click this phrase to copy it to the Clipboard\r\n' >"$work/phrases.txt"
old=0 new=0 bad=0
for d in $delays; do
    fresh_folder
    e2e_start_app || { bad=$((bad + 1)); continue; }
    e2e_click "$E2E_TOOLBAR" 12 10
    card=$(e2e_wait_window '^Banterly - Address Book$' 10) || { bad=$((bad + 1)); kill_after 0; continue; }
    e2e_wait_framed "$card" 5
    e2e_click "$card" 100 27          # into the chat name
    e2e_type "killed"
    enter_and_kill "$d"
    f="$E2E_APPDIR/chatcontacts.lis"
    if cmp -s "$f" "$work/chatcontacts.lis"; then old=$((old + 1))
    elif [ "$(wc -l <"$f")" = 32699 ] && [ "$(e2e_bad_contact_lines "$f")" = 0 ] &&
         [ "$(tail -1 "$f" | cut -d"$(printf '\037')" -f25)" = killed ]; then new=$((new + 1))
    else bad=$((bad + 1)); e2e_log "contacts after a kill at ${d}s: neither old nor new ($(wc -l <"$f") lines)"
    fi
done
e2e_log "contacts: $old old, $new new, $bad broken"
check_eq "contact file after every kill is the old or the new one" 0 "$bad"
check "kills happened both before and after the contact save took effect" test "$old" -gt 0 -a "$new" -gt 0

# --- phrases: add a phrase through the popup menu
rm -f "$work/chatcontacts.lis"
awk 'BEGIN { for (i = 1; i <= 30000; i++) printf "Phrase number %d, something often said in a chat room\r\n", i }' >"$work/phrases.txt"
old=0 new=0 bad=0
for d in $delays; do
    fresh_folder
    e2e_start_app || { bad=$((bad + 1)); continue; }
    e2e_click "$E2E_TOOLBAR" 60 10
    win=$(e2e_wait_window '^Phrases to Paste into Chat Sessions$' 10) || { bad=$((bad + 1)); kill_after 0; continue; }
    e2e_popup_choose "$win" 60 40 3
    box=$(e2e_wait_window '^Adding Phrase to List$' 5) || { bad=$((bad + 1)); kill_after 0; continue; }
    e2e_type "a phrase added before the kill"
    enter_and_kill "$d"
    f="$E2E_APPDIR/phrases.txt"
    if cmp -s "$f" "$work/phrases.txt"; then old=$((old + 1))
    elif { cat "$work/phrases.txt"; printf 'a phrase added before the kill\r\n'; } | cmp -s - "$f"; then new=$((new + 1))
    else bad=$((bad + 1)); e2e_log "phrases after a kill at ${d}s: neither old nor new"
    fi
done
e2e_log "phrases: $old old, $new new, $bad broken"
check_eq "phrase file after every kill is the old or the new one" 0 "$bad"
check "kills happened both before and after the phrase save took effect" test "$old" -gt 0 -a "$new" -gt 0

# --- banterly.ini: turn "Toolbar is Always on Top" off and confirm
rm -f "$work/phrases.txt"
fresh_folder
e2e_start_app && e2e_close_window "$E2E_TOOLBAR" && e2e_wait_exit 5 >/dev/null
cp "$E2E_APPDIR/banterly.ini" "$work/banterly.ini"
sed 's/^AlwaysOnTop=1/AlwaysOnTop=0/' "$work/banterly.ini" >"$E2E_DIR/ini.new"
old=0 new=0 bad=0
for d in $delays; do
    fresh_folder
    e2e_start_app || { bad=$((bad + 1)); continue; }
    e2e_click "$E2E_TOOLBAR" 84 10
    win=$(e2e_wait_window "^Options  for Orvane Software's Banterly $" 10) || { bad=$((bad + 1)); kill_after 0; continue; }
    e2e_wait_framed "$win" 5
    e2e_click "$win" 34 39            # "Toolbar is Always on Top"
    enter_and_kill "$d"
    f="$E2E_APPDIR/banterly.ini"
    if cmp -s "$f" "$work/banterly.ini"; then old=$((old + 1))
    elif cmp -s "$f" "$E2E_DIR/ini.new"; then new=$((new + 1))
    else bad=$((bad + 1)); e2e_log "banterly.ini after a kill at ${d}s: neither old nor new"; cat -A "$f" >&2
    fi
done
e2e_log "banterly.ini: $old old, $new new, $bad broken"
check_eq "banterly.ini after every kill is the old or the new one" 0 "$bad"
check "kills happened both before and after the settings save took effect" test "$old" -gt 0 -a "$new" -gt 0

e2e_finish
