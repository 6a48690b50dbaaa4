#!/usr/bin/env bash
# The command line as a process: exit status, standard output and error, the
# report file written, for the reference data sets and for refused inputs.
# Usage: cli_test.sh PATH/TO/tarquel-cli TESTS_DIR
set -u
cli=$(realpath "$1")
tests=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$tests/data" || exit 2
passed=0
failed=0

pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }

# expect STATUS STDERR-PATTERN -- ARGS...: runs the program and checks its
# exit status and that standard error matches the pattern (grep -E).
expect() {
  local status=$1 pattern=$2
  shift 3
  "$cli" "$@" >"$work/out" 2>"$work/err" </dev/null
  local got=$?
  if [ "$got" != "$status" ]; then
    fail "tarquel-cli $* exited $got, expected $status; stderr: $(cat "$work/err")"
  elif [ -n "$pattern" ] && ! grep -qE -- "$pattern" "$work/err"; then
    fail "tarquel-cli $*: stderr '$(cat "$work/err")' does not match '$pattern'"
  else
    pass
  fi
}

# Inputs refused as the dialog refuses them, and usage errors.
mkdir -p "$work/folder"
expect 2 "no data file given" --
expect 2 "no such file" -- missing.dat
expect 2 "is a directory" -- "$work/folder"
expect 2 "wildcard" -- "n3?.dat"
expect 2 "wildcard" -- "*.dat"
expect 2 "more than one data file" -- n3.dat repeated.dat
expect 2 "--rank" -- -r 5 n3.dat
expect 2 "--rank" -- --rank=x n3.dat
expect 2 "--initial-m.*not above 0" -- -m 0 n3.dat
expect 2 "--initial-m.*not above 0" -- --initial-m abc n3.dat
expect 2 "--initial-m.*empty" -- -m "" n3.dat
expect 2 "--gamma.*empty" -- --gamma= n3.dat
expect 2 "unknown option '--fast'" -- --fast n3.dat
expect 2 "needs a value" -- n3.dat -o
expect 2 "--timeout" -- -t 0 n3.dat
expect 2 "--timeout" -- --timeout 2s n3.dat
expect 2 "--report.*empty" -- --report= n3.dat

# Accepted inputs and the run's own refusals.
expect 0 "" -- --help
grep -q "^Usage: tarquel-cli \[options\] DATAFILE" "$work/out" && pass || fail "--help text"
expect 0 "" -- --version
grep -q "1.01" "$work/out" && pass || fail "--version text"
expect 0 "" -- -m 1e n3.dat                 # "1e" reads as 1
expect 0 "" -- -q -r3 -g. n3.dat            # a lone point is gamma 0
expect 1 "^Read data error: Invalid data type$" -- two_values.dat
expect 1 "^Parameter error: Invalid gamma$" -- -g 0 zero_min.dat
expect 1 "^Parameter error: Invalid gamma$" -- zero_min.dat
expect 1 "^Parameter error: Invalid gamma$" -- -g 10 n3.dat
[ ! -s "$work/out" ] && pass || fail "a refused run printed results"
expect 0 "" -- -g 9.999 n3.dat

# A report that cannot be written: results still printed, status 3.
expect 3 "cannot write the report file" -- -o "$work/no/such/folder/r.txt" n3.dat
[ "$(wc -l <"$work/out")" = 10 ] && pass || fail "results missing before a report failure"

# A run that settles on a fixed point says so and prints its results.
expect 0 "settled" -- -r 2 headers_crlf.dat

# Stop by time-out and by Ctrl-C on a large sample.
awk 'BEGIN { for (i = 1; i <= 400000; i++) printf "%.6f\n", 50 + (i % 997) * 1.37 + i / 1e4 }' >"$work/big.dat"
expect 0 "stopped after 0.3 s" -- -t 0.3 -m 40 "$work/big.dat"
[ "$(wc -l <"$work/out")" = 10 ] && pass || fail "no results after the time-out"
"$cli" -m 40 "$work/big.dat" >"$work/out" 2>"$work/err" &
pid=$!
sleep 0.5
kill -INT $pid
wait $pid
status=$?
if [ $status = 0 ] && grep -q "stopped;" "$work/err" && [ "$(wc -l <"$work/out")" = 10 ]; then
  pass
else
  fail "Ctrl-C: status $status, stderr $(cat "$work/err")"
fi

# Every reference case: standard output is report lines 4 to 13, the report
# file matches the reference byte for byte (CR LF) apart from lines 2 and 4.
for golden in "$tests"/golden/*.rank*.txt; do
  name=$(basename "$golden" .txt)
  data=${name%%.rank*}
  rest=${name#*.rank}
  rank=${rest%%.*}
  mode=${rest#*.}
  args=(-q -r "$rank" -o "$work/report.txt")
  [ "$mode" != auto ] && args+=(-g "${mode#gamma}")
  rm -f "$work/report.txt"
  "$cli" "${args[@]}" "$data.dat" >"$work/out" 2>"$work/err"
  status=$?
  if [ "$(wc -l <"$golden")" = 1 ]; then
    # A refused run: its message, status 1, no report, nothing on stdout.
    if [ $status = 1 ] && diff -q "$golden" "$work/err" >/dev/null && [ ! -e "$work/report.txt" ] && [ ! -s "$work/out" ]; then
      pass
    else
      fail "$name: status $status, stderr $(cat "$work/err")"
    fi
    continue
  fi
  if [ $status != 0 ]; then fail "$name: status $status"; continue; fi
  if ! sed -n '4p' "$work/report.txt" | tr -d '\r' | grep -qxF "Data file          : RFile  = $data.dat"; then
    fail "$name: data file line"
  fi
  if [ "$(tr -d '\r' <"$work/report.txt" | wc -l)" != "$(grep -c $'\r$' "$work/report.txt")" ]; then
    fail "$name: a line without CR LF"
  fi
  if diff <(tr -d '\r' <"$work/report.txt" | sed '2d;4d') <(sed '2d;4d' "$golden") >/dev/null &&
     diff <(sed '1d' "$work/out") <(sed -n '5,13p' "$golden") >/dev/null &&
     diff <(head -1 "$work/out") <(sed -n '4p' "$work/report.txt" | tr -d '\r') >/dev/null; then
    pass
  else
    fail "$name: report or standard output differs from the reference"
  fi
done

echo "$passed passed, $failed failed"
[ $failed = 0 ]
