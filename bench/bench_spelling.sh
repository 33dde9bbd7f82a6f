#!/usr/bin/env bash
# tagloom-check --spelling over a site of N pages (the test pages repeated, 1,000 by default)
# against Hunspell's own `hunspell -H -l` with the same dictionary (en_US), run two at a time by
# xargs -P2 (this machine has two cores). tagloom-check also runs Tidy on each page, so it is timed
# without --spelling too: the difference is what spelling costs. Three interleaved runs, medians.
#   bench/bench_spelling.sh [N] [DIR]     needs Debian's hunspell and time packages
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pages=${1:-1000}
tree=${2:-/tmp}/bench-spelling-tree-$pages
check="$root/build-release/src/tagloom-check"
[ -x "$check" ] || { echo "build tagloom-check first (cmake --build build-release)" >&2; exit 2; }
command -v hunspell >/dev/null && [ -x /usr/bin/time ] || { echo "needs: apt-get install hunspell time" >&2; exit 2; }
. "$root/bench/page_tree.sh"
make_page_tree "$root" "$pages" "$tree"
cat "$tree"/*/*.html >/dev/null # a warm cache for all
times=$(mktemp)
trap 'rm -f "$times"' EXIT
timed() { /usr/bin/time -o "$times" -f "%e" "$@" >/dev/null 2>&1 || true; tail -1 "$times"; }
plain=() spelled=() hun=()
for run in 1 2 3; do
    plain+=("$(timed "$check" "$tree")")
    spelled+=("$(timed "$check" --spelling "$tree")")
    hun+=("$(timed bash -c "find '$tree' -name '*.html' -print0 | xargs -0 -P2 -n 50 hunspell -H -l -d en_US")")
done
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
p=$(median "${plain[@]}") s=$(median "${spelled[@]}") h=$(median "${hun[@]}")
echo "pages: $pages ($(du -sb "$tree" | awk '{ printf "%d MB", $1 / 1000000 }'))"
echo "tagloom-check: ${p} s; with --spelling: ${s} s; hunspell -H -l, xargs -P2: ${h} s (medians of 3)"
awk -v p="$p" -v s="$s" -v h="$h" 'BEGIN { printf "spelling alone (the difference) / hunspell: %.2f; tagloom-check --spelling / hunspell: %.2f\n", (s - p) / h, s / h }'
