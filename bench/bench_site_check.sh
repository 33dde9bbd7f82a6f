#!/usr/bin/env bash
# tagloom-check --links over a site of N pages (the test pages repeated, 10,000 by default) against
# HTML Tidy alone on the same pages, `tidy -q -e` run two at a time by xargs -P2 (this machine has
# two cores), in one run: wall time, the ratio, and tagloom-check's peak memory. tidy -q -e shows six
# errors a page; tagloom-check reports all of them, so Tidy is timed a second time showing all.
#   bench/bench_site_check.sh [N] [DIR]     needs Debian's tidy and time packages
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pages=${1:-10000}
tree=${2:-/tmp}/bench-check-tree-$pages
check="$root/build-release/src/tagloom-check"
[ -x "$check" ] || { echo "build tagloom-check first (cmake --build build-release)" >&2; exit 2; }
command -v tidy >/dev/null && [ -x /usr/bin/time ] || { echo "needs: apt-get install tidy time" >&2; exit 2; }
. "$root/bench/page_tree.sh"
make_page_tree "$root" "$pages" "$tree"
bytes=$(du -sb "$tree" | cut -f1)
sync
# A warm cache for both: every page read once.
cat "$tree"/*/*.html >/dev/null
times=$(mktemp)
trap 'rm -f "$times"' EXIT
/usr/bin/time -o "$times" -f "%e %M" "$check" --links "$tree" >/dev/null 2>&1 || true
read -r ours_s ours_kb < <(tail -1 "$times") # after "Command exited with non-zero status" when pages have errors
/usr/bin/time -o "$times" -f "%e" bash -c "find '$tree' -name '*.html' -print0 | xargs -0 -P2 -n 50 tidy -q -e >/dev/null 2>&1 || true"
read -r tidy_alone < <(tail -1 "$times")
/usr/bin/time -o "$times" -f "%e" bash -c "find '$tree' -name '*.html' -print0 | xargs -0 -P2 -n 50 tidy -q -e --show-errors 1000000 >/dev/null 2>&1 || true"
read -r tidy_all < <(tail -1 "$times")
echo "pages: $pages ($((bytes / 1000000)) MB)"
echo "tagloom-check --links: ${ours_s} s, peak memory $((ours_kb / 1024)) MiB"
echo "tidy -q -e, xargs -P2:  ${tidy_alone} s"
echo "the same showing every error: ${tidy_all} s"
awk -v a="$ours_s" -v b="$tidy_alone" -v c="$tidy_all" \
    'BEGIN { printf "ratio (tagloom-check / tidy alone): %.2f; to tidy showing every error: %.2f\n", a / b, a / c }'
