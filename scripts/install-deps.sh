#!/usr/bin/env bash
# Installs the Debian 12 packages this project needs, skipping those already
# present. Needs root (or sudo) only when something is missing.
# Usage: scripts/install-deps.sh [serve|full]
#   serve  what building the plug-in and plugin-host and serving need
#   full   (the default) everything scripts/check.sh builds and tests with
set -euo pipefail

profile=${1:-full}
case "$profile" in
  serve | full) ;;
  *)
    echo "usage: $0 [serve|full]" >&2
    exit 2
    ;;
esac

serve_packages=(
  build-essential cmake pkg-config      # compilers and the build
  rapidjson-dev libyaml-dev             # the codecs
  libboost-dev                          # Boost.Beast and Asio: the reference host's HTTP server
  libjs-dygraphs                        # the chart library plugin-host serves to its page
)

check_packages=(
  g++-multilib                          # the 32-bit build: gcc -m32, its libstdc++ and C library
  libgtest-dev libgmock-dev             # tests
  libbenchmark-dev                      # benchmarks in bench/
  libmsgpack-cxx-dev libyaml-cpp-dev    # what the codec benchmarks compare against
  clang libclang-rt-14-dev              # fuzz targets in fuzz/
  locales                               # a comma-decimal locale for the number tests
  chromium chromium-driver python3-selenium  # the page's test in headless Chromium
  fonts-dejavu-core                     # a font for the page's screenshots
  python3                               # the layering test (scripts/check-layering.py)
  clang-format clang-tidy               # the format and lint checks
  curl                                  # scripts/check-kit.sh asks the installed host
  g++-mingw-w64-i686-posix wine         # the Windows DLL, cross-built and run under Wine
)

# The 32-bit build (cmake/i386.cmake) links the i386 builds of the libraries
# that are not header-only: libyaml for the codecs, GoogleTest and GoogleMock.
i386_packages=(libyaml-dev:i386 libgtest-dev:i386 libgmock-dev:i386 wine32:i386)

packages=("${serve_packages[@]}")
if [ "$profile" = full ]; then
  packages+=("${check_packages[@]}" "${i386_packages[@]}")
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$profile" = full ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$profile" = serve ]; then
  exit 0
fi

# Numbers must read the same under a locale whose decimal point is a comma;
# the tests that show it skip when no such locale exists.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "Generating the de_DE.UTF-8 locale"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
    echo "Could not generate de_DE.UTF-8; the comma-decimal locale tests will skip"
fi
