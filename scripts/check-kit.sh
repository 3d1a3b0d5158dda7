#!/usr/bin/env bash
# The framework as plug-in authors get it: installs an optimised build folder
# (default build/release, already built) into a scratch prefix, builds
# examples/hello against that installation only (after compiling each
# installed header alone), serves it with the installed
# plugin-host and its canned peers and compares both endpoints' JSON; checks
# that the installed host finds its own plug-in and sample data; then makes
# the Debian package and checks its file list.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kzo-kit.XXXXXX")
host_pid=""
cleanup() {
  if [ -n "$host_pid" ]; then kill "$host_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
prefix=$scratch/prefix

echo "== install into a scratch prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

echo "== every installed header compiles alone"
include=$prefix/include/kzo-plugin-framework
failed=$(cd "$include" && find . -name '*.h' | sed 's|^\./||' | sort |
  xargs -P "$(nproc)" -I{} sh -c 'echo "#include \"{}\"" |
    g++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I"$1" -x c++ - >/dev/null 2>&1 ||
    echo "{}"' sh "$include")
if [ -n "$failed" ]; then
  echo "installed headers that do not compile alone:" >&2
  echo "$failed" >&2
  exit 1
fi

echo "== build examples/hello against the installation"
cmake -S examples/hello -B "$scratch/hello" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/hello" -j "$(nproc)" >/dev/null
plugin=$scratch/hello/jvp-be-hello.so
exports=$(nm -D --defined-only "$plugin" | awk '{print $3}')
if [ "$exports" != "load_hello" ]; then
  echo "jvp-be-hello.so exports '$exports', not load_hello alone" >&2
  exit 1
fi

echo "== serve it with the installed plugin-host and its canned peers"
# The log exists before the host starts: the loop below may read it first.
: >"$scratch/host.log"
"$prefix/bin/plugin-host" serve --port 0 --plugin "$plugin" --peers examples/hello/peers \
  2>"$scratch/host.log" &
host_pid=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's|.* on http://127\.0\.0\.1:\([0-9]*\)/ .*|\1|p' "$scratch/host.log")
  [ -n "$port" ] && break
  if ! kill -0 "$host_pid" 2>/dev/null; then break; fi
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "plugin-host did not start:" >&2
  cat "$scratch/host.log" >&2
  exit 1
fi

expect() {
  local path=$1 expected=$2 answer
  answer=$(curl -sS "http://127.0.0.1:$port$path")
  if [ "$answer" != "$expected" ]; then
    echo "GET $path answered $answer" >&2
    echo "           expected $expected" >&2
    cat "$scratch/host.log" >&2
    exit 1
  fi
  echo "GET $path: $answer"
}
expect /hello/v1/greetings/Ada '{"mood":"Cheerful","text":"Hello, Ada!"}'
expect /hello/v1/peer-greeting '{"mood":"Calm","text":"Greetings from the peer"}'
if ! grep -q "hello: the mood is now Cheerful" "$scratch/host.log"; then
  echo "the plug-in's log line is missing:" >&2
  cat "$scratch/host.log" >&2
  exit 1
fi
kill -TERM "$host_pid"
wait "$host_pid"
host_pid=""

echo "== the installed host finds its own plug-in and sample data"
"$prefix/bin/plugin-host" call /kzo-match-history/v1/games/3037071829 >/dev/null 2>"$scratch/call.log" || {
  cat "$scratch/call.log" >&2
  exit 1
}

echo "== the Debian package"
(cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
deb=$(ls "$scratch"/package/kzo-plugin-framework_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$scratch/files"
for file in \
  /usr/bin/plugin-host \
  /usr/lib/kzo-plugin-framework/jvp-be-kzo-match-history.so \
  /usr/lib/libkzo_framework.a \
  /usr/include/kzo-plugin-framework/plugin/app_module.h \
  /usr/include/kzo-plugin-framework/abi/core_abi.h \
  /usr/lib/cmake/KzoPluginFramework/KzoPluginFrameworkConfig.cmake \
  /usr/lib/cmake/KzoPluginFramework/KzoPluginFrameworkConfigVersion.cmake \
  /usr/lib/cmake/KzoPluginFramework/KzoPluginFrameworkTargets.cmake \
  /usr/lib/cmake/KzoPluginFramework/KzoAddPlugin.cmake \
  /usr/lib/cmake/KzoPluginFramework/kzo_plugin_exports.map.in \
  /usr/share/kzo-plugin-framework/sample_data/session.json \
  /usr/share/kzo-plugin-framework/examples/hello/CMakeLists.txt; do
  if ! grep -qx "$file" "$scratch/files"; then
    echo "$(basename "$deb") lacks $file" >&2
    exit 1
  fi
done
if grep -q '/internal/' "$scratch/files"; then
  echo "$(basename "$deb") carries internal headers:" >&2
  grep '/internal/' "$scratch/files" >&2
  exit 1
fi
if ! grep -q '^/usr/lib/kzo-plugin-framework/objects/.*counted_operator_new\.cpp\.o$' "$scratch/files"; then
  echo "$(basename "$deb") lacks the counting operator new's object" >&2
  exit 1
fi
echo "$(basename "$deb"): $(grep -c -v '/$' "$scratch/files") files, none internal"
