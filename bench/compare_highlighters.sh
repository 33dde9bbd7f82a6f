#!/usr/bin/env bash
# Times tagloom-colour's ANSI output against the highlighters a user might pick instead, on the
# same pages in one run, and prints each one's ratio to tagloom-colour. Needs a release build
# (scripts/run.sh or scripts/test.sh makes one) and installs the other highlighters when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool="$root/build-release/src/tagloom-colour"
corpus="${TAGLOOM_CORPUS:-$root/../shared/corpus}"
[ -x "$tool" ] || { echo "build first: cmake --build $root/build-release" >&2; exit 1; }
need=()
command -v hyperfine >/dev/null || need+=(hyperfine)
command -v kate-syntax-highlighter >/dev/null || need+=(libkf5syntaxhighlighting-tools)
command -v highlight >/dev/null || need+=(highlight)
command -v batcat >/dev/null || command -v bat >/dev/null || need+=(bat)
if [ ${#need[@]} -gt 0 ]; then
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi
bat=$(command -v batcat || command -v bat)
export QT_QPA_PLATFORM=offscreen
for page in "${@:-$corpus/c-5.9m-nodejs-api-all.html}"; do
    [ -f "$page" ] || { echo "page not found: $page (set TAGLOOM_CORPUS to the folder of real pages)" >&2; exit 2; }
    json=$(mktemp)
    hyperfine --warmup 1 --runs "${RUNS:-5}" --export-json "$json" -N \
        -n tagloom-colour "$tool $page" \
        -n kate-syntax-highlighter "kate-syntax-highlighter -f ansi --syntax HTML $page" \
        -n highlight "highlight -O truecolor --syntax=html $page" \
        -n bat "$bat --color=always --style=plain --paging=never --language=html $page" >/dev/null
    echo "$(basename "$page"): median seconds, and how many times slower than tagloom-colour"
    python3 - "$json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
base = results[0]["median"]
for r in results:
    print(f"  {r['command']:<26} {r['median']:8.3f} s   {r['median'] / base:7.1f}x")
PY
    rm -f "$json"
done
