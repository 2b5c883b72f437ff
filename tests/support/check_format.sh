#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every C++ file of the project is formatted as .clang-format says; names the ones that are not.
set -euo pipefail
root=${1:?usage: check_format.sh SOURCE_DIR}
cd "$root"
command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 1; }
mapfile -t files < <(find include controls component host tools bench tests examples \
                          \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
bad=()
for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if ((${#bad[@]})); then
    printf 'not formatted (clang-format -i %s):\n' "${bad[*]}" >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "${#files[@]} files formatted"
