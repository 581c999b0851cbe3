#!/usr/bin/env bash
# Two copies of the program on one display, each a portable copy whose book
# and phrase file live in a folder that its own Syncthing instance keeps in
# step with the other's over 127.0.0.1 (no discovery, relays, NAT traversal,
# usage or crash reports, upgrade checks).
#  - A contact added on one side shows in the other side's list and card
#    without a restart.
#  - With the link down, one side deletes a contact and edits another, the
#    other side edits a third, and both set one field of a fourth to
#    different values. Once the link is back both books end byte for byte
#    equal with every edit in them: the later value of the field on both
#    sides and the earlier one in a kept version in backups/, the sync
#    program's conflict copy moved into backups/, each contact with the
#    identity it had, and then neither copy writes again.
# Faults caught: a lost edit or a deletion come back, a contact doubled or
# crossed by the merge, a conflict copy left beside the book, two copies that
# answer each other's saves for ever, a window that shows a stale book.
source "$(dirname "$0")/lib.sh"
command -v syncthing >/dev/null || { e2e_log "syncthing is not installed: skipped"; exit 77; }
e2e_init "$1"

D=$'\x1f'
list_title=$E2E_LIST_TITLE card_title=$E2E_CARD_TITLE
ok_x=159 ok_y=186          # the card's OK button
chat_x=150 chat_y=27       # the card's chat name box
real_x=150 real_y=45       # the card's real name box
line_x=40 line1_y=44       # the list's first line
delete_x=135 delete_y=12   # the list window's Delete button

declare -A PID TOOLBAR LIST CARD ST_ID ST_KEY ST_GUI ST_LISTEN
ST_GROUPS=()

sync_cleanup() {
    local s p i
    for s in "${!PID[@]}"; do kill "${PID[$s]}" 2>/dev/null; done
    # Each Syncthing is a monitor and its child in a process group of their own.
    for p in "${ST_GROUPS[@]}"; do kill -TERM -- "-$p" 2>/dev/null; done
    for i in $(seq 1 30); do
        local alive=0
        for p in "${ST_GROUPS[@]}"; do kill -0 -- "-$p" 2>/dev/null && alive=1; done
        for s in "${!PID[@]}"; do kill -0 "${PID[$s]}" 2>/dev/null && alive=1; done
        [ "$alive" = 0 ] && break
        sleep 0.1
    done
    for p in "${ST_GROUPS[@]}"; do kill -KILL -- "-$p" 2>/dev/null; done
    for s in "${!PID[@]}"; do kill -KILL "${PID[$s]}" 2>/dev/null; done
    e2e_cleanup
}
trap sync_cleanup EXIT
trap 'exit 130' INT TERM

sync_dir() { echo "$E2E_DIR/$1/sync"; }
book() { echo "$E2E_DIR/$1/sync/chatcontacts.lis"; }

# --- two Syncthing instances that know only each other ------------------------

free_ports() {  # free_ports N: N TCP ports on 127.0.0.1 nobody listens on
    /usr/bin/python3 -c '
import socket, sys
socks = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in socks: s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in socks))' "$1"
}

# The whole configuration, written over the generated one: every setting
# that could reach another address is off.
st_config() {  # st_config SIDE OTHER
    local me=$1 other=$2
    cat >"$E2E_DIR/st-$me/config.xml" <<XML
<configuration version="36">
    <folder id="banterly" label="banterly" path="$(sync_dir "$me")" type="sendreceive" rescanIntervalS="60" fsWatcherEnabled="true" fsWatcherDelayS="1" ignorePerms="false" autoNormalize="true">
        <filesystemType>basic</filesystemType>
        <device id="${ST_ID[$me]}"></device>
        <device id="${ST_ID[$other]}"></device>
        <markerName>.stfolder</markerName>
        <maxConflicts>10</maxConflicts>
    </folder>
    <device id="${ST_ID[$me]}" name="$me"><address>dynamic</address></device>
    <device id="${ST_ID[$other]}" name="$other"><address>tcp://127.0.0.1:${ST_LISTEN[$other]}</address></device>
    <gui enabled="true" tls="false">
        <address>127.0.0.1:${ST_GUI[$me]}</address>
        <apikey>${ST_KEY[$me]}</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:${ST_LISTEN[$me]}</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <urAccepted>-1</urAccepted>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <crashReportingEnabled>false</crashReportingEnabled>
        <startBrowser>false</startBrowser>
        <announceLANAddresses>false</announceLANAddresses>
        <reconnectionIntervalS>1</reconnectionIntervalS>
        <setLowPriority>false</setLowPriority>
    </options>
</configuration>
XML
}

