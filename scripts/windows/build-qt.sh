#!/usr/bin/env bash
# Builds, for 64-bit Windows with MinGW-w64, what Tagloom links against: Qt 6.4.2's qtbase (Core, Gui,
# Widgets, Concurrent, Test and the windows and offscreen platform plugins), HTML Tidy's library and
# Hunspell, each from Debian's own source package. Everything lands in a cache folder outside the
# repository; a step already done is skipped, so running it again costs seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${TAGLOOM_WINDOWS_CACHE:-$HOME/.cache/tagloom-windows}
jobs=${JOBS:-$(nproc)}
mkdir -p "$cache/src"
qt_prefix="$cache/qt-6.4.2"
libs_prefix="$cache/libs"
toolchain="$cache/mingw-w64.cmake"
sed -e "s|@QT_PREFIX@|$qt_prefix|" -e "s|@LIBS_PREFIX@|$libs_prefix|" \
    "$root/scripts/windows/mingw-w64.cmake.in" > "$toolchain.new"
cmp -s "$toolchain.new" "$toolchain" && rm "$toolchain.new" || mv "$toolchain.new" "$toolchain"

# Unpacks a Debian source package once, with Debian's patches applied; prints its folder.
source_of() {
    local package=$1
    local folder
    folder=$(find "$cache/src" -maxdepth 1 -type d -name "$package-*" | head -n1)
    if [ -z "$folder" ]; then
        (cd "$cache/src" && apt-get source -qq "$package" >/dev/null 2>&1) ||
            { echo "apt-get source $package failed; run scripts/windows/deps.sh first" >&2; exit 1; }
        folder=$(find "$cache/src" -maxdepth 1 -type d -name "$package-*" | head -n1)
    fi
    echo "$folder"
}

# A pkg-config file for a library built here: name, version, libraries, extra flags.
pkg_config() {
    mkdir -p "$libs_prefix/lib/pkgconfig"
    printf 'prefix=%s\nlibdir=${prefix}/lib\nincludedir=${prefix}/include\n\nName: %s\nDescription: %s for Windows\nVersion: %s\nLibs: -L${libdir} %s\nCflags: -I${includedir} %s\n' \
        "$libs_prefix" "$1" "$1" "$2" "$3" "$4" > "$libs_prefix/lib/pkgconfig/$1.pc"
}

if [ ! -f "$qt_prefix/.built" ]; then
    qt_source=$(source_of qt6-base)
    qt_build="$cache/build-qt"
    if [ ! -f "$qt_build/build.ninja" ]; then
        # Features are settled at the first configure: changing them later rebuilds most of Gui.
        # Debian's source has no Wintab header, hence no tablet events; OpenGL stays on because the
        # windows platform plugin of 6.4 needs QOpenGLContext.
        cmake -G Ninja -S "$qt_source" -B "$qt_build" \
            -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
            -DQT_HOST_PATH=/usr \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
            -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
            -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
            -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF \
            -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
            -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
            -DFEATURE_system_doubleconversion=OFF -DFEATURE_icu=OFF
    fi
    cmake --build "$qt_build" -j "$jobs"
    cmake --install "$qt_build" >/dev/null
    touch "$qt_prefix/.built"
fi

if [ ! -f "$libs_prefix/.tidy-built" ]; then
    tidy_source=$(source_of tidy-html5)
    cmake -G Ninja -S "$tidy_source" -B "$cache/build-tidy" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$libs_prefix" -DBUILD_SHARED_LIB=ON -DTIDY_CONSOLE_SHARED=OFF \
        -DSUPPORT_LOCALIZATIONS=OFF -DBUILD_TAB2SPACE=OFF >/dev/null
    cmake --build "$cache/build-tidy" -j "$jobs" --target tidy-share
    cmake --install "$cache/build-tidy" >/dev/null 2>&1 || true
    mkdir -p "$libs_prefix/bin" "$libs_prefix/lib/pkgconfig" "$libs_prefix/include/tidy"
    cp "$cache"/build-tidy/libtidy*.dll "$libs_prefix/bin/"
    cp "$cache"/build-tidy/libtidy*.dll.a "$libs_prefix/lib/"
    # Where Debian puts them, so that the sources include them alike.
    cp "$tidy_source"/include/tidy*.h "$libs_prefix/include/tidy/"
    pkg_config tidy 5.6.0 "-ltidy" ""
    touch "$libs_prefix/.tidy-built"
fi

if [ ! -f "$libs_prefix/.hunspell-built" ]; then
    hunspell_source=$(source_of hunspell)
    build="$cache/build-hunspell"
    rm -rf "$build" && cp -a "$hunspell_source" "$build"
    (cd "$build" && { [ -x configure ] || autoreconf -fi >/dev/null; } &&
        ./configure -q --host=x86_64-w64-mingw32 --prefix="$libs_prefix" --disable-static \
            --enable-shared --without-ui --without-readline --disable-nls \
            CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix &&
        make -s -j "$jobs" -C src/hunspell && make -s -C src/hunspell install >/dev/null)
    pkg_config hunspell 1.7.1 "-lhunspell-1.7" ""
    touch "$libs_prefix/.hunspell-built"
fi
echo "Qt for Windows: $qt_prefix; Tidy and Hunspell: $libs_prefix"
