#!/usr/bin/env bash
# Builds the data file and table readers' differential fuzz target with clang and
# libFuzzer (AddressSanitizer and UndefinedBehaviorSanitizer on) and runs it.
#
# Needs: clang-14 (or CXX_FUZZ naming a clang++ with libFuzzer), libclang-rt-14-dev.
# Usage: scripts/fuzz.sh [seconds]   (default 60)
# Exit status: 0 when the run found nothing, non-zero on a finding; the input
# that shows it is left in build/fuzz/ (crash-*, timeout-*, oom-*).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
cxx="${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++)}"
out="$root/build/fuzz"
mkdir -p "$out/corpus"

echo "== building the reader fuzz target with $cxx"
"$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer -ffp-contract=off \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" \
    "$root/tests/fuzz/reader_fuzz.cpp" "$root/datafiles/data_file.cpp" "$root/datafiles/data_table.cpp" \
    "$root/datafiles/text_blocks.cpp" "$root/datafiles/value_store.cpp" "$root/datafiles/number_text.cpp" \
    -o "$out/reader_fuzz"

echo "== fuzzing for $seconds s (new inputs go to build/fuzz/corpus)"
status=0
"$out/reader_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=1024 -print_final_stats=1 \
    -dict="$root/tests/fuzz/reader.dict" -artifact_prefix="$out/" \
    "$out/corpus" "$root/tests/fuzz/corpus" || status=$?
if [ "$status" -eq 0 ]; then
    echo "Reader fuzzing: no finding in $seconds s"
else
    echo "Reader fuzzing: FINDING (exit status $status); see $out/ for the input"
fi
exit "$status"
