#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the reference host, and
# runs the host on the plug-in: with no arguments it serves the plug-in over
# HTTP on 127.0.0.1:8080 with the built-in sample data; any arguments are
# passed to plugin-host instead (try --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target plugin-host kzo_match_history
if [ $# -eq 0 ]; then
  set -- serve
fi
exec build/release/plugin-host "$@"
