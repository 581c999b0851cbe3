#!/usr/bin/env bash
# One running copy per folder: a second start hands over to the running copy
# (whose minimised toolbar comes back) and ends at once; a copy killed with
# SIGKILL does not block the next start; copies in two folders run side by
# side.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

# Starts a copy of the program in a folder of its own, in the background;
# sets COPY_PID.
start_copy() {  # start_copy FOLDER
    mkdir -p "$1"
    cp "$E2E_APPDIR/banterly" "$1/"
    (cd "$1" && exec ./banterly >>"$E2E_DIR/$(basename "$1").out" 2>&1) &
    COPY_PID=$!
    E2E_PIDS+=("$COPY_PID")
}

# Visible toolbars of any copy.
toolbar_count() {
    local id n=0
    for id in $(xdotool search --onlyvisible --name '^Banterly$' 2>/dev/null); do
        read -r _ _ w h <<<"$(e2e_client_geometry "$id")"
        [ "$w $h" = "222 21" ] && n=$((n + 1))
    done
    echo "$n"
}

# Starts the program in a folder and waits for it to end; sets RC and MS.
start_and_wait() {  # start_and_wait FOLDER
    local t0
    t0=$(date +%s%N)
    (cd "$1" && exec timeout 10 ./banterly >>"$E2E_DIR/second.out" 2>&1)
    RC=$?
    MS=$(( ($(date +%s%N) - t0) / 1000000 ))
}

e2e_start_app || exit 1
first=$E2E_APP_PID
xdotool windowminimize "$E2E_TOOLBAR"
check "the toolbar can be minimised" e2e_wait_for 5 bash -c \
    "xwininfo -id $E2E_TOOLBAR | grep -q IsUnMapped"

start_and_wait "$E2E_APPDIR"
check_eq "a second start on the same folder ends with status 0" 0 "$RC"
check "... within a second (took ${MS} ms)" test "$MS" -lt 1000
check "the first copy still runs" e2e_app_alive
check_eq "its toolbar is shown again, the same window" "$E2E_TOOLBAR" "$(e2e_wait_toolbar 3)"
check "... and not minimised" bash -c "! xprop -id $E2E_TOOLBAR _NET_WM_STATE | grep -q HIDDEN"
sleep 0.5
check_eq "exactly one toolbar" 1 "$(toolbar_count)"

kill -9 "$first"
wait "$first" 2>/dev/null
check "the lock is left behind by the killed copy" test -e "$E2E_APPDIR/banterly.lock"
e2e_start_app
check "a start after kill -9 shows its toolbar" test -n "${E2E_TOOLBAR:-}"
check "... and keeps running" e2e_app_alive
start_and_wait "$E2E_APPDIR"
check_eq "the new copy answers a second start" 0 "$RC"
check_eq "still one toolbar" 1 "$(toolbar_count)"

other="$E2E_DIR/other"
start_copy "$other"
otherpid=$COPY_PID
check "a copy in another folder runs beside the first" e2e_wait_for 10 bash -c \
    "[ \$(xdotool search --onlyvisible --name '^Banterly\$' | wc -l) -ge 2 ]"
sleep 0.3
check_eq "two toolbars" 2 "$(toolbar_count)"
check "both copies run" bash -c "kill -0 $E2E_APP_PID && kill -0 $otherpid"
start_and_wait "$other"
check_eq "a second start in the other folder ends with status 0" 0 "$RC"
check_eq "still two toolbars" 2 "$(toolbar_count)"

# A folder whose claim cannot be had (banterly.lock cannot be locked): the
# copy runs, says why, and writes nothing, never as a second writer.
locked="$E2E_DIR/locked"
mkdir -p "$locked/banterly.lock"
start_copy "$locked"
lockedpid=$COPY_PID
check "a copy that cannot claim its folder tells the user" e2e_wait_for 15 \
    grep -q "could not claim its data folder" "$locked/banterly.log"
check "... and runs" kill -0 "$lockedpid"
check "... writing neither the sample book nor the settings" \
    test ! -e "$locked/chatcontacts.lis" -a ! -e "$locked/banterly.ini"
kill "$lockedpid"

e2e_log "second starts said: $(tr '\n' ' ' <"$E2E_DIR/second.out")"
e2e_finish
