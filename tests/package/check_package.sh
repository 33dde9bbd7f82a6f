#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a temporary root and checks that
# the program, the menu entry and the icons are where a desktop looks for them.
# Usage: check_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
desktop-file-validate "$source/assets/tagloom.desktop"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
dpkg -x "$deb" "$work/root"
fail=0
for f in usr/bin/tagloom usr/bin/tagloom-colour usr/bin/tagloom-check usr/share/applications/tagloom.desktop \
         usr/share/icons/hicolor/scalable/apps/tagloom.svg; do
    [ -e "$work/root/$f" ] || { echo "missing: $f"; fail=1; }
done
for size in 16 24 32 48 64 128 256; do
    f="usr/share/icons/hicolor/${size}x${size}/apps/tagloom.png"
    [ -e "$work/root/$f" ] || { echo "missing: $f"; fail=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libtidy "qt6-base-abi (="; do
    case "$depends" in
        *"$library"*) ;;
        *) echo "the package does not depend on $library"; fail=1 ;;
    esac
done
desktop-file-validate "$work/root/usr/share/applications/tagloom.desktop"
[ $fail -eq 0 ] && echo "package ok: $(basename "$deb")"
exit $fail
