#!/usr/bin/env bash
# Every test: the native build with warnings as errors, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows build
# (x86-64 and i686) with its tests run under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --windows
jobs=$(nproc)

echo "== native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release -DTARQUEL_WERROR=ON >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure -j"$jobs"

echo "== sanitizer build"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTARQUEL_WERROR=ON -DTARQUEL_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

echo "== Windows build and tests under Wine"
bash ui/windows-tests.sh
