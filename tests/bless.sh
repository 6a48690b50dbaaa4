#!/usr/bin/env bash
# Rewrites the golden reports from the current tarquel-cli, keeping each file's
# own notice and data file lines (2 and 4). Review the diff before committing.
# Usage: tests/bless.sh [PATH/TO/tarquel-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$(realpath "${1:-$here/../build/native/cli/tarquel-cli}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$here/data"
for golden in "$here"/golden/*.rank*.txt; do
  name=$(basename "$golden" .txt)
  rest=${name#*.rank}
  mode=${rest#*.}
  args=(-q --solver damped -r "${rest%%.*}" -o "$work/report.txt")  # the desktop program's digits
  [ "$mode" != auto ] && args+=(-g "${mode#gamma}")
  rm -f "$work/report.txt"
  if "$cli" "${args[@]}" "${name%%.rank*}.dat" >/dev/null 2>"$work/err"; then
    tr -d '\r' <"$work/report.txt" |
      awk -v notice="$(sed -n 2p "$golden")" -v path="$(sed -n 4p "$golden")" \
        'NR == 2 { print notice; next } NR == 4 { print path; next } { print }' >"$golden"
  else
    grep -v '^tarquel-cli:' "$work/err" >"$golden"
  fi
done
# The kernel, generated-fit, fit-quality and plot goldens are rewritten by the unit tests:
TARQUEL_BLESS=1 "$(dirname "$cli")/../tests/tarquel-tests" --gtest_filter="PortableMath.SameBits*:FitGolden.*:FitQuality.SameBits*:PlotSvg.SameBytes*:ComparisonPlot.SameBytes*" >/dev/null
git -C "$here" status --short -- golden
