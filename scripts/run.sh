#!/usr/bin/env bash
# Builds Tagloom and starts it, with an optional file to open: scripts/run.sh [FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
# The tests need packages of their own (deps.sh test): the program alone is configured here.
cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGLOOM_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-release" --target tagloom
exec "$root/build-release/src/tagloom" "$@"
