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
    echo "$(basename "$page"): median seconds over ${RUNS:-5} interleaved rounds, and how many times slower than tagloom-colour"
    # Interleaved (A B C D, B C D A, ...) rather than each tool back to back, so that a busy
    # moment of the machine falls on every tool alike.
    python3 - "$page" "${RUNS:-5}" "$tool" "$bat" <<'PY'
import statistics, subprocess, sys, time
page, runs, tool, bat = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
tools = [
    ("tagloom-colour", [tool, page]),
    ("kate-syntax-highlighter", ["kate-syntax-highlighter", "-f", "ansi", "--syntax", "HTML", page]),
    ("highlight", ["highlight", "-O", "truecolor", "--syntax=html", page]),
    ("bat", [bat, "--color=always", "--style=plain", "--paging=never", "--language=html", page]),
]
times = {name: [] for name, _ in tools}
for name, command in tools:  # one warm-up each
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
for round in range(runs):
    for name, command in tools[round % len(tools):] + tools[:round % len(tools)]:
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        times[name].append(time.perf_counter() - start)
base = statistics.median(times["tagloom-colour"])
for name, _ in tools:
    m = statistics.median(times[name])
    print(f"  {name:<26} {m:8.3f} s   {m / base:7.1f}x")
PY
done
