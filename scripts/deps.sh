#!/usr/bin/env bash
# Installs the Debian 12 packages that building (and, with "test", testing) needs, when missing.
set -euo pipefail
# Qt WebEngine builds the live preview's plugin, which the editor loads only when the pane shows.
# Hunspell spells pages; hunspell-en-us is the dictionary the tests and most users need.
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-private-dev libgl-dev fonts-dejavu-core libtidy-dev libhunspell-dev hunspell-en-us pkg-config
          qt6-webengine-dev)
if [ "${1:-}" = test ]; then
    # Xvfb, xdotool and ImageMagick drive the real program in an X server; desktop-file-utils
    # checks the menu entry; Gumbo, css-tree and acorn are the oracles of the colouring.
    packages+=(xvfb xauth xdotool imagemagick desktop-file-utils dpkg-dev file python3 libgumbo-dev
               nodejs node-css-tree node-acorn python3-jsonschema)
    # npm fetches the SARIF schema below; a Node.js that brings its own npm needs no package.
    command -v npm >/dev/null || packages+=(npm)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ "${1:-}" = test ]; then
    # The SARIF 2.1.0 schema, which tagloom-check's SARIF output is validated against; an npm
    # package carries the published schema file. Kept out of the repository, beside the builds.
    root=$(cd "$(dirname "$0")/.." && pwd)
    schema="$root/build-tools/sarif-schema-2.1.0.json"
    if [ ! -s "$schema" ]; then
        mkdir -p "$root/build-tools"
        work=$(mktemp -d)
        (cd "$work" && npm pack --silent @microsoft/jest-sarif@1.0.0-beta.0 >/dev/null &&
            tar xzf microsoft-jest-sarif-1.0.0-beta.0.tgz package/lib/schemas/sarif-2.1.0-rtm.5.json) &&
            cp "$work/package/lib/schemas/sarif-2.1.0-rtm.5.json" "$schema"
        rm -rf "$work"
    fi
fi
