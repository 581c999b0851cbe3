# Shared helpers for the end-to-end tests: a private X display with a window
# manager, the real program copied alone into a fresh folder, and checks.
# Usage in a test:  source "$(dirname "$0")/lib.sh"; e2e_init "$1"; ...; e2e_finish
set -u

E2E_FAILS=0
E2E_PASSES=0
E2E_PIDS=()
E2E_APP_PID=""
E2E_WM_PID=""

e2e_log() { printf '%s\n' "$*" >&2; }

check() {  # check "description" command args...
    local what=$1; shift
    if "$@"; then
        E2E_PASSES=$((E2E_PASSES + 1)); e2e_log "ok   - $what"
    else
        E2E_FAILS=$((E2E_FAILS + 1)); e2e_log "FAIL - $what"
    fi
}

check_eq() {  # check_eq "description" expected actual
    if [ "$2" = "$3" ]; then
        E2E_PASSES=$((E2E_PASSES + 1)); e2e_log "ok   - $1"
    else
        E2E_FAILS=$((E2E_FAILS + 1)); e2e_log "FAIL - $1: expected [$2], got [$3]"
    fi
}

e2e_cleanup() {
    [ -n "$E2E_APP_PID" ] && kill "$E2E_APP_PID" 2>/dev/null
    local pid
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    sleep 0.2
    for pid in "${E2E_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null; done
    [ -n "${E2E_DIR:-}" ] && [ -d "$E2E_DIR" ] && rm -rf "$E2E_DIR"
}

# Starts Xvfb on a free display and openbox on it; sets DISPLAY.
e2e_init() {
    E2E_BINARY=$(readlink -f "$1")
    [ -x "$E2E_BINARY" ] || { e2e_log "no program at $1"; exit 2; }
    trap e2e_cleanup EXIT
    E2E_DIR=$(mktemp -d /tmp/banterly-e2e.XXXXXX)
    # Xvfb picks a free display itself and writes its number to the pipe, so
    # tests running side by side never share a display.
    local fifo="$E2E_DIR/displayfd" xpid n=""
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >"$E2E_DIR/xvfb.log" 2>&1 &
    xpid=$!
    E2E_PIDS+=("$xpid")
    read -r -t 20 n <"$fifo" || true
    [ -n "$n" ] || { e2e_log "Xvfb did not start"; cat "$E2E_DIR/xvfb.log" >&2; exit 2; }
    export DISPLAY=":$n"
    e2e_start_wm || exit 2
    export QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY
    E2E_APPDIR="$E2E_DIR/app"
    mkdir -p "$E2E_APPDIR"
    cp "$E2E_BINARY" "$E2E_APPDIR/banterly"
}

# Starts openbox and waits until it manages the display. Closing, activating
# and framing windows all go through the window manager: without it a test
# fails far from the cause.
e2e_start_wm() {
    openbox >>"$E2E_DIR/openbox.log" 2>&1 &
    E2E_WM_PID=$!
    E2E_PIDS+=("$E2E_WM_PID")
    local i
    for i in $(seq 1 300); do
        kill -0 "$E2E_WM_PID" 2>/dev/null || break
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    e2e_log "the window manager did not start:"; cat "$E2E_DIR/openbox.log" >&2
    return 1
}

# A window manager that has gone away is reported and started again, so the
# closes and activations that follow reach the program.
e2e_ensure_wm() {
    kill -0 "$E2E_WM_PID" 2>/dev/null && return 0
    wait "$E2E_WM_PID" 2>/dev/null
    e2e_log "note: the window manager ended (status $?); its log:"
    cat "$E2E_DIR/openbox.log" >&2
    e2e_start_wm
}

# Starts the program in its folder (files placed there beforehand are used)
# and waits for the toolbar.
e2e_start_app() {
    e2e_ensure_wm || return 1
    (cd "$E2E_APPDIR" && exec ${E2E_LAUNCHER:-} ./banterly >>"$E2E_DIR/app.out" 2>&1) &
    E2E_APP_PID=$!
    E2E_TOOLBAR=$(e2e_wait_toolbar) || { e2e_log "toolbar did not appear"; return 1; }
    sleep 0.3
}

