#!/usr/bin/env bash
# Unsaved work comes back through the real program: typed text survives a kill -9, and a close
# answered Yes. Each time a new instance offers the copy, Recover (Return) opens it with its
# file and format, and Ctrl+S writes exactly the original bytes plus what was typed.
# Usage: run_recovery.sh TAGLOOM PAGE
set -euo pipefail
tagloom=$1
page=$2
source "$(dirname "$0")/x_session.sh"
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
copies="$XDG_DATA_HOME/Tagloom/recovery"

# Types $2 at the start of the page $1 in a fresh instance, and leaves it running; prints its pid.
start_and_type() {
    "$tagloom" "$1" >>"$work/tagloom.log" 2>&1 &
    local pid=$! window
    window=$(wait_window "Tagloom - $1") || { echo "the window did not appear" >&2; cat "$work/tagloom.log" >&2; exit 1; }
    sleep 0.5
    focus_window "$window"
    xdotool key ctrl+Home
    xdotool type --delay 20 "$2"
    echo $pid
}

# A new instance offers the copy (with $3 = menu: it waits under File > Recover Unsaved Work,
# and no list opens by itself); Recover, then Save; the page must hold $2 plus the original.
recover_and_save() {
    "$tagloom" >>"$work/tagloom.log" 2>&1 &
    local pid=$! dialog window before
    pids+=($pid)
    if [ "${3:-}" = menu ]; then
        window=$(wait_window "Tagloom - Untitled") || { echo "the window did not appear"; exit 1; }
        sleep 2
        xdotool search --name "Recover Unsaved Work" >/dev/null 2>&1 && { echo "a discarded page opened the list at start"; exit 1; }
        focus_window "$window"
        xdotool key alt+e Left c # Edit, then File, then Re&cover Unsaved Work...
    fi
    dialog=$(wait_window "Recover Unsaved Work") || { echo "no recovery was offered"; cat "$work/tagloom.log"; exit 1; }
    focus_window "$dialog"
    xdotool key Return
    window=$(wait_window "Tagloom - $1") || { echo "the recovered page did not open"; exit 1; }
    focus_window "$window"
    before=$(stat -c %Y.%i "$1")
    xdotool key ctrl+s
    wait_changed "$1" "$before" || { echo "the recovered page was not saved"; exit 1; }
    { printf '%s' "$2"; cat "$page"; } >"$work/expected"
    cmp "$work/expected" "$1" || { echo "the recovered page differs from what was typed"; exit 1; }
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

cp "$page" "$work/killed.html"; chmod u+w "$work/killed.html"
pid=$(start_and_type "$work/killed.html" "KILLED ")
pids+=($pid)
for _ in $(seq 40); do ls "$copies"/*.tgr >/dev/null 2>&1 && break; sleep 0.25; done
ls "$copies"/*.tgr >/dev/null 2>&1 || { echo "no recovery copy was written"; exit 1; }
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
cmp -s "$page" "$work/killed.html" || { echo "the page changed though it was never saved"; exit 1; }
recover_and_save "$work/killed.html" "KILLED "
echo "recovered after kill -9"

cp "$page" "$work/closed.html"; chmod u+w "$work/closed.html"
pid=$(start_and_type "$work/closed.html" "CLOSED ")
pids+=($pid)
xdotool key ctrl+F4
question=$(wait_window "^Tagloom$") || { echo "the Exit question did not appear"; exit 1; }
focus_window "$question"
xdotool key Return
for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
kill -0 "$pid" 2>/dev/null && { echo "Exit answered Yes did not end the program"; exit 1; }
recover_and_save "$work/closed.html" "CLOSED " menu
echo "recovered after a close answered Yes"

# Under a file-size limit smaller than the page, neither the recovery copy nor a save may kill
# the program: the save fails with a message and the page stays as it was.
cp "$page" "$work/limited.html"; chmod u+w "$work/limited.html"
pid=$(ulimit -f 4; start_and_type "$work/limited.html" "LIMITED ")
pids+=($pid)
sleep 3 # the recovery copy is due two seconds after typing stops
kill -0 "$pid" 2>/dev/null || { echo "a file-size limit killed the program"; exit 1; }
xdotool key ctrl+s
wait_window "^Error 61$" >/dev/null || { echo "a save beyond the file-size limit reported nothing"; exit 1; }
kill -0 "$pid" 2>/dev/null || { echo "a save beyond the file-size limit killed the program"; exit 1; }
cmp -s "$page" "$work/limited.html" || { echo "a failed save changed the page"; exit 1; }
ls -A "$work" | grep -q '^\.tgl-' && { echo "a failed save left a temporary file"; exit 1; }
echo "a file-size limit fails the save and nothing else"
