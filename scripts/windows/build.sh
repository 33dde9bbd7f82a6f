#!/usr/bin/env bash
# Cross-builds Tagloom for 64-bit Windows (tagloom.exe, tagloom-check.exe, tagloom-colour.exe and
# the checker) and lays out a folder ready to ship, with the Qt, Tidy, Hunspell and MinGW DLLs, the
# platform plugins and an English dictionary, and a zip of it. With "tests", the tests too.
#   scripts/windows/build.sh [tests]      after scripts/windows/deps.sh and build-qt.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${TAGLOOM_WINDOWS_CACHE:-$HOME/.cache/tagloom-windows}
"$root/scripts/windows/build-qt.sh" >/dev/null
build=${TAGLOOM_WINDOWS_BUILD:-$root/build-windows}
tests=OFF
[ "${1:-}" = tests ] && tests=ON
# The host rcc compresses with zstd, which this Qt for Windows was built without.
cmake -G Ninja -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DTAGLOOM_BUILD_TESTS=$tests -DTAGLOOM_BUILD_BENCH=OFF -DTAGLOOM_WERROR=ON \
    -DCMAKE_AUTORCC_OPTIONS=--no-zstd >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}"

# The folder to ship: what windeployqt would copy for these programs, found the same way (the
# DLLs each program imports, followed to the end) rather than listed by hand.
dist="$build/dist/Tagloom"
rm -rf "$build/dist" && mkdir -p "$dist/platforms" "$dist/dictionaries"
cp "$build"/src/tagloom.exe "$build"/src/tagloom-check.exe "$build"/src/tagloom-colour.exe "$build"/src/tagloom-checker.exe "$build"/src/tagloom-writer.exe "$dist/"
cp "$cache/qt-6.4.2/plugins/platforms/qwindows.dll" "$cache/qt-6.4.2/plugins/platforms/qoffscreen.dll" "$dist/platforms/"
mkdir -p "$dist/styles"
cp "$cache"/qt-6.4.2/plugins/styles/*.dll "$dist/styles/" 2>/dev/null || true
"$root/scripts/windows/copy-dlls.sh" "$dist" "$dist"/*.exe "$dist"/platforms/*.dll "$dist"/styles/*.dll
cp /usr/share/hunspell/en_US.aff /usr/share/hunspell/en_US.dic "$dist/dictionaries/"
(cd "$build/dist" && rm -f ../tagloom-windows-x64.zip && zip -qr ../tagloom-windows-x64.zip Tagloom)
echo "Windows build: $dist ($(du -sh "$dist" | cut -f1)), $build/tagloom-windows-x64.zip"