# The toolbar is the window titled "Banterly" whose client area is 222 x 21;
# message boxes carry the same title.
e2e_wait_toolbar() {
    local timeout=${1:-10} i id
    for i in $(seq 1 $((timeout * 10))); do
        for id in $(xdotool search --onlyvisible --name '^Banterly$' 2>/dev/null); do
            read -r _ _ w h <<<"$(e2e_client_geometry "$id")"
            if [ "$w $h" = "222 21" ]; then echo "$id"; return 0; fi
        done
        sleep 0.1
    done
    return 1
}

# Visible message boxes of the program (titled "Banterly", not the toolbar).
e2e_message_boxes() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Banterly$' 2>/dev/null); do
        [ "$id" = "${E2E_TOOLBAR:-}" ] || echo "$id"
    done
}

# Presses Enter on every message box the program shows until none has
# appeared for a quiet second (or the timeout passes); prints how many.
e2e_dismiss_messages() {
    local timeout=${1:-30} n=0 quiet=0 i id
    for i in $(seq 1 $((timeout * 10))); do
        id=$(e2e_message_boxes | head -1)
        if [ -n "$id" ]; then
            # A real key press (XTEST) on the activated box: a key event sent
            # to a window directly can leave the key seen as held.
            xdotool windowactivate --sync "$id" 2>/dev/null
            xdotool key Return 2>/dev/null
            n=$((n + 1)); quiet=0
            sleep 0.3
        else
            quiet=$((quiet + 1))
            [ "$quiet" -ge 10 ] && break
            sleep 0.1
        fi
    done
    echo "$n"
}

e2e_app_alive() { kill -0 "$E2E_APP_PID" 2>/dev/null; }

# Waits until exactly one visible window has a title matching the pattern
# (an anchored regular expression) and prints its id.
e2e_wait_window() {
    local pattern=$1 timeout=${2:-10} i ids
    for i in $(seq 1 $((timeout * 10))); do
        ids=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1)
        if [ -n "$ids" ]; then echo "$ids"; return 0; fi
        sleep 0.1
    done
    return 1
}

# Waits until no visible window has a title matching the pattern.
e2e_wait_gone() {
    local pattern=$1 timeout=${2:-5} i
    for i in $(seq 1 $((timeout * 10))); do
        [ -z "$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null)" ] && return 0
        sleep 0.1
    done
    return 1
}

# Client area of a window: prints "x y width height" in pixels.
e2e_client_geometry() {
    xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /^  Width:/{w=$2} /^  Height:/{h=$2} END{print x, y, w, h}'
}

# Frame extents of a window: prints "left right top bottom".
e2e_frame_extents() {
    xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed 's/.*= //; s/,//g'
}

# Outer frame of a window: prints "x y width height".
e2e_outer_geometry() {
    local x y w h l r t b
    read -r x y w h <<<"$(e2e_client_geometry "$1")"
    read -r l r t b <<<"$(e2e_frame_extents "$1")"
    echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

e2e_has_state() {  # e2e_has_state WINDOW _NET_WM_STATE_ABOVE
    xprop -id "$1" _NET_WM_STATE | grep -q "$2"
}

# Clicks at a point of a window's client area (pixels from its top-left).
e2e_click() {  # e2e_click WINDOW x y [button]
    xdotool mousemove --window "$1" "$2" "$3" sleep 0.1 click "${4:-1}"
    sleep 0.3
}

e2e_screen_width() { xdpyinfo | awk '/dimensions:/{split($2, a, "x"); print a[1]}'; }

# Waits for the program to end; prints its exit code.
e2e_wait_exit() {
    local timeout=${1:-5} i
    for i in $(seq 1 $((timeout * 10))); do
        if ! e2e_app_alive; then wait "$E2E_APP_PID" 2>/dev/null; echo $?; return 0; fi
        sleep 0.1
    done
    return 1
}

e2e_finish() {
    e2e_log "$E2E_PASSES passed, $E2E_FAILS failed"
    [ "$E2E_FAILS" -eq 0 ] && [ "$E2E_PASSES" -gt 0 ]
    exit $?
}

# Asks the window manager to close a window, as its close box does.
e2e_close_window() { e2e_ensure_wm; wmctrl -i -c "$1"; sleep 0.3; }

# --- reliability helpers -------------------------------------------------

# Writes a contact file of N contacts with thirteen realistic fields each.
e2e_make_contacts() {  # e2e_make_contacts N FILE
    awk -v n="$1" 'BEGIN {
        d = sprintf("%c", 31)
        split("Blue Wolf Kat Moon Zed Rain Ash Pip Lux Oak", nick, " ")
        for (i = 1; i <= n; i++) {
            for (f = 0; f < 82; f++) v[f] = ""
            v[0] = sprintf("CHAT127%03d", i % 1000)
            v[18] = "Met in the evening room; talks about films, hiking and old computers " i
            v[24] = nick[i % 10 + 1] "_" i
            v[25] = (i % 2) ? "M" : "F"
            v[26] = "Person Number " i
            v[40] = "person" i "@example.org"
            v[41] = "http://www.example.org/~person" i "/"
            v[42] = 150 + i % 50
            v[55] = "http://chat.example.org/rooms/lobby" (i % 7)
            v[59] = "brown"
            v[60] = 50 + i % 60
            v[61] = "green"
            v[79] = 18 + i % 60
            line = ""
            for (f = 0; f < 82; f++) line = line v[f] d
            printf "%s\r\n", line
        }
    }' >"$2"
}

