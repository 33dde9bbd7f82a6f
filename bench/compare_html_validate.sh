#!/usr/bin/env bash
# Compares tagloom-check's accessibility rules with html-validate's matching rules (npm, version 10)
# on the same pages: for each rule, the places both report, and those only one reports. Places are
# line numbers (the two tools count columns from different points of a tag).
#   bench/compare_html_validate.sh [PAGE|FOLDER...]    (default: the test pages and the test site)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${TMPDIR:-/tmp}/tagloom-html-validate
if [ ! -x "$work/node_modules/.bin/html-validate" ]; then
    mkdir -p "$work"
    npm install --silent --no-audit --no-fund --prefix "$work" html-validate@10 >/dev/null
fi
[ $# -gt 0 ] || set -- "$root"/tests/data/*.html "$root"/tests/data/site
cat >"$work/rules.json" <<'JSON'
{"rules": {"wcag/h37": "error", "input-missing-label": "error", "element-required-attributes": "error",
           "text-content": "error", "wcag/h30": "error", "heading-level": "error", "no-dup-id": "error"}}
JSON
pages=()
for a in "$@"; do
    if [ -d "$a" ]; then mapfile -t -O "${#pages[@]}" pages < <(find "$a" -name '*.html' | sort); else pages+=("$a"); fi
done
"$root/build-release/src/tagloom-check" --format json --accessibility 1 "${pages[@]}" >"$work/ours.json" 2>/dev/null || true
"$work/node_modules/.bin/html-validate" -c "$work/rules.json" -f json "${pages[@]}" >"$work/theirs.json" 2>/dev/null || true
python3 - "$work/ours.json" "$work/theirs.json" <<'PY'
import json, os, sys, collections
same = {"img-alt": "wcag/h37", "field-label": "input-missing-label", "html-lang": "element-required-attributes",
        "link-text": "wcag/h30", "button-text": "text-content", "heading-order": "heading-level", "duplicate-id": "no-dup-id"}
ours = collections.defaultdict(set)
for p in json.load(open(sys.argv[1]))["problems"]:
    if p["rule"] in same:
        ours[same[p["rule"]]].add((os.path.realpath(p["file"]), p["line"]))
theirs = collections.defaultdict(set)
for f in json.load(open(sys.argv[2])):
    for m in f["messages"]:
        if m["ruleId"] == "element-required-attributes" and "lang" not in m["message"]:
            continue
        theirs[m["ruleId"]].add((os.path.realpath(f["filePath"]), m["line"]))
print(f"{'rule (ours / html-validate)':45} {'both':>6} {'ours only':>10} {'theirs only':>12}")
for o, t in same.items():
    a, b = ours[t], theirs[t]
    print(f"{o + ' / ' + t:45} {len(a & b):6} {len(a - b):10} {len(b - a):12}")
    for kind, places in (("ours only", a - b), ("theirs only", b - a)):
        for path, line in sorted(places)[:5]:
            print(f"    {kind}: {os.path.relpath(path)}:{line}")
PY
