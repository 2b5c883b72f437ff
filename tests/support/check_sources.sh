#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every source file is named in the CMakeLists.txt of its folder or of the nearest folder
# above it: the build lists its sources by name, so a file nobody named would silently be
# left out (a test file whose tests never run, a header no target shows).
#   check_sources.sh SOURCE_DIR
set -euo pipefail
cd "${1:?usage: check_sources.sh SOURCE_DIR}"

# The CMakeLists.txt that builds FILE, and FILE's path relative to its folder.
owner() {
    local dir
    dir=$(dirname "$1")
    while [[ ! -f $dir/CMakeLists.txt ]]; do dir=$(dirname "$dir"); done
    echo "$dir"
}

missing=()
checked=0
while read -r file; do
    dir=$(owner "$file")
    name=${file#"$dir"/}
    # The public headers are named from the library that carries them.
    if [[ $file == include/* ]]; then
        grep -rqF --include=CMakeLists.txt "\${PROJECT_SOURCE_DIR}/$file" component controls host ||
            missing+=("$file")
    elif ! grep -qE "(^|[[:space:]])$name([[:space:])]|\$)" "$dir/CMakeLists.txt"; then
        missing+=("$file (in $dir/CMakeLists.txt)")
    fi
    checked=$((checked + 1))
done < <(find component controls host include tests bench tools \( -name '*.cpp' -o -name '*.h' \) -type f \
    -not -path 'tests/data/*' | sort)

if ((${#missing[@]})); then
    printf 'sources no build names:\n' >&2
    printf '  %s\n' "${missing[@]}" >&2
    exit 1
fi
echo "$checked sources named in the build"
