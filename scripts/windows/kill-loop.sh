#!/usr/bin/env bash
# Kills a Windows program under Wine in the middle of its saves, again and again, and checks that
# the file is always one whole version, never a mix: a file with one name (replaced through a
# temporary file) and a file with a second hard link (written in place, its backup beside it).
#   scripts/windows/kill-loop.sh [ROUNDS]    after scripts/windows/test.sh has built the probe
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${TAGLOOM_WINDOWS_CACHE:-$HOME/.cache/tagloom-windows}
build=${TAGLOOM_WINDOWS_BUILD:-$root/build-windows}
rounds=${1:-30}
probe="$build/tests/document_probe.exe"
[ -f "$probe" ] || { echo "build the tests first: scripts/windows/test.sh" >&2; exit 2; }
export WINEPREFIX=${WINEPREFIX:-$cache/wine} WINEDEBUG=${WINEDEBUG:--all}
folders=("$cache/qt-6.4.2/bin" "$cache/libs/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
WINEPATH=""
for folder in "${folders[@]}"; do WINEPATH+="$(winepath -w "$folder");"; done
export WINEPATH
# The in-place writer, which the programs find beside themselves.
export TAGLOOM_WRITER="$(winepath -w "$build/src/tagloom-writer.exe")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Two versions of different sizes, each line naming its version, so a mix is seen at once.
for i in $(seq 1 60000); do echo "version A line $i"; done > "$work/a"
for i in $(seq 1 90000); do echo "version B, a longer line $i"; done > "$work/b"
mixed=0 total=0 killed=0 wasA=0 wasB=0
for kind in replaced in-place; do
    target="$work/$kind.html"
    cp "$work/a" "$target"
    [ $kind = in-place ] && ln "$target" "$work/second-name.html"
    for round in $(seq 1 "$rounds"); do
        wine "$probe" save-loop "$(winepath -w "$target")" "$(winepath -w "$work/a")" "$(winepath -w "$work/b")" >/dev/null 2>>"$work/said" &
        launcher=$!
        # The Windows process itself, once Wine has started it and it saves, killed as a crash or
        # a power cut would end it: Wine's loader becomes that process, under the same id.
        pid=""
        for wait in $(seq 1 100); do
            tr '\0' ' ' < "/proc/$launcher/cmdline" 2>/dev/null | grep -q "document_probe.exe save-loop" && pid=$launcher && break
            sleep 0.1
        done
        sleep "$(( RANDOM % 3 )).$(( RANDOM % 9 + 1 ))$(( RANDOM % 10 ))"
        [ -n "$pid" ] && killed=$((killed + 1))
        kill -9 "$launcher" 2>/dev/null
        wait "$launcher" 2>/dev/null
        total=$((total + 1))
        cmp -s "$target" "$work/a" && wasA=$((wasA + 1))
        cmp -s "$target" "$work/b" && wasB=$((wasB + 1))
        if ! cmp -s "$target" "$work/a" && ! cmp -s "$target" "$work/b"; then
            mixed=$((mixed + 1))
            backup=$(ls "$work"/.tgl-backup-* 2>/dev/null | head -n1)
            echo "$kind round $round: a mixed file ($(wc -c < "$target") bytes)${backup:+, its backup beside it}"
        fi
    done
    [ $kind = in-place ] && ! cmp -s "$target" "$work/second-name.html" && echo "in-place: the second name lost the file"
done
[ -s "$work/said" ] && sort "$work/said" | uniq -c | head -n 5
echo "$total rounds, $killed killed while saving; afterwards version A $wasA times, B $wasB times, mixed $mixed times"
[ $mixed -eq 0 ]
