#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the reference host, and
# runs the host on the plug-in: with no arguments it serves the plug-in over
# HTTP on 127.0.0.1:8080 with the built-in sample data; any arguments are
# passed to plugin-host instead (try --help). It installs only what building
# and serving need, and builds in build/serve without the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh serve
cmake -S . -B build/serve -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZO_BUILD_TESTS=OFF >/dev/null
cmake --build build/serve -j "$(nproc)" --target plugin-host kzo_match_history
if [ $# -eq 0 ]; then
  set -- serve
fi
exec build/serve/plugin-host "$@"
