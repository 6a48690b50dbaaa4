#!/usr/bin/env bash
# Installs the Debian packages the build and its tests need (python3,
# rsvg-convert and pngtopnm read back and render the plot SVG; pybind11 and the Python
# packages build and test the Python module, its pandas and Dask parts). With --windows also the
# MinGW-w64 cross compilers, Wine and the virtual display for the Windows
# program and its tests. With --bench also what scripts/bench.sh's comparison
# run needs (scipy, GNU time); the build, the tests and CI never need those.
# Packages already present are left alone.
set -euo pipefail

packages=(g++ cmake make ninja-build libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
          python3 librsvg2-bin netpbm
          pybind11-dev python3-pybind11 python3-dev python3-venv python3-pip python3-setuptools
          python3-numpy python3-pandas python3-dask python3-distributed python3-pytest)
if [ "${1:-}" = "--windows" ]; then
  # Everything the full test run needs: the format check, the fuzzer
  # (clang's libFuzzer), the package tools, and the Windows side.
  packages+=(clang-format-14 clang-14 libclang-rt-14-dev dpkg-dev unzip)
  packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
             binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
             wine wine64 fonts-wine fonts-liberation fonts-ipafont-gothic xvfb xauth x11-utils imagemagick)
fi
if [ "${1:-}" = "--bench" ]; then
  packages+=(python3-scipy time)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} = 0 ] && exit 0

sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
