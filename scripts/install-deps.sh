#!/usr/bin/env bash
# Installs the Debian packages the build needs: compilers, CMake, GoogleTest,
# and the header-only CLI11 and nlohmann/json (the Windows build uses the same
# headers). With --windows also the MinGW-w64 cross compilers, Wine and the
# virtual display for the Windows program and its tests. Packages already
# present are left alone.
set -euo pipefail

packages=(g++ cmake make libgtest-dev libcli11-dev nlohmann-json3-dev)
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
             binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
             wine wine64 fonts-wine fonts-liberation xvfb xauth x11-utils imagemagick)
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