# Lines of a contact file whose delimiter count is not 82 (prints the count).
e2e_bad_contact_lines() { awk -F"$(printf '\037')" 'NF != 83 { bad++ } END { print bad + 0 }' "$1"; }

# Sends a key to the window that has the keyboard focus.
e2e_key() { xdotool key --clearmodifiers "$@"; sleep 0.2; }
e2e_type() { xdotool type --delay 30 "$1"; sleep 0.2; }

# --- options dialog ---

# Polls a command until it succeeds or the time (seconds) runs out.
e2e_wait_for() {  # e2e_wait_for SECONDS command args...
    local timeout=$1 i; shift
    for i in $(seq 1 $((timeout * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Gives a window the keyboard focus and types keys into it.
e2e_keys() {  # e2e_keys WINDOW key...
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
    shift
    local k
    for k in "$@"; do xdotool key "$k"; sleep 0.1; done
    sleep 0.3
}

# --- phrase window and clipboard ---

# Double-clicks at a point of a window's client area.
e2e_double_click() {  # e2e_double_click WINDOW x y
    xdotool mousemove --window "$1" "$2" "$3" sleep 0.1 click --repeat 2 --delay 80 1
    sleep 0.3
}

# The clipboard's text as another program reads it.
e2e_clipboard() { timeout 5 xclip -o -selection clipboard 2>/dev/null; }

# How many of the program's windows are mapped (a popup menu is one).
e2e_visible_window_count() { xdotool search --onlyvisible --class banterly 2>/dev/null | wc -l; }

# Opens a popup menu with the right button at a point of a window and
# chooses its n-th command (separators not counted) with the keyboard.
e2e_popup_choose() {  # e2e_popup_choose WINDOW x y n
    local before i
    before=$(e2e_visible_window_count)
    e2e_click "$1" "$2" "$3" 3
    for i in $(seq 1 50); do
        [ "$(e2e_visible_window_count)" -gt "$before" ] && break
        sleep 0.1
    done
    for i in $(seq 1 "$4"); do xdotool key Down; sleep 0.05; done
    xdotool key Return
    sleep 0.3
}

# Waits until the window manager has framed a window (its frame extents are
# known), so that e2e_outer_geometry is right.
e2e_wait_framed() {  # e2e_wait_framed WINDOW [seconds]
    local i
    for i in $(seq 1 $(( ${2:-5} * 10 ))); do
        xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q ' = ' && return 0
        sleep 0.1
    done
    return 1
}

# The contact windows: titles, and places in their client areas.
E2E_CARD_TITLE='^Banterly - Address Book$'
E2E_LIST_TITLE='^Chat Contacts$'

# One contact file line: 82 fields, each followed by the byte 0x1F, CR LF.
# Arguments are FIELD=TEXT pairs (24 chat name, 26 real name, 18 notes, 41
# web site, ...); the other fields stay empty.
e2e_contact_fields() {  # e2e_contact_fields 24=Jane 41=http://x/
    local i pair out=""
    local -a v=()
    for pair in "$@"; do v[${pair%%=*}]=${pair#*=}; done
    for i in $(seq 0 81); do out+=${v[i]:-}$'\x1f'; done
    printf '%s\r\n' "$out"
}

# The chat name is field 24; a second argument goes into field 30, which the
# card never shows, so a contact crossed onto another record shows there.
e2e_contact_line() {  # e2e_contact_line CHATNAME [HIDDEN]
    e2e_contact_fields "24=$1" "30=${2:-}"
}

# --- a data folder and the contact windows ---

# A banterly.ini that keeps the three files in the program folder's data/
# (made here); a first argument adds "HidePhraseListWhenDbleClicked=1".
e2e_data_folder_ini() {  # e2e_data_folder_ini [hide]
    local dir=$E2E_APPDIR hide=""
    [ -n "${1:-}" ] && hide='HidePhraseListWhenDbleClicked=1\r\n'
    mkdir -p "$dir/data"
    printf "[general]\r\nAlwaysOnTop=1\r\n[phrases]\r\n${hide}PhraseList=%s/data/phrases.txt\r\n[contacts]\r\nShowStatFields=1\r\ndataFile=%s/data/chatcontacts.lis\r\nWebSitesList=%s/data/websites.lis\r\n" \
        "$dir" "$dir" "$dir" >"$dir/banterly.ini"
}

# Opens the contact list with the toolbar's button and prints its window
# once the window manager has framed it.
e2e_open_list() {
    local id
    e2e_click "$E2E_TOOLBAR" 36 10
    id=$(e2e_wait_window "$E2E_LIST_TITLE" 10) || return 1
    e2e_wait_framed "$id" 5
    sleep 0.3
    echo "$id"
}

# Opens the list's first contact on the card and types text at the end of
# its chat name (nothing saved yet); E2E_CARD is the card, empty when it did
# not open.
e2e_append_to_first_chat_name() {  # e2e_append_to_first_chat_name LIST TEXT
    E2E_CARD=""
    e2e_click "$1" 40 44
    E2E_CARD=$(e2e_wait_window "$E2E_CARD_TITLE" 5) || return 1
    sleep 0.5
    e2e_click "$E2E_CARD" 150 27
    xdotool key End
    e2e_type "$2"
}

# Closes the toolbar, answering any message, and makes sure the program ended.
e2e_end_program() {
    e2e_close_window "$E2E_TOOLBAR"
    e2e_dismiss_messages 3 >/dev/null
    local rc
    rc=$(e2e_wait_exit 10)
    check "the program ends when its toolbar is closed" test -n "$rc"
    [ -n "$rc" ] || { e2e_diagnose; kill -9 "$E2E_APP_PID" 2>/dev/null; wait "$E2E_APP_PID" 2>/dev/null; }
}

# Prints what a failed close or wait may have come from: the window
# manager, the windows on the display and what the program wrote.
e2e_diagnose() {
    local id
    e2e_log "--- diagnosis"
    if [ -n "$E2E_WM_PID" ] && kill -0 "$E2E_WM_PID" 2>/dev/null; then e2e_log "window manager running"
    else e2e_log "window manager NOT running"; fi
    e2e_log "openbox.log:"; tail -20 "$E2E_DIR/openbox.log" >&2 2>/dev/null
    e2e_log "windows:"; wmctrl -lpG >&2 2>/dev/null
    for id in $(xdotool search --onlyvisible --name 'Banterly|Phrases' 2>/dev/null); do
        e2e_log "window $id: $(xdotool getwindowname "$id" 2>/dev/null)"
        xprop -id "$id" WM_PROTOCOLS WM_STATE _NET_WM_STATE _NET_WM_ALLOWED_ACTIONS \
            _MOTIF_WM_HINTS WM_TRANSIENT_FOR >&2 2>/dev/null
    done
    e2e_log "program output:"; tail -20 "$E2E_DIR/app.out" >&2 2>/dev/null
    e2e_log "program log:"; tail -20 "$E2E_APPDIR/banterly.log" >&2 2>/dev/null
    e2e_log "--- end of diagnosis"
}
