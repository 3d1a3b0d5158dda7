#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test three times: once in an
# optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer,
# once in a 32-bit build (the platform's own word size); the Windows DLL is
# cross-built and loaded under Wine; then the tests that
# run threads once more under ThreadSanitizer, and the fuzz targets for a
# while. The layering test runs with the others; the wording, format and
# lint checks and the installed kit are checked around the optimised build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== wording of code, tests and file names"
bash scripts/check-wording.sh

echo "== format of every tracked C and C++ file"
bash scripts/check-format.sh

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

echo "== clang-tidy over the optimised build's sources"
tidy_start=$SECONDS
bash scripts/check-tidy.sh build/release
echo "clang-tidy pass: $((SECONDS - tidy_start)) s"

echo "== the installed kit: the example plug-in built and served, the Debian package"
bash scripts/check-kit.sh build/release

echo "== sanitizer build and tests (address, undefined)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build/sanitize -DKZO_SANITIZE=ON

# The whole project for i386 with g++ -m32: the plug-in and the reference host
# are 32-bit, so the end-to-end tests and the page's browser test run through
# both.
echo "== 32-bit build and tests (i386)"
i386_start=$SECONDS
run_suite build/i386 -DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake
echo "32-bit pass: $((SECONDS - i386_start)) s"

# The platform's own artifact: the DLL cross-built with mingw-w64 (libyaml
# from Debian's source package), loaded under Wine the way the core loads it,
# and the framework's Windows facilities checked against the system.
echo "== Windows DLL (i686, mingw-w64) and its probes under Wine"
windows_start=$SECONDS
bash scripts/build-libyaml-windows.sh
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/windows-i686.cmake >/dev/null
cmake --build build/win32 -j "$jobs"
ctest --test-dir build/win32 --output-on-failure
echo "Windows pass: $((SECONDS - windows_start)) s"

# Only what the threaded tests need is built: the framework, the plug-in, the
# host and the test files that start threads (tests/CMakeLists.txt lists
# them); of their tests only those below run.
echo "== ThreadSanitizer build and the threaded tests"
threaded='^(PageSourceTest\.|BindingPropertyTest\.TreesOnTwoThreads|BindingTypeRegistryTest\.Concurrent'
threaded+='|AllocatorTest\.CountsStayBalancedAcrossThreads|LogGroupTableTest\.Concurrent'
threaded+='|LoggerTest\.ReconfiguringWhileOtherThreadsLog|MatchHistoryEndToEnd\.ReadersOnOtherThreads'
threaded+='|HttpServerTest\.)'
tsan_start=$SECONDS
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZO_SANITIZE_THREAD=ON >/dev/null
cmake --build build/tsan -j "$jobs" --target kzo_tests
ctest --test-dir build/tsan --output-on-failure -j "$jobs" -R "$threaded"
echo "ThreadSanitizer pass: $((SECONDS - tsan_start)) s"

echo "== fuzz targets, 30 seconds each from their seed corpora (clang, libFuzzer)"
bash scripts/fuzz.sh 30
