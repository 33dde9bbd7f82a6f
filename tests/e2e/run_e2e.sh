#!/usr/bin/env bash
# The whole program as a user drives it: started on a copy of a real page in an X server, Ctrl+H
# colours it, Ctrl+S saves it. The saved bytes must equal the page's, and a screenshot must show
# the royal blue of tags and the red of attribute values.
# Usage: run_e2e.sh TAGLOOM PAGE
set -euo pipefail
tagloom=$1
page=$2
skip=77
# ImageMagick's own convert, even where another program of that name comes first on PATH.
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import >/dev/null || {
    echo "SKIP: Xvfb, xdotool or ImageMagick is missing (scripts/deps.sh test installs them)"; exit $skip; }
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
# Xvfb picks a free display itself and tells its number once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -n 1 "$work/display" 2>/dev/null)"
if [ "$display" = ":" ] || ! DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1; then
    echo "SKIP: Xvfb could not start here"; cat "$work/xvfb.log"; exit $skip
fi
export DISPLAY=$display QT_QPA_PLATFORM=xcb
# Under AddressSanitizer: the X keyboard library reads past a string it duplicates (not our code).
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:intercept_strndup=0"
cp "$page" "$work/page.html"
chmod u+w "$work/page.html"
"$tagloom" "$work/page.html" >"$work/tagloom.log" 2>&1 &
pids+=($!)
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name "Tagloom - $work/page.html" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear"; cat "$work/tagloom.log"; exit 1; }
sleep 0.5
# With no window manager the keyboard follows the pointer: put it over the edit area.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
sleep 0.3
xdotool key ctrl+h
# Wait for the colours to reach the screen rather than for a fixed time.
blue=0
red=0
for _ in $(seq 40); do
    sleep 0.25
    import -window root "$work/shot.png"
    histogram=$("$convert" "$work/shot.png" -format %c histogram:info:-)
    blue=$(echo "$histogram" | grep -ci "#4169E1" || true)
    red=$(echo "$histogram" | grep -ci "#FF0000" || true)
    [ "$blue" -gt 0 ] && [ "$red" -gt 0 ] && break
done
echo "screenshot colours: royal blue ${blue}, red ${red}"
[ "$blue" -gt 0 ] && [ "$red" -gt 0 ] || { echo "the colouring is not on screen"; exit 1; }
before=$(stat -c %Y.%i "$work/page.html")
xdotool key ctrl+s
# The file is replaced (a new inode) when the save is done.
for _ in $(seq 40); do
    sleep 0.25
    [ "$(stat -c %Y.%i "$work/page.html")" != "$before" ] && break
done
[ "$(stat -c %Y.%i "$work/page.html")" != "$before" ] || { echo "the page was not saved"; exit 1; }
if ! cmp -s "$page" "$work/page.html"; then
    echo "the saved file differs from the page"; cmp "$page" "$work/page.html" || true; exit 1
fi
[ -n "${TAGLOOM_E2E_SHOT:-}" ] && cp "$work/shot.png" "$TAGLOOM_E2E_SHOT"
echo "end-to-end ok"
