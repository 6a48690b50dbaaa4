#!/usr/bin/env bash
# Builds the command-line program and fits the example data file (or the
# data file and options given as arguments).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARQUEL_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" >/dev/null
if [ $# = 0 ]; then
  set -- -o build/bearings-report.txt examples/bearings.dat
fi
exec build/release/cli/tarquel-cli "$@"
