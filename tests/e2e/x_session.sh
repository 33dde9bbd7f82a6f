# Sourced by the end-to-end tests: an X server of their own (Xvfb picks a free display), a work
# folder, and helpers to find and focus windows. Exits 77 (skipped) where no X server can run.
skip=77
command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import >/dev/null || {
    echo "SKIP: Xvfb, xdotool or ImageMagick is missing (scripts/deps.sh test installs them)"; exit $skip; }
work=$(mktemp -d)
pids=()
# Waits for what it stops: an X server still going down holds its display, and the next test
# would meet it there.
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
# -noreset: the check below is the first client, and a server that resets when it leaves
# refuses the program that connects a moment later.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -n 1 "$work/display" 2>/dev/null)"
if [ "$display" = ":" ] || ! DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1; then
    echo "SKIP: Xvfb could not start here"; cat "$work/xvfb.log"; exit $skip
fi
export DISPLAY=$display QT_QPA_PLATFORM=xcb
# Under AddressSanitizer: the X keyboard library reads past a string it duplicates (not our code).
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:intercept_strndup=0"

# Prints the id of the first window whose title matches $1, waiting up to 30 s for it (a busy
# machine, or a sanitizer build, can be slow to start the program).
wait_window() {
    local id=""
    for _ in $(seq 300); do
        id=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# With no window manager the keyboard follows the pointer: put it over the window and click.
focus_window() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    sleep 0.3
}

# Waits until the file's inode or time changes from $2; fails after 10 s.
wait_changed() {
    for _ in $(seq 40); do
        sleep 0.25
        [ "$(stat -c %Y.%i "$1")" != "$2" ] && return 0
    done
    return 1
}
