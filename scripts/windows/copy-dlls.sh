#!/usr/bin/env bash
# Copies into FOLDER every DLL the given Windows programs and plugins import, and what those import
# in turn, from the cross-built Qt, Tidy and Hunspell and MinGW's runtime; Windows' own DLLs stay.
#   copy-dlls.sh FOLDER FILE...
set -euo pipefail
cache=${TAGLOOM_WINDOWS_CACHE:-$HOME/.cache/tagloom-windows}
folder=$1; shift
search=("$cache/qt-6.4.2/bin" "$cache/libs/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
pending=("$@")
declare -A seen=()
while [ ${#pending[@]} -gt 0 ]; do
    file=${pending[0]}; pending=("${pending[@]:1}")
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
        key=${dll,,}
        [ -n "${seen[$key]:-}" ] && continue
        seen[$key]=1
        for dir in "${search[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$folder/"
                pending+=("$folder/$dll")
                break
            fi
        done
    done
done
