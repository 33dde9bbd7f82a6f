#!/usr/bin/env bash
# Installs the Debian 12 packages that building (and, with "test", testing) needs, when missing.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-private-dev libgl-dev fonts-dejavu-core libtidy-dev pkg-config)
if [ "${1:-}" = test ]; then
    # Xvfb, xdotool and ImageMagick drive the real program in an X server; desktop-file-utils
    # checks the menu entry; Gumbo, css-tree and acorn are the oracles of the colouring.
    packages+=(xvfb xauth xdotool imagemagick desktop-file-utils dpkg-dev file python3 libgumbo-dev
               nodejs node-css-tree node-acorn)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
