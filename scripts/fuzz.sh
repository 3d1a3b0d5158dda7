#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a while
# from a scratch copy of its seed corpus. Any crash, leak, timeout or sanitizer
# report fails the script. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
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

# Every sanitizer report stops the run. The one suppression is RapidJSON's
# internal stack computing null + offset before its first allocation, a report
# about the library's own bookkeeping that never reaches memory.
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$PWD/fuzz/ubsan.supp"

for target in "${targets[@]}"; do
  work="build/fuzz/corpus-$target"
  log="build/fuzz/$target.log"
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "fuzz/corpus/$target/." "$work/" 2>/dev/null || true
  echo "== fuzzing $target for ${seconds}s"
  status=0
  mkdir -p "build/fuzz/artifacts-$target"
  "build/fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="build/fuzz/artifacts-$target/" \
    -print_final_stats=1 "$work" >"$log" 2>&1 || status=$?
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|Done [0-9]+ runs' "$log" || true
  if [ "$status" -ne 0 ] || grep -q 'runtime error:' "$log"; then
    grep -E -A 30 'ERROR|runtime error|deadly|SUMMARY' "$log" | head -80 || true
    echo "fuzz target $target found a fault (exit status $status); full log: $log, inputs: build/fuzz/artifacts-$target/"
    exit 1
  fi
done
