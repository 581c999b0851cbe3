#!/usr/bin/env bash
# Installs the Debian packages Banterly needs to build, run and test, when
# any of them is missing. Debian 12; run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake make g++ ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-dejavu-core
  # free stand-ins for the Windows fonts the windows name (Comic Neue for
  # Comic Sans MS, Liberation Sans Narrow for Arial Narrow)
  fonts-comic-neue fonts-liberation
  # end-to-end tests: a virtual display, a window manager, and the tools that
  # drive and read windows and the clipboard
  xvfb openbox xdotool xclip x11-utils wmctrl imagemagick
  # the paste test counts the key presses the X server handles
  xinput
  # the start-up benchmark watches the X server for the windows it times;
  # pasting a phrase into the chat window (active window, XTEST keystroke)
  libxcb1-dev libx11-dev libxtst-dev
  # install test: the desktop entry, AppStream and manual page validators,
  # and the Debian package tools
  desktop-file-utils appstream man-db dpkg-dev file
  # an independent reader of the vCard and CSV exports in the tests
  python3-vobject
  # the sync test: two Syncthing instances on 127.0.0.1, driven through
  # their REST interface
  syncthing curl jq
  # fuzz targets (libFuzzer comes with clang's runtime)
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
