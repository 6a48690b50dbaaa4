#!/usr/bin/env bash
# Builds the command-line program and fits the example data file (or the
# data file and options given as arguments). Each step is announced, and the
# build shows its progress lines, on standard error; standard output carries
# only the program's results.
set -euo pipefail
cd "$(dirname "$0")/.."
step() { echo "== run.sh: $*" >&2; }
step "checking the packages the build needs (missing ones are installed with apt-get)"
bash scripts/install-deps.sh >&2
step "configuring build/release (Release, without the tests)"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARQUEL_TESTS=OFF >/dev/null
step "building tarquel-cli in build/release with $(nproc) jobs (a minute or two when fresh)"
cmake --build build/release -j"$(nproc)" --target tarquel-cli >&2
if [ $# = 0 ]; then
  set -- -o build/bearings-report.txt examples/bearings.dat
  step "fitting examples/bearings.dat; the report goes to build/bearings-report.txt"
else
  step "running build/release/cli/tarquel-cli $*"
fi
exec build/release/cli/tarquel-cli "$@"
