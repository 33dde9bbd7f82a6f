#!/usr/bin/env bash
# Kills saves of a document at random moments and checks that the file always holds exactly the
# old or exactly the new bytes, or, where it holds neither, that a complete backup beside it
# holds the old ones (a save in place killed with its writer). Every kind is killed two ways:
# the editor alone (its in-place writer finishes), and its whole process group.
# After each kind it reports mixed files, temporary files left behind once the next save has
# run, and incomplete backups; all must be 0.
# The kind replace-all kills Replace All in Files over a folder of pages part-way: every page must
# hold its old or its new bytes.
# Not run by CTest (it takes minutes): run it by hand after a build.
# Usage: [KINDS="single hardlinked symlink big-single big-hardlinked replace-all"] kill_during_save.sh [PROBE] [KILLS]
#        (PROBE: build-release/tests/document_probe)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
probe=${1:-$root/build-release/tests/document_probe}
kills=${2:-200}
[ -x "$probe" ] || { echo "build first: $probe is missing" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Two versions of different sizes and content, 50 MB each.
head -c 37500000 /dev/urandom | base64 -w 76 > "$work/a"
head -c 37600000 /dev/urandom | base64 -w 99 > "$work/b"
small_a="$work/small-a"; small_b="$work/small-b"
head -c 300000 "$work/a" > "$small_a"; head -c 310000 "$work/b" > "$small_b"

# Waits until the killed save's session is gone: a writer that outlived the editor finishes first.
settle() {
    for _ in $(seq 600); do
        pgrep -s "$1" >/dev/null || return 0
        sleep 0.05
    done
    echo "a writer of session $1 went on for 30 s" >&2
    return 1
}

failed=0
# Replace All in Files, killed part-way: 300 pages, each old or new, never a mix.
replace_all() {
    local old=0 new=0 mixed=0 pages=300
    head -c 20000 "$small_a" | sed 's/a/needle /g' > "$work/page-old"
    sed 's/needle/pin/g' "$work/page-old" > "$work/page-new"
    for i in $(seq "$kills"); do
        rm -rf "$work/r"; mkdir "$work/r"
        for p in $(seq $pages); do cp "$work/page-old" "$work/r/p$p.html"; done
        setsid "$probe" replace-all "$work/r" needle pin 2>/dev/null &
        pid=$!
        sleep "0.0$(printf '%02d' $((RANDOM % 100)))"
        kill -9 -- -$pid 2>/dev/null || true
        wait $pid 2>/dev/null || true
        settle "$pid"
        for p in $(seq $pages); do
            if cmp -s "$work/r/p$p.html" "$work/page-old"; then old=$((old + 1))
            elif cmp -s "$work/r/p$p.html" "$work/page-new"; then new=$((new + 1))
            else mixed=$((mixed + 1)); fi
        done
    done
    echo "replace-all, killing the group: $kills kills of $pages pages: $old old, $new new, $mixed mixed"
    [ $mixed -eq 0 ] || failed=1
}

for kind in ${KINDS:-single hardlinked symlink big-single big-hardlinked replace-all}; do
    if [ $kind = replace-all ]; then replace_all; continue; fi
    for how in editor group; do
        a="$small_a" b="$small_b"
        case $kind in big-*) a="$work/a"; b="$work/b" ;; esac
        rm -rf "$work/f"; mkdir "$work/f"
        page="$work/f/page.html"
        cp "$a" "$page"
        case $kind in *hardlinked) ln "$page" "$work/f/other-name.html" ;; esac
        target=$page
        if [ $kind = symlink ]; then target="$work/f/real.html"; mv "$page" "$target"; ln -s real.html "$page"; fi
        old=0 new=0 mixed=0 backed=0 incomplete=0
        for i in $(seq "$kills"); do
            setsid "$probe" save-loop "$page" "$b" "$a" 2>/dev/null &
            pid=$!
            # Short pages save in milliseconds: kill them sooner.
            if [ "${kind#big-}" != "$kind" ]; then sleep "0.$(printf '%03d' $((RANDOM % 1000)))"
            else sleep "0.0$(printf '%02d' $((RANDOM % 100)))"; fi
            if [ $how = group ]; then kill -9 -- -$pid 2>/dev/null || true; else kill -9 $pid 2>/dev/null || true; fi
            wait $pid 2>/dev/null || true
            settle "$pid"
            # A backup that is named is complete: it holds exactly one of the versions.
            for backup in "$work"/f/.tgl-backup-*; do
                [ -e "$backup" ] || continue
                cmp -s "$backup" "$a" || cmp -s "$backup" "$b" || incomplete=$((incomplete + 1))
            done
            if cmp -s "$target" "$a"; then old=$((old + 1))
            elif cmp -s "$target" "$b"; then new=$((new + 1))
            else
                # Only a save in place killed with its writer may leave a mixed file, and then
                # a complete backup beside it must name it.
                named=0
                for backup in "$work"/f/.tgl-backup-"$(stat -c %i "$target")"-*; do
                    [ -e "$backup" ] && { cmp -s "$backup" "$a" || cmp -s "$backup" "$b"; } && named=1
                done
                if [ $named -eq 1 ]; then backed=$((backed + 1)); else mixed=$((mixed + 1)); fi
                # Put a whole version back, as the user would from the backup.
                cp "$a" "$target"
            fi
            rm -f "$work"/f/.tgl-backup-*
            if [ -e "$work/f/other-name.html" ] && ! cmp -s "$target" "$work/f/other-name.html"; then
                echo "the hard links parted" >&2; exit 1
            fi
        done
        # The next save clears what the killed ones left.
        "$probe" write "$page" "done" >/dev/null
        leftovers=$(find "$work/f" -name '.tgl-*' | wc -l)
        echo "$kind, killing the $how: $kills kills: $old old, $new new, $backed mixed with a complete backup, $mixed mixed; $leftovers temporary files left after the next save; $incomplete incomplete backups"
        [ $mixed -eq 0 ] && [ $leftovers -eq 0 ] && [ $incomplete -eq 0 ] || failed=1
    done
done
exit $failed
