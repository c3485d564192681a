#!/usr/bin/env bash
# Formats every C++ file of the project with the repository's .clang-format.
# clang-format 19, named by its version on purpose: each version lays some
# code out a little differently, and Debian 12 and 13 both have this one.
#
#   scripts/format.sh           formats the files in place
#   scripts/format.sh --check   changes nothing; fails naming what is not formatted
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(-i)
[ "${1:-}" = "--check" ] && mode=(--dry-run -Werror)
git ls-files -z -- '*.cpp' '*.h' '*.c' | xargs -0 clang-format-19 "${mode[@]}"
