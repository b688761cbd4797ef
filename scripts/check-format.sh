#!/usr/bin/env bash
# Fails when a C++ file differs from .clang-format; prints the files that do.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then bad+=("$f"); fi
done
if ((${#bad[@]})); then
    printf 'not formatted (run clang-format -i): %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "clang-format: ${#files[@]} files formatted"