st_start() {  # st_start SIDE
    STHASHING=minio STNODEFAULTFOLDER=1 STNOUPGRADE=1 \
        setsid syncthing serve --home="$E2E_DIR/st-$1" --no-browser --no-restart --no-upgrade \
        >"$E2E_DIR/st-$1.log" 2>&1 &
    ST_GROUPS+=("$!")
}

rest() {  # rest SIDE GET|POST PATH
    curl -sf -m 5 -X "$2" -H "X-API-Key: ${ST_KEY[$1]}" "http://127.0.0.1:${ST_GUI[$1]}/rest/$3"
}

# Whether SIDE is connected to the other side (true or false).
connected() {  # connected SIDE OTHER
    [ "$(rest "$1" GET system/connections | jq -r --arg d "${ST_ID[$2]}" '.connections[$d].connected')" = true ]
}
both_connected() { connected a b && connected b a; }
neither_connected() { ! connected a b && ! connected b a; }

# Whether SIDE has scanned and pulled everything and OTHER has everything of
# SIDE's, as SIDE knows.
st_idle() {  # st_idle SIDE OTHER
    local status completion
    status=$(rest "$1" GET "db/status?folder=banterly") || return 1
    completion=$(rest "$1" GET "db/completion?folder=banterly&device=${ST_ID[$2]}") || return 1
    [ "$(jq -r '"\(.state) \(.needTotalItems)"' <<<"$status")" = "idle 0" ] &&
        [ "$(jq -r '"\(.completion) \(.needItems)"' <<<"$completion")" = "100 0" ]
}

setup_syncthing() {
    local s ports
    read -r -a ports <<<"$(free_ports 4)"
    ST_LISTEN[a]=${ports[0]} ST_LISTEN[b]=${ports[1]} ST_GUI[a]=${ports[2]} ST_GUI[b]=${ports[3]}
    for s in a b; do
        syncthing generate --home="$E2E_DIR/st-$s" --no-default-folder --skip-port-probing \
            >"$E2E_DIR/st-$s.generate.log" 2>&1 || { e2e_log "syncthing generate failed"; exit 2; }
        ST_ID[$s]=$(sed -n 's/.*<device id="\([^"]*\)".*/\1/p' "$E2E_DIR/st-$s/config.xml" | head -1)
        ST_KEY[$s]=$(sed -n 's:.*<apikey>\(.*\)</apikey>.*:\1:p' "$E2E_DIR/st-$s/config.xml")
        mkdir -p "$(sync_dir "$s")/.stfolder"
    done
    st_config a b
    st_config b a
    st_start a
    st_start b
}

# --- two portable copies of the program -----------------------------------

# A program folder holding a copy of the program and a banterly.ini that puts
# the book and the phrase file into the side's synced folder.
make_program_folder() {  # make_program_folder SIDE
    local app=$E2E_DIR/$1/app sync
    sync=$(sync_dir "$1")
    mkdir -p "$app"
    cp "$E2E_BINARY" "$app/banterly"
    printf '[general]\r\nAlwaysOnTop=0\r\n[phrases]\r\nPhraseList=%s/phrases.txt\r\n[contacts]\r\ndataFile=%s/chatcontacts.lis\r\nWebSitesList=%s/websites.lis\r\n' \
        "$sync" "$sync" "$app" >"$app/banterly.ini"
}

