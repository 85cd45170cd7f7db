#!/usr/bin/env bash
# clang-format over the tracked C++ files (src, tests, fuzz, bench): rewrites them in place,
# or with --check lists those out of format and fails when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
    'fuzz/*.cpp' 'fuzz/*.h' 'bench/*.cpp' 'bench/*.h')
[ ${#files[@]} -gt 0 ] || exit 0
if [ "${1:-}" = --check ]; then
    bad=()
    for f in "${files[@]}"; do
        [ -f "$f" ] || continue
        clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
    done
    if [ ${#bad[@]} -ne 0 ]; then
        printf 'out of .clang-format (fix: cmake --build build --target format):\n'
        printf '  %s\n' "${bad[@]}"
        exit 1
    fi
    echo "all ${#files[@]} files in format"
else
    clang-format -i "${files[@]}"
fi
