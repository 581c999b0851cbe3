#!/usr/bin/env bash
# Bad files in place of each file the program reads (contact file, phrase
# file, banterly.ini): the program starts, reports or carries on, never hangs,
# never crashes, and leaves the file as it was.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"
data="$(cd "$(dirname "$0")/../tests/data" && pwd)"
gen="$E2E_DIR/generated"
mkdir -p "$gen"

# Files too large to keep in the repository are made here.
head -c 10000000 /dev/zero | tr '\0' 'x' >"$gen/ten-megabyte-line.txt"
awk 'BEGIN { for (i = 0; i < 100000; i++) printf "line %d\r\n", i }' >"$gen/hundred-thousand-lines.txt"
awk 'BEGIN { d = sprintf("%c", 31); for (i = 0; i < 33000; i++) { for (f = 0; f < 82; f++) printf "%s%s", (f == 24 ? "n" i : ""), d; printf "\r\n" } }' \
    >"$gen/too-many-contacts.lis"

# Puts one bad file (or a folder, or a link to /dev/zero) at a name.
place() {  # place SOURCE|folder|devzero TARGET
    rm -rf "$2"
    case "$1" in
        folder) mkdir "$2" ;;
        devzero) ln -s /dev/zero "$2" ;;
        *) cp "$1" "$2" ;;
    esac
}

fingerprint() {  # what "unchanged" means for each kind of bad file
    if [ -L "$1" ]; then readlink "$1"
    elif [ -d "$1" ]; then echo folder
    else md5sum <"$1"; fi
}

run_case() {  # run_case KIND SOURCE
    local kind=$1 src=$2 target label before after rc
    label="$kind: $(basename "$src")"
    find "$E2E_APPDIR" -mindepth 1 ! -name banterly -exec rm -rf {} + 2>/dev/null
    case "$kind" in
        contacts) target="$E2E_APPDIR/chatcontacts.lis" ;;
        listfile) target="$E2E_APPDIR/phrases.txt" ;;
        inifile) target="$E2E_APPDIR/banterly.ini" ;;
    esac
    place "$src" "$target"
    before=$(fingerprint "$target")
    if ! e2e_start_app; then
        E2E_FAILS=$((E2E_FAILS + 1)); e2e_log "FAIL - $label: toolbar did not appear"
        kill -9 "$E2E_APP_PID" 2>/dev/null; return
    fi
    e2e_dismiss_messages >/dev/null
    if [ "$kind" = listfile ]; then
        e2e_click "$E2E_TOOLBAR" 60 10   # the phrase button
        sleep 0.5
        e2e_dismiss_messages >/dev/null
        e2e_wait_window '^Phrases to Paste into Chat Sessions$' 5 >/dev/null
    fi
    check "$label: the program is still running" e2e_app_alive
    e2e_close_window "$E2E_TOOLBAR"
    rc=$(e2e_wait_exit 10)
    if [ -z "$rc" ]; then
        E2E_FAILS=$((E2E_FAILS + 1)); e2e_log "FAIL - $label: did not end within 10 s of closing the toolbar"
        kill -9 "$E2E_APP_PID" 2>/dev/null
    else
        check_eq "$label: ends cleanly" 0 "$rc"
    fi
    after=$(fingerprint "$target")
    check_eq "$label: the file is unchanged" "$before" "$after"
}

for kind in contacts listfile inifile; do
    for f in "$data/$kind"/* "$gen/ten-megabyte-line.txt" "$gen/hundred-thousand-lines.txt" folder devzero; do
        run_case "$kind" "$f"
    done
done
run_case contacts "$gen/too-many-contacts.lis"

e2e_finish
