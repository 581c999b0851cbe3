#!/usr/bin/env bash
# Peak memory (VmHWM) of the whole program with the 32699-contact file of
# bench_contacts loaded and the contact list shown, under Xvfb.
# Usage: bench/rss_contacts.sh [build folder]   (default: build)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(readlink -f "${1:-$root/build}")
source "$root/e2e/lib.sh"
e2e_init "$build/banterly"
"$build/bench/bench_contacts" --write "$E2E_APPDIR/chatcontacts.lis" || exit 1
e2e_start_app || exit 1
status() { grep -E "^$1:" "/proc/$E2E_APP_PID/status" | awk '{print $2}'; }
echo "table loaded:  VmRSS $(status VmRSS) kB, VmHWM $(status VmHWM) kB"
# Toolbar button 1 (360 to 715 twips from the left) opens the contact list.
e2e_click "$E2E_TOOLBAR" 36 10
list=$(e2e_wait_window '^Chat Contacts$' 30) || { echo "the list did not appear"; exit 1; }
sleep 2
echo "list shown:    VmRSS $(status VmRSS) kB, VmHWM $(status VmHWM) kB"
