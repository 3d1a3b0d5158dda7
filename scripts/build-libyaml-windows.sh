#!/usr/bin/env bash
# Builds a static libyaml for 32-bit Windows from Debian's source package, the
# one dependency of the framework that Debian does not ship for mingw-w64.
#
#   scripts/build-libyaml-windows.sh [prefix]
#
# The prefix (default build/deps/win32, where cmake/windows-i686.cmake looks)
# receives include/yaml.h, lib/libyaml.a and lib/pkgconfig/yaml-0.1.pc. The
# sources come from the Debian archive the machine already uses: a deb-src
# entry for the same archive is added when apt has none. Needs root for that
# and for apt-get update; nothing else is fetched.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(realpath -m "${1:-$root/build/deps/win32}")
work="$root/build/deps"
toolchain="$root/cmake/windows-i686.cmake"
source_list=/etc/apt/sources.list.d/kzo-deb-src.sources

have_deb_src() {
    grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}

# The deb822 entries of the machine's archives, turned into source entries.
add_deb_src() {
    local sources=(/etc/apt/sources.list.d/*.sources)
    if [[ -e "${sources[0]}" ]]; then
        sed -E 's/^Types:.*/Types: deb-src/' "${sources[@]}" >"$source_list"
    elif [[ -f /etc/apt/sources.list ]]; then
        sed -nE 's/^deb (.*)/deb-src \1/p' /etc/apt/sources.list \
            >"${source_list%.sources}.list"
    else
        echo "no apt archive is configured" >&2
        exit 1
    fi
    apt-get update
}

fetch_source() {
    mkdir -p "$work"
    cd "$work"
    local existing
    existing=$(find . -maxdepth 1 -type d -name 'libyaml-*' | head -n 1)
    if [[ -n "$existing" ]]; then
        echo "$work/${existing#./}"
        return
    fi
    apt-get source libyaml >&2
    find . -maxdepth 1 -type d -name 'libyaml-*' | head -n 1 | sed "s|^\./|$work/|"
}

# Upstream's CMakeLists.txt builds the static library with the project's own
# toolchain file; YAML_DECLARE_STATIC makes yaml.h declare plain (not
# dllimport) functions, for libyaml and for every file that includes it.
build_static() {
    local source=$1 build="$work/libyaml-win32-build"
    cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF \
        -DINSTALL_CMAKE_DIR=lib/cmake/yaml -DCMAKE_INSTALL_PREFIX="$prefix"
    cmake --build "$build" -j2 --target yaml
    mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
    cp "$source/include/yaml.h" "$prefix/include/"
    cp "$(find "$build" -name 'libyaml.a' -o -name 'yaml.a' | head -n 1)" "$prefix/lib/libyaml.a"
    write_pkg_config "$source"
}

write_pkg_config() {
    local version
    version=$(sed -nE 's/^set \(YAML_VERSION_(MAJOR|MINOR|PATCH) ([0-9]+)\)/\2/p' \
        "$1/CMakeLists.txt" | paste -sd.)
    cat >"$prefix/lib/pkgconfig/yaml-0.1.pc" <<EOF
prefix=$prefix
includedir=\${prefix}/include
libdir=\${prefix}/lib

Name: LibYAML
Description: Library to parse and emit YAML (static, 32-bit Windows)
Version: ${version:-0.2}
Cflags: -I\${includedir} -DYAML_DECLARE_STATIC
Libs: -L\${libdir} -lyaml
EOF
}

have_deb_src || add_deb_src
build_static "$(fetch_source)"
echo "libyaml for Windows is in $prefix"
