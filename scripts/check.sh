#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: once in an
# optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== wording of code, tests and file names"
bash scripts/check-wording.sh

jobs=$(nproc)

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== optimised build and tests"
run_suite build/release

echo "== sanitizer build and tests (address, undefined)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build/sanitize -DKZO_SANITIZE=ON

echo "== fuzz targets, 30 seconds each from their seed corpora (clang, libFuzzer)"
bash scripts/fuzz.sh 30
