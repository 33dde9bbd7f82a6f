#!/usr/bin/env bash
# Kills saves of a 50 MB document at random moments and checks that the file always holds
# exactly the old or exactly the new bytes, for a file with one name and for a hard-linked one.
# Not run by CTest (it takes minutes): run it by hand after a build.
# Usage: kill_during_save.sh [PROBE] [KILLS]   (PROBE: build-release/tests/document_probe)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
probe=${1:-$root/build-release/tests/document_probe}
kills=${2:-200}
[ -x "$probe" ] || { echo "build first: $probe is missing" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Two versions of different sizes and content.
head -c 37500000 /dev/urandom | base64 -w 76 > "$work/a"
head -c 37600000 /dev/urandom | base64 -w 99 > "$work/b"

# Waits until no process has the file open: a writer that outlived the editor finishes first.
settle() {
    local file=$1 busy
    for _ in $(seq 600); do
        busy=0
        for fd in /proc/[0-9]*/fd/*; do
            [ "$(readlink "$fd" 2>/dev/null)" = "$file" ] && { busy=1; break; }
        done
        [ $busy -eq 0 ] && return 0
        sleep 0.05
    done
    echo "a process kept $file open for 30 s" >&2
    return 1
}

for kind in single hardlinked; do
    old=0 new=0 mixed=0
    cp "$work/a" "$work/page.html"
    [ $kind = hardlinked ] && ln "$work/page.html" "$work/other-name.html"
    for i in $(seq "$kills"); do
        "$probe" save-loop "$work/page.html" "$work/b" "$work/a" 2>/dev/null &
        pid=$!
        sleep "0.$(printf '%03d' $((RANDOM % 1000)))"
        kill -9 $pid 2>/dev/null || true
        wait $pid 2>/dev/null || true
        settle "$work/page.html"
        if cmp -s "$work/page.html" "$work/a"; then old=$((old + 1))
        elif cmp -s "$work/page.html" "$work/b"; then new=$((new + 1))
        else mixed=$((mixed + 1)); fi
        if [ $kind = hardlinked ] && ! cmp -s "$work/page.html" "$work/other-name.html"; then
            echo "the hard links parted" >&2; exit 1
        fi
    done
    leftovers=$(find "$work" -name '.tgl-*' | wc -l)
    echo "$kind: $kills kills: $old old, $new new, $mixed mixed; $leftovers temporary files left"
    rm -f "$work/page.html" "$work/other-name.html" "$work"/.tgl-*
    [ $mixed -eq 0 ] || exit 1
done