# The visible window of SIDE's copy whose title matches PATTERN.
side_window() {  # side_window SIDE PATTERN [SECONDS]
    local i id
    for i in $(seq 1 $((${3:-10} * 10))); do
        id=$(xdotool search --all --onlyvisible --pid "${PID[$1]}" --name "$2" 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# Starts SIDE's copy, moves its toolbar to X (its list and card open beside
# it, so the two copies' windows never overlap) and opens its list.
start_side() {  # start_side SIDE X
    local s=$1 i id
    (cd "$E2E_DIR/$s/app" && exec ./banterly >>"$E2E_DIR/$s/app.out" 2>&1) &
    PID[$s]=$!
    TOOLBAR[$s]=""
    for i in $(seq 1 100); do
        for id in $(xdotool search --all --onlyvisible --pid "${PID[$s]}" --name '^Banterly$' 2>/dev/null); do
            read -r _ _ w h <<<"$(e2e_client_geometry "$id")"
            [ "$w $h" = "222 21" ] && TOOLBAR[$s]=$id
        done
        [ -n "${TOOLBAR[$s]}" ] && break
        sleep 0.1
    done
    [ -n "${TOOLBAR[$s]}" ] || { e2e_log "side $s: the toolbar did not appear"; return 1; }
    xdotool windowmove "${TOOLBAR[$s]}" "$2" 0
    sleep 0.5
    e2e_click "${TOOLBAR[$s]}" 36 10
    LIST[$s]=$(side_window "$s" "$list_title") || { e2e_log "side $s: the list did not open"; return 1; }
    e2e_wait_framed "${LIST[$s]}" 5
    sleep 0.3
}

# Clicks the first line of SIDE's list and goes down to line N with the
# arrow key; CARD[SIDE] is the card that shows it.
open_line() {  # open_line SIDE N
    local i
    e2e_click "${LIST[$1]}" "$line_x" "$line1_y"
    CARD[$1]=$(side_window "$1" "$card_title" 5) || { e2e_log "side $1: no card"; return 1; }
    sleep 0.5
    for i in $(seq 2 "$2"); do xdotool key Down; sleep 0.3; done
}

# Replaces the text of a box on SIDE's card (at X Y) and presses OK.
set_box() {  # set_box SIDE X Y TEXT
    e2e_click "${CARD[$1]}" "$2" "$3"
    xdotool key ctrl+a
    e2e_type "$4"
    e2e_click "${CARD[$1]}" "$ok_x" "$ok_y"
}

# The text of a box on SIDE's card, copied to the clipboard.
box_text() {  # box_text SIDE X Y
    e2e_click "${CARD[$1]}" "$2" "$3"
    xdotool key ctrl+a ctrl+c
    sleep 0.3
    e2e_clipboard
}

# Message boxes of either copy (titled "Banterly", not a toolbar).
message_boxes() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Banterly$' 2>/dev/null); do
        [ "$id" = "${TOOLBAR[a]}" ] || [ "$id" = "${TOOLBAR[b]}" ] || echo "$id"
    done
}
MESSAGES=0
answer_messages() {
    local id
    for id in $(message_boxes); do
        xdotool windowactivate --sync "$id" 2>/dev/null
        xdotool key Return 2>/dev/null
        MESSAGES=$((MESSAGES + 1))
        sleep 0.3
    done
}

# --- reading the books ----------------------------------------------------

# Each contact of SIDE's book as "chat name/real name", one line.
contacts_of() {
    awk -F"$D" '{ printf "%s%s/%s", (NR > 1 ? " " : ""), $25, $27 }' "$(book "$1")" 2>/dev/null
}
identity_of() {  # identity_of SIDE CHATNAME
    awk -F"$D" -v n="$2" '$25 == n { print $2 }' "$(book "$1")" 2>/dev/null
}
# Conflict copies beside SIDE's book (not Syncthing's own temporary files,
# which it may leave when a copy it was fetching went away meanwhile).
conflict_copies() {  # conflict_copies SIDE
    find "$(sync_dir "$1")" -maxdepth 1 -name '*.sync-conflict-*' ! -name '.syncthing.*' 2>/dev/null
}
books_equal() { cmp -s "$(book a)" "$(book b)"; }
book_has() { grep -q "$2" "$(book "$1")" 2>/dev/null; }
stamp_of() { stat -c '%i %.9Y %s' "$(book "$1")" 2>/dev/null; }

# Waits until both books are equal, no conflict copy is beside either, both
# Syncthing instances are idle and nothing has changed for two seconds;
# answers the programs' messages meanwhile.
settled_state() {
    books_equal && [ -z "$(conflict_copies a)$(conflict_copies b)" ] &&
        st_idle a b && st_idle b a &&
        echo "$(stamp_of a) $(stamp_of b)"
}
wait_settled() {  # wait_settled SECONDS
    local end=$((SECONDS + $1)) last="" now since=$SECONDS
    while [ $SECONDS -lt $end ]; do
        answer_messages
        now=$(settled_state) || now=""
        if [ -z "$now" ] || [ "$now" != "$last" ]; then
            last=$now since=$SECONDS
        elif [ $((SECONDS - since)) -ge 2 ]; then
            return 0
        fi
        sleep 0.5
    done
    return 1
}

# --- the start: A's book reaches B before either copy runs ----------------

identity() { printf '6f0c2d4e-0000-4000-8000-%012d' "$1"; }
stamp=2026-12-01T09:00:00.000Z
mkdir -p "$(sync_dir a)" "$(sync_dir b)"
{
    e2e_contact_fields "1=$(identity 1)" "2=$stamp" 24=Whiskey 26=Walt
    e2e_contact_fields "1=$(identity 2)" "2=$stamp" 24=Xray 26=Xena
    e2e_contact_fields "1=$(identity 3)" "2=$stamp" 24=Yankee 26=Yolanda
    e2e_contact_fields "1=$(identity 4)" "2=$stamp" 24=Zulu 26=Zack
} >"$(book a)"
printf 'Hello there\r\nSee you later\r\n' >"$(sync_dir a)/phrases.txt"

setup_syncthing
check "the two Syncthing instances connect" e2e_wait_for 20 both_connected
phrases_arrived() { cmp -s "$(sync_dir a)/phrases.txt" "$(sync_dir b)/phrases.txt"; }
check "A's book and phrases reach B" e2e_wait_for 20 eval 'books_equal && phrases_arrived'
books_equal || e2e_finish

make_program_folder a
make_program_folder b
start_side a 900 || e2e_finish
start_side b 300 || e2e_finish
check "two copies with different program folders both run" \
    bash -c "kill -0 ${PID[a]} && kill -0 ${PID[b]}"

# --- a contact added on A shows on B without a restart --------------------

e2e_click "${TOOLBAR[a]}" 12 10                   # Add
CARD[a]=$(side_window a "$card_title" 5) || { e2e_log "side a: no card"; e2e_finish; }
sleep 0.5
set_box a "$chat_x" "$chat_y" Echo
check "A saves the new contact" book_has a Echo
check "it reaches B's book" e2e_wait_for 10 book_has b Echo
check_eq "B's book is A's" "$(md5sum <"$(book a)")" "$(md5sum <"$(book b)")"
sleep 0.5
before=$(stamp_of b)
open_line b 5
check_eq "B's list shows it on its fifth line, and B's card shows it" Echo "$(box_text b "$chat_x" "$chat_y")"
check "B's copy is the one it started with" kill -0 "${PID[b]}"
e2e_click "${CARD[b]}" "$ok_x" "$ok_y"
sleep 0.5
check_eq "looking at it on B writes nothing" "$before" "$(stamp_of b)"

# --- edits on both sides while the link is down ---------------------------

check "both sides settle before the link goes down" wait_settled 20
rest a POST "system/pause?device=${ST_ID[b]}" >/dev/null
rest b POST "system/pause?device=${ST_ID[a]}" >/dev/null
check "the link goes down" e2e_wait_for 10 neither_connected

# A: delete Xray, edit Yankee's chat name, give Whiskey a real name.
open_line a 2
e2e_click "${LIST[a]}" "$delete_x" "$delete_y"
sleep 0.5
open_line a 2
set_box a "$chat_x" "$chat_y" YankeeA
open_line a 1
set_box a "$real_x" "$real_y" "Walt on A"
check_eq "A's edits are saved" "Whiskey/Walt on A YankeeA/Yolanda Zulu/Zack Echo/" "$(contacts_of a)"
cp "$(book a)" "$E2E_DIR/a-apart.lis"   # the older of the two: the conflict copy

# B: edit Zulu's chat name, then give Whiskey another real name (later).
sleep 1
open_line b 4
set_box b "$chat_x" "$chat_y" ZuluB
open_line b 1
set_box b "$real_x" "$real_y" "Walt on B"
check_eq "B's edits are saved" "Whiskey/Walt on B Xray/Xena Yankee/Yolanda ZuluB/Zack Echo/" "$(contacts_of b)"
check "no contact reached the other side while the link was down" \
    bash -c "! grep -q ZuluB '$(book a)' && ! grep -q YankeeA '$(book b)'"

# --- the link is back: both books take every edit, and stay still ---------

rest a POST "system/resume?device=${ST_ID[b]}" >/dev/null
rest b POST "system/resume?device=${ST_ID[a]}" >/dev/null
check "the link comes back" e2e_wait_for 10 both_connected
check "both sides settle" wait_settled 30
e2e_log "     (message boxes answered: $MESSAGES)"

expected="Whiskey/Walt on B YankeeA/Yolanda ZuluB/Zack Echo/"
check_eq "A's book holds every edit, the later real name for Whiskey" "$expected" "$(contacts_of a)"
check "both books are equal byte for byte" books_equal
check_eq "each contact kept its identity" "$(identity 1) $(identity 3) $(identity 4)" \
    "$(identity_of a Whiskey) $(identity_of a YankeeA) $(identity_of a ZuluB)"
for s in a b; do
    check "no conflict copy is left beside $s's book" test -z "$(conflict_copies "$s")"
done
# Kept versions on either side (Syncthing carries backups/ across too) that
# are A's book as it was apart, and those named as the conflict copy.
kept_copies() {
    local f
    for f in "$(sync_dir a)"/backups/* "$(sync_dir b)"/backups/*; do
        cmp -s "$f" "$E2E_DIR/a-apart.lis" && echo "$f"
    done
}
check "the real name not kept is in a version kept in backups/" test -n "$(kept_copies)"
check "the conflict copy was moved into backups/" bash -c "grep -q 'sync-conflict' <<<'$(kept_copies)'"

before="$(stamp_of a) $(stamp_of b)"
sleep 4
answer_messages
check_eq "neither copy writes its book again" "$before" "$(stamp_of a) $(stamp_of b)"

# The windows show the merged book.
before="$(stamp_of a) $(stamp_of b)"
open_line a 1
check_eq "A's card shows Whiskey's later real name" "Walt on B" "$(box_text a "$real_x" "$real_y")"
e2e_click "${CARD[a]}" "$ok_x" "$ok_y"
open_line b 2
check_eq "B's list lost Xray: its second line is YankeeA" YankeeA "$(box_text b "$chat_x" "$chat_y")"
e2e_click "${CARD[b]}" "$ok_x" "$ok_y"
sleep 0.5
check_eq "looking at them writes nothing" "$before" "$(stamp_of a) $(stamp_of b)"

check "both copies still run" bash -c "kill -0 ${PID[a]} && kill -0 ${PID[b]}"
# Every socket the Syncthing instances hold is on 127.0.0.1 (or unbound).
st_pids=$(for p in "${ST_GROUPS[@]}"; do pgrep -g "$p"; done | paste -sd'|')
check "both Syncthing instances still run" bash -c "pgrep -g ${ST_GROUPS[0]} && pgrep -g ${ST_GROUPS[1]}" >/dev/null
outside=$(ss -tunapH 2>/dev/null | grep -E "pid=($st_pids)," |
    awk '{ print $5; print $6 }' | grep -vE '^(127\.0\.0\.1:|0\.0\.0\.0:\*|\*:\*|\[::\]:\*)' | sort -u)
check_eq "Syncthing holds no socket to an address other than 127.0.0.1" "" "$outside"
if [ "$E2E_FAILS" -gt 0 ]; then
    for s in a b; do
        e2e_log "--- side $s: $(contacts_of "$s")"
        (cd "$(sync_dir "$s")" && find . -path ./.stfolder -prune -o -type f -printf '%TT %s %p\n' | sort) >&2
    done
fi
e2e_finish
