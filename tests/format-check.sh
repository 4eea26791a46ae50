#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what .clang-format makes of it.
set -euo pipefail
cd "$1"
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' 2>/dev/null || find src tests bench tools -name '*.cpp' -o -name '*.h')
clang-format --dry-run -Werror "${files[@]}"
echo "format-check: ${#files[@]} files formatted"
