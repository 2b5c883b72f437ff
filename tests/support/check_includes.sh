#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Includes point down only, as ARCHITECTURE.md draws the layers; names every include that
# does not. Within component/core a folder includes only itself and the folders before it in
#   context rooms journal relocation reversal room_move history plan
# core includes nothing above it (ui, the windows, entry); ui includes no window; a window
# folder (browser, relocation, history) includes ui, core and itself, never another window
# folder; entry, which opens the windows, includes them all. The public headers include only
# each other; the controls include their public headers and their own files; in the host,
# data and xlsx include only the public headers and themselves, desktop those and data, the
# program all three.
set -euo pipefail
root=${1:?usage: check_includes.sh SOURCE_DIR}
cd "$root"

core_order=(context rooms journal relocation reversal room_move history plan)
windows=(browser relocation history)

# The include prefixes a file of that area may use, one per line.
allowed() {
    local area=$1 folder=$2
    echo "corvan/"
    case $area in
    core)
        local f
        for f in "${core_order[@]}"; do
            echo "core/$f/"
            [[ $f == "$folder" ]] && return
        done
        echo "unknown core folder" >&2
        return 1
        ;;
    ui) echo "core/"; echo "ui/" ;;
    window) echo "core/"; echo "ui/"; echo "$folder/" ;;
    entry) echo "core/"; echo "ui/"; echo "entry/"; printf '%s/\n' "${windows[@]}" ;;
    public) ;;
    controls) echo "own" ;;
    data | xlsx) echo "$area/" ;;
    desktop) echo "data/"; echo "desktop/"; echo "xlsx/" ;;
    app) echo "data/"; echo "desktop/"; echo "own" ;;
    esac
}

bad=()
checked=0
while IFS= read -r file; do
    case $file in
    component/core/*/*) area=core folder=${file#component/core/}; folder=${folder%%/*} ;;
    component/ui/*) area=ui folder=ui ;;
    component/entry/*) area=entry folder=entry ;;
    component/browser/* | component/relocation/* | component/history/*)
        area=window folder=${file#component/}; folder=${folder%%/*} ;;
    include/corvan/*) area=public folder=public ;;
    controls/*) area=controls folder=controls ;;
    host/data/* | host/xlsx/* | host/desktop/* | host/app/*)
        area=${file#host/}; area=${area%%/*} folder=$area ;;
    *) bad+=("$file: a file outside the layers"); continue ;;
    esac
    mapfile -t prefixes < <(allowed "$area" "$folder")
    while IFS=: read -r line include; do
        ok=false
        for prefix in "${prefixes[@]}"; do
            # "own": a file of the same folder, named without a folder.
            if [[ $prefix == own ]]; then
                [[ $include != */* && -f $(dirname "$file")/$include ]] && ok=true && break
                continue
            fi
            [[ $include == "$prefix"* ]] && ok=true && break
        done
        $ok || bad+=("$file:$line: includes \"$include\"")
        checked=$((checked + 1))
    done < <(grep -n '^#include "' "$file" | sed 's/^\([0-9]*\):#include "\([^"]*\)".*/\1:\2/' || true)
done < <(find component include controls host \( -name '*.cpp' -o -name '*.h' \) -type f | sort)

if ((${#bad[@]})); then
    printf 'includes against the layers:\n' >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "$checked includes point down"
