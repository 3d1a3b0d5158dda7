#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over every source file of
# ours in a build's compile_commands.json (default: build/release) and fails on
# any warning. Generated sources in the build folder are left out.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
root=$(pwd)
run_clang_tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
output=$(mktemp)
trap 'rm -f "$output"' EXIT

# The build's flags are gcc's; clang-tidy's clang skips the warning options it
# does not know instead of failing on them.
"$run_clang_tidy" -p "$build" -j "$(nproc)" -quiet -extra-arg=-Wno-unknown-warning-option \
  "^$root/(src|host|tests|fuzz|bench)/" >"$output" 2>&1 || true
# One line per finding, without colours; a header's finding is reported once.
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$output" |
  grep -E '^/.*:[0-9]+:[0-9]+: (warning|error):' | sort -u || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "lint check: $(echo "$findings" | wc -l) findings of clang-tidy above"
  exit 1
fi
if grep -q 'error:' "$output"; then
  cat "$output"
  echo "lint check: clang-tidy failed"
  exit 1
fi
echo "lint check: clang-tidy finds nothing in $build"
