#!/usr/bin/env bash
# Cross-builds the tests for Windows and runs each under Wine, one after another as ctest would. A test that needs what only Linux has is left out by CMake (the
# oracles' libraries) or skips itself with its reason.
#   scripts/windows/test.sh [TEST...]     after scripts/windows/deps.sh; names as ctest gives them
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${TAGLOOM_WINDOWS_CACHE:-$HOME/.cache/tagloom-windows}
build=${TAGLOOM_WINDOWS_BUILD:-$root/build-windows}
"$root/scripts/windows/build.sh" tests >/dev/null || { echo "the Windows build failed" >&2; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$cache/wine} WINEDEBUG=${WINEDEBUG:--all}
# Qt's windows platform, drawn by Wine into an X server of our own: the offscreen platform of this
# Qt for Windows never shows a window as exposed or active, which the window tests wait for. A
# window manager gives the focus as a desktop does.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=":$display" openbox >/dev/null 2>&1 &
openbox=$!
trap 'kill $openbox $xvfb 2>/dev/null' EXIT
export DISPLAY=":$display" QT_QPA_PLATFORM=windows
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
# Windows has Tahoma and the rest in its Fonts folder; this Wine reads its own only from there, and
# would otherwise draw the window in whatever the host has.
cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
# The DLLs the tests load: Qt's (QtTest among them), Tidy's and Hunspell's, MinGW's runtime.
folders=("$cache/qt-6.4.2/bin" "$cache/libs/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
WINEPATH=""
for folder in "${folders[@]}"; do WINEPATH+="$(winepath -w "$folder");"; done
export WINEPATH
export TAGLOOM_DICTIONARIES="$(winepath -w /usr/share/hunspell)"
tests=("$@")
if [ ${#tests[@]} -eq 0 ]; then
    mapfile -t tests < <(cd "$build" && ctest -N | sed -n 's/^ *Test *#[0-9]*: //p')
fi
passed=() failed=()
log="$build/windows-tests.log"
: > "$log"
for name in "${tests[@]}"; do
    exe=$(find "$build/tests" -name "$name.exe" | head -n1)
    [ -n "$exe" ] || { echo "$name: not built for Windows" | tee -a "$log"; continue; }
    start=$(date +%s)
    # A test's own folder is the build's, as ctest has it. QtTest writes to a file under Wine, where
    # a program's standard output is no console.
    rm -f "$build/$name.out"
    (cd "$(dirname "$exe")" && timeout 600 wine "$exe" -o "$(winepath -w "$build/$name.out"),txt" > "$build/$name.wine" 2>&1)
    status=$?
    took=$(( $(date +%s) - start ))
    skipped=$(grep -c '^SKIP' "$build/$name.out")
    totals=$(grep '^Totals' "$build/$name.out" | tail -n1)
    if [ $status -eq 0 ]; then
        passed+=("$name")
        echo "$name: passed in ${took} s ($totals; $skipped skipped)" | tee -a "$log"
    else
        failed+=("$name")
        echo "$name: FAILED ($status) in ${took} s ($totals)" | tee -a "$log"
        grep -E '^(FAIL!|   Loc|   Actual|   Expected)' "$build/$name.out" | head -n 12 | sed 's/^/    /' | tee -a "$log"
    fi
done
echo "${#passed[@]} passed, ${#failed[@]} failed under Wine (log: $log)"
[ ${#failed[@]} -eq 0 ]
