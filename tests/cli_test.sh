#!/usr/bin/env bash
# The command line as a process: exit status, standard output and error, the
# files written. (Every reference report is compared in-process by the unit
# tests; here a few go through the whole program.)
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
check() { if eval "$1"; then pass; else fail "$2"; fi; }

# expect STATUS STDERR-PATTERN ARGS...: runs the program and checks its exit
# status and that standard error matches the pattern (grep -E; "" = any).
expect() {
  local status=$1 pattern=$2
  shift 2
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

mkdir -p "$work/folder"
cp n3.dat "$work/n3.dat"
ln -s "$work/n3.dat" "$work/link.dat"

# status | stderr pattern | arguments (one row per case)
while IFS='|' read -r status pattern args; do
  [ -z "$status" ] && continue
  eval "set -- $args"
  expect "$status" "$pattern" "$@"
done <<ROWS
2|no data file given|--
2|no such file|missing.dat
2|is a directory|"$work/folder"
2|wildcard|"n3?.dat"
2|more than one data file|n3.dat repeated.dat
2|--rank|-r 5 n3.dat
2|--initial-m.*not above 0|-m 0 n3.dat
2|--initial-m.*not a number|--initial-m abc n3.dat
2|--initial-m.*not a number|-m 1x n3.dat
2|--initial-m.*not a number|-m -1 n3.dat
2|--initial-m.*empty|-m "" n3.dat
2|--gamma.*not a number|-g abc n3.dat
2|--gamma.*not a number|-g . n3.dat
2|--gamma.*empty|--gamma= n3.dat
2|--solver|--solver fast n3.dat
2|unknown option '--fast'|--fast n3.dat
2|needs a value|n3.dat -o
2|--timeout|-t 0 n3.dat
2|--timeout|--timeout 2s n3.dat
2|--report.*empty|--report= n3.dat
2|--report.*the data file itself|-o "$work/n3.dat" "$work/n3.dat"
2|--report.*the data file itself|-o "$work/link.dat" "$work/n3.dat"
0||-m 1e n3.dat
0||-q -r3 -g -5 n3.dat
0||-t 1e10 n3.dat
0||--solver newton n3.dat
1|^Read data error: Invalid data type$|two_values.dat
1|^Parameter error: Invalid gamma$|-g 0 zero_min.dat
1|^Parameter error: Invalid gamma$|zero_min.dat
0|settled|-r 2 headers_crlf.dat
3|cannot write the report file|-o "$work/no/such/folder/r.txt" n3.dat
ROWS
check '[ "$(wc -l <"$work/out")" = 10 ]' "results missing before a report failure"
check 'cmp -s n3.dat "$work/n3.dat"' "the data file was overwritten"

expect 0 "" --help
check 'grep -q "^Usage: tarquel-cli \[options\] DATAFILE" "$work/out"' "--help text"
expect 0 "" --version
check 'grep -qx "tarquel-cli (Tarquel) 1.01" "$work/out"' "--version text"

# Standard output that cannot be written: the report is still written.
if [ -w /dev/full ]; then
  "$cli" -o "$work/full.txt" n3.dat >/dev/full 2>"$work/err"
  status=$?
  check '[ $status = 5 ] && grep -q "standard output" "$work/err" && [ -s "$work/full.txt" ]' "stdout to /dev/full"
fi

# A FIFO is read in one pass; one without a writer reads as empty.
mkfifo "$work/fifo"
cat n3.dat >"$work/fifo" &
expect 0 "" -q "$work/fifo"
timeout 10 "$cli" -q "$work/fifo" >/dev/null 2>"$work/err" &
sleep 0.2; rm -f "$work/fifo"   # no writer ever comes
wait $!
status=$?
check '[ $status = 1 ] && grep -q "Invalid data type" "$work/err"' "a FIFO without a writer blocked or was misread"

# Stop by time-out (counted from the start of the iteration) and by Ctrl-C
# on a large sample: status 4, results for the point reached.
# Times near 1e6 with a spread of a few per cent: ln x is large against its
# spread, and the damped iteration needs many thousands of steps.
awk 'BEGIN { for (i = 1; i <= 400000; i++) printf "%.3f\n", 1000 * (50 + (i % 997) * 1.37 + i / 1e4) }' >"$work/big.dat"
expect 4 "stopped after 1 s" -t 1 "$work/big.dat"
check '[ "$(wc -l <"$work/out")" = 10 ] && ! grep -q "m      =  1.00000000e+000" "$work/out"' \
  "the time-out left no iteration step"
"$cli" "$work/big.dat" >"$work/out" 2>"$work/err" &
pid=$!
sleep 1
kill -INT $pid
wait $pid
status=$?
check '[ $status = 4 ] && grep -q "stopped;" "$work/err" && [ "$(wc -l <"$work/out")" = 10 ]' "Ctrl-C: status $status"

# A few reference cases through the whole program: standard output is report
# lines 4 to 13 and the report file matches byte for byte (CR LF) apart from
# lines 2 and 4.
for name in n3.rank1.auto headers_crlf.rank2.gamma500 repeated.rank4.auto concave_up.rank3.gamma0.25; do
  golden="$tests/golden/$name.txt"
  data=${name%%.rank*}
  rest=${name#*.rank}
  rank=${rest%%.*}
  mode=${rest#*.}
  args=(-q -r "$rank" -o "$work/report.txt")
  [ "$mode" != auto ] && args+=(-g "${mode#gamma}")
  "$cli" "${args[@]}" "$data.dat" >"$work/out" 2>"$work/err"
  check '[ "$(tr -d "\r" <"$work/report.txt" | wc -l)" = "$(grep -c $'"'"'\r$'"'"' "$work/report.txt")" ] &&
         diff <(tr -d "\r" <"$work/report.txt" | sed "2d;4d") <(sed "2d;4d" "$golden") >/dev/null &&
         diff <(sed 1d "$work/out") <(sed -n 5,13p "$golden") >/dev/null' "$name differs from the reference"
done

echo "$passed passed, $failed failed"
[ $failed = 0 ]
