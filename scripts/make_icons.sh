#!/usr/bin/env bash
# Renders the program icon from assets/tagloom.svg: PNGs for Linux desktops and one .ico
# (48, 32, 24 and 16 pixels, each in 256 colours and in 32-bit colour) for the window and Windows.
# Needs imagemagick and python3. The results are committed; run this only after changing the SVG.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/assets/icons"
convert=/usr/bin/convert
mkdir -p "$out"
for size in 16 24 32 48 64 128 256; do
    "$convert" -background none -density 384 "$here/assets/tagloom.svg" -resize "${size}x${size}" \
        -depth 8 "PNG32:$out/tagloom-$size.png"
done
args=()
for size in 48 32 24 16; do
    raw=$(mktemp)
    pal=$(mktemp)
    "$convert" "$out/tagloom-$size.png" -depth 8 "rgba:$raw"
    # The 256-colour image: quantised once by ImageMagick, the mask taken from the alpha channel.
    "$convert" "$out/tagloom-$size.png" -background white -alpha remove -colors 256 -depth 8 "rgb:$pal"
    args+=("$size" "$raw" "$pal")
done
python3 "$here/scripts/pack_ico.py" "$out/tagloom.ico" "${args[@]}"

