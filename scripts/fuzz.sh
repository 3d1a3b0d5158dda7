#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a while
# from a scratch copy of its seed corpus. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true

bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKZO_BUILD_FUZZERS=ON -DKZO_BUILD_TESTS=OFF -DKZO_WARNINGS_AS_ERRORS=OFF >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzzer.cpp; do
    [ -e "$source" ] || continue
    targets+=("$(basename "$source" .cpp)")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets"
  exit 0
fi
cmake --build build/fuzz -j "$(nproc)" --target "${targets[@]}"

for target in "${targets[@]}"; do
  work="build/fuzz/corpus-$target"
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "fuzz/corpus/$target/." "$work/" 2>/dev/null || true
  echo "== fuzzing $target for ${seconds}s"
  ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
    "build/fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 "$work" 2>&1 | grep -E 'stat::|Done|ERROR|SUMMARY|deadly|crash' || true
  if [ "${PIPESTATUS[0]}" -ne 0 ]; then
    echo "fuzz target $target found a fault"
    exit 1
  fi
done
