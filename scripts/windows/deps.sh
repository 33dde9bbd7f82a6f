#!/usr/bin/env bash
# Installs what the Windows build needs on a Debian 12 machine: the MinGW-w64 cross compiler, Wine to
# run the result with its own fonts (Tahoma among them, which Debian ships apart), the host Qt tools
# (moc, rcc, uic) that a cross-built Qt uses, and the Debian source packages of Qt and HTML Tidy,
# which build-qt.sh builds for Windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/deps.sh"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
          wine64 wine fonts-wine dpkg-dev qt6-base-dev-tools qt6-tools-dev-tools zip xvfb openbox xdotool imagemagick)
# apt-get source needs deb-src entries. They name the archive apt already uses, so no other host is
# ever asked: each deb entry is copied as a deb-src one, once.
src_list=/etc/apt/sources.list.d/tagloom-deb-src.sources
src_list_old=/etc/apt/sources.list.d/tagloom-deb-src.list
added_sources=no
if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -E 's/^Types:.*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo tee "$src_list" >/dev/null
    elif [ -f /etc/apt/sources.list ]; then
        grep -E '^deb ' /etc/apt/sources.list | sed -E 's/^deb /deb-src /' | $sudo tee "$src_list_old" >/dev/null
    fi
    added_sources=yes
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $added_sources = yes ]; then
    $sudo apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
