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
deb=$(ls "$work"/out/tagloom_*.deb)
dpkg -x "$deb" "$work/root"
fail=0
# The live preview's plugin, when built, is a package of its own that the editor only recommends.
preview=$(ls "$work"/out/tagloom-preview_*.deb 2>/dev/null || true)
if [ -n "$preview" ]; then
    dpkg -x "$preview" "$work/preview"
    [ -n "$(find "$work/preview" -name tagloom-preview.so)" ] || { echo "the preview package has no plugin"; fail=1; }
    case "$(dpkg-deb -f "$preview" Depends)" in
        *libqt6webenginewidgets6*) ;;
        *) echo "the preview package does not depend on Qt WebEngine"; fail=1 ;;
    esac
    case "$(dpkg-deb -f "$deb" Recommends)" in
        *tagloom-preview*) ;;
        *) echo "the editor does not recommend tagloom-preview"; fail=1 ;;
    esac
fi
for f in usr/bin/tagloom usr/bin/tagloom-colour usr/bin/tagloom-check usr/libexec/tagloom/tagloom-checker usr/share/applications/tagloom.desktop \
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
case "$depends" in
    *webengine*) echo "the editor depends on Qt WebEngine"; fail=1 ;;
esac
desktop-file-validate "$work/root/usr/share/applications/tagloom.desktop"
[ $fail -eq 0 ] && echo "package ok: $(basename "$deb")"
exit $fail
