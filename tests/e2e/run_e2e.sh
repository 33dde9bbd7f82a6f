#!/usr/bin/env bash
# The whole program as a user drives it: started on a copy of a real page in an X server, Ctrl+H
# colours it, Ctrl+S saves it. The saved bytes must equal the page's, and a screenshot must show
# the royal blue of tags and the red of attribute values.
# Usage: run_e2e.sh TAGLOOM PAGE
set -euo pipefail
tagloom=$1
page=$2
# ImageMagick's own convert, even where another program of that name comes first on PATH.
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
source "$(dirname "$0")/x_session.sh"
# Data and settings of its own: copies the user's Tagloom kept are no business of this test.
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
cp "$page" "$work/page.html"
chmod u+w "$work/page.html"
"$tagloom" "$work/page.html" >"$work/tagloom.log" 2>&1 &
pids+=($!)
window=$(wait_window "Tagloom - $work/page.html") || { echo "the window did not appear"; cat "$work/tagloom.log"; exit 1; }
sleep 0.5
focus_window "$window"
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
wait_changed "$work/page.html" "$before" || { echo "the page was not saved"; exit 1; }
if ! cmp -s "$page" "$work/page.html"; then
    echo "the saved file differs from the page"; cmp "$page" "$work/page.html" || true; exit 1
fi
[ -n "${TAGLOOM_E2E_SHOT:-}" ] && cp "$work/shot.png" "$TAGLOOM_E2E_SHOT"
echo "end-to-end ok"
