#!/usr/bin/env bash
# Where a copy keeps its files. Faults caught: an installed copy, run by a
# user who may write the program folder (root), that writes its data among
# the system's programs, where package removal leaves it behind; and a
# portable copy that stops keeping its files beside itself.
source "$(dirname "$0")/lib.sh"
e2e_init "$1"

build=$(dirname "$E2E_BINARY")
root=$E2E_DIR/root
export HOME=$E2E_DIR/home
export XDG_DATA_HOME=$HOME/.local/share
mkdir -p "$HOME"
datadir=$XDG_DATA_HOME/Banterly

# The real install rules, into a private root. cmake --install rewrites the
# build folder's list of installed files: the user's own is kept.
manifest=$build/install_manifest.txt
[ -f "$manifest" ] && cp -p "$manifest" "$E2E_DIR/manifest.keep"
cmake --install "$build" --prefix "$root/usr" >/dev/null || { e2e_log "cmake --install failed"; exit 2; }
if [ -f "$E2E_DIR/manifest.keep" ]; then cp -p "$E2E_DIR/manifest.keep" "$manifest"; else rm -f "$manifest"; fi
installed=$(cd "$root" && find . | sort)

# --- The installed copy, started from elsewhere -----------------------------
(cd "$E2E_DIR" && exec "$root/usr/bin/banterly" >>"$E2E_DIR/app.out" 2>&1) &
E2E_APP_PID=$!
E2E_TOOLBAR=$(e2e_wait_toolbar) || { e2e_log "toolbar did not appear"; cat "$E2E_DIR/app.out" >&2; exit 1; }
sleep 0.5
e2e_click "$E2E_TOOLBAR" 36 10                      # the list: the book is read
e2e_wait_window "$E2E_LIST_TITLE" >/dev/null
check "the installed copy keeps its settings in the per-user data folder" \
    test -f "$datadir/banterly.ini"
check "and its contacts" test -f "$datadir/chatcontacts.lis"
check "and its lock" test -f "$datadir/banterly.lock"
check_eq "nothing is added to the installed tree while it runs" \
    "$installed" "$(cd "$root" && find . | sort)"
e2e_end_program
check_eq "nor after it ends" "$installed" "$(cd "$root" && find . | sort)"

# --- A portable copy ----------------------------------------------------------
rm -rf "$datadir"
e2e_start_app || exit 1
check "a portable copy keeps its settings beside itself" test -f "$E2E_APPDIR/banterly.ini"
check "and its contacts" test -f "$E2E_APPDIR/chatcontacts.lis"
check "and writes nothing to the per-user data folder" test ! -e "$datadir"
e2e_end_program

e2e_finish
