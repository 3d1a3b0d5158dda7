#!/usr/bin/env bash
# Installs the Debian 12 packages this project builds, tests and runs with,
# skipping those already present. Needs root (or sudo) only when something is
# missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config      # compilers and the build
  g++-multilib                          # 32-bit check of the core boundary layout
  rapidjson-dev libyaml-dev             # the codecs
  libgtest-dev libgmock-dev             # tests
  libbenchmark-dev                      # benchmarks in bench/
  libmsgpack-cxx-dev libyaml-cpp-dev    # what the codec benchmarks compare against
  clang libclang-rt-14-dev              # fuzz targets in fuzz/
  libboost-dev                          # Boost.Beast and Asio: the reference host's HTTP server
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
