#!/usr/bin/env bash
# Every test: the source format (.clang-format) of every tracked C++ file,
# the native build with warnings as errors and its tests, the Python module
# installed by pip into a virtual environment with its tests run there, the
# benchmark built and run once on a tiny sample, a one-minute differential
# fuzz run of the data file reader, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows build (x86-64 and i686) with its
# tests under Wine on a virtual display, and the release packages built and
# listed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --windows
jobs=$(nproc)

echo "== source format (clang-format-14, .clang-format)"
if ! command -v clang-format-14 >/dev/null; then
  echo "test.sh: clang-format-14 not found (Debian package clang-format-14)" >&2
  exit 1
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run -Werror

echo "== native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release -DTARQUEL_WERROR=ON >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure -j"$jobs"

echo "== Python module: pip install into build/python-venv, and its tests"
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -m venv --system-site-packages build/python-venv
TARQUEL_BUILD_DIR="$PWD/build/native" build/python-venv/bin/python -m pip install -q --no-build-isolation --no-index .
venv_python=build/python-venv/bin/python
runner=(-m unittest discover -s python/tests)  # pytest when Debian's python3-pytest is there
"$venv_python" -c "import pytest" 2>/dev/null && runner=(-m pytest -q -p no:cacheprovider python/tests)
"$venv_python" -c "import tarquel; print('tarquel from', tarquel.__file__)"
TARQUEL_CLI="$PWD/build/native/cli/tarquel-cli" "$venv_python" "${runner[@]}"

echo "== benchmark smoke run"
JOBS="$jobs" bash scripts/bench.sh --smoke

echo "== reader fuzzing"
bash scripts/fuzz.sh 60

echo "== sanitizer build"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTARQUEL_WERROR=ON -DTARQUEL_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

echo "== Windows build and tests under Wine"
bash ui/windows-tests.sh

echo "== release packages"
bash scripts/package.sh
