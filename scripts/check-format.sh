#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it
# with the repository's .clang-format. Fix with:
#   git ls-files '*.h' '*.hpp' '*.c' '*.cc' '*.cpp' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=$(command -v clang-format-14 || command -v clang-format)
git ls-files -z '*.h' '*.hpp' '*.c' '*.cc' '*.cpp' |
  xargs -0 "$clang_format" --dry-run -Werror
echo "format check: every tracked C and C++ file is formatted"
