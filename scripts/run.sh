#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the reference host, and
# runs the host on the plug-in.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target plugin-host kzo_match_history
exec build/release/plugin-host "$@"
