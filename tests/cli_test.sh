#!/usr/bin/env bash
# The command line as a process: exit status, standard output and error, the
# files written, the reading options. (Every reference report is compared
# in-process by the unit tests; here a few go through the whole program.)
# Usage: cli_test.sh PATH/TO/tarquel-cli TESTS_DIR
set -u
cli=$(realpath "$1")
tests=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The program runs on copies of the data files and golden reports: whatever a
# faulty run writes (over a data file, beside it) stays in the temporary folder.
cp -R "$tests/data" "$work/data" && cp -R "$tests/golden" "$work/golden" || exit 2
cd "$work/data" || exit 2
passed=0 failed=0

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
  check '[ "$got" = "$status" ] && { [ -z "$pattern" ] || grep -qE -- "$pattern" "$work/err"; }' \
    "tarquel-cli $* exited $got (expected $status), stderr '$(cat "$work/err")' (expected '$pattern')"
}

mkdir -p "$work/folder"
printf '0.5\n0.001\n0.002\n' >"$work/neg3.dat"
cp n3.dat "$work/n3.dat"
ln -s "$work/n3.dat" "$work/link.dat"
: >"$work/out.txt"
ln -s "$work/out.txt" "$work/outlink.txt"

# status | stderr pattern | arguments (one row per case)
while IFS='|' read -r status pattern args; do
  [ -z "$status" ] && continue
  eval "set -- $args"
  expect "$status" "$pattern" "$@"
done <<ROWS
2|no data file given|--
2|is a directory|"$work/folder"
2|wildcard|"n3?.dat"
2|no such file|n3.dat missing.dat
2|--report: one report file for 2 data files|-o "$work/r.txt" n3.dat repeated.dat
2|exclude each other|-o "$work/r.txt" --report-dir "$work/folder" n3.dat
2|--report-dir: '.*' is not a directory|--report-dir "$work/none" n3.dat
2|two data files would both write|--report-dir "$work/folder" n3.dat "$work/n3.dat"
2|--plot: one plot file for 2 data files|--plot "$work/p.svg" n3.dat repeated.dat
2|--plot.*the data file itself|--plot n3.dat n3.dat
2|--format: 'xml' is not text, json or csv|--format xml n3.dat
2|--confidence: '1' is not a number between 0 and 1|--confidence 1 n3.dat
2|--confidence|--confidence 0 n3.dat
2|--rank|-r 5 n3.dat
2|--initial-m.*not above 0|-m 0 n3.dat
2|--initial-m.*not a number|--initial-m abc n3.dat
2|--initial-m.*not a number|-m -1 n3.dat
2|--initial-m.*empty|-m "" n3.dat
2|--gamma.*not a number|-g abc n3.dat
2|--gamma.*not a number|-g . n3.dat
2|--solver|--solver fast n3.dat
2|--gamma-method: 'ml' is not curvature or mle|--gamma-method ml n3.dat
2|--shape-method: 'rr' is not mle, rry or rrx|--shape-method rr n3.dat
2|unknown option '--fast'|--fast n3.dat
2|needs a value|n3.dat -o
2|--timeout|-t 0 n3.dat
2|--timeout|--timeout 2s n3.dat
2|--report.*the data file itself|-o "$work/link.dat" "$work/n3.dat"
2|--report and --plot: both would write|-o "$work/same.txt" --plot "$work/folder/../same.txt" n3.dat
2|--report and --plot: both would write|-o "$work/out.txt" --plot "$work/outlink.txt" n3.dat
2|--report-dir and --plot: both would write '.*/folder/n3.txt'|--report-dir "$work/folder" --plot "$work/folder/n3.txt" n3.dat
2|^tarquel-cli: -c: a flag takes no value$|-c=1 n3.dat
2|^tarquel-cli: --version: a flag takes no value$|--version=
2|^tarquel-cli: -m: the value after '=' is empty$|-m= 2 n3.dat
2|^tarquel-cli: --column: the value after '=' is empty$|--column= n3.dat
2|--status-column: only with --column|--status-column st n3.dat
2|--decimal-comma: only with --column|--decimal-comma n3.dat
2|--counts and --column exclude each other|--counts --column 1 n3.dat
2|--delimiter: 'x' is not , ; or tab|--column 1 --delimiter x n3.dat
2|--column: '0' is no column|--column 0 n3.dat
2|--decimal-comma and --delimiter ','|--column 1 --decimal-comma --delimiter , n3.dat
0||-r=3 -q n3.dat
2|--at: 'x' is not a number|--at 1,x n3.dat
2|--b-life: '100' is not a percentage|--b-life 10,100 n3.dat
2|--sided: 'both'|--sided both n3.dat
2|--bounds: 'exact'|--bounds exact n3.dat
2|--plot and --plot-dir exclude each other|--plot "$work/p.svg" --plot-dir "$work/folder" n3.dat
2|--plot-dir: '.*' is not a directory|--plot-dir "$work/none" n3.dat
0||-m 1e n3.dat
0||-q -r3 -g -5 n3.dat
0||-t 1e10 n3.dat
0||--format csv --confidence 0.999 n3.dat repeated.dat
1|^tarquel-cli: two_values.dat: Read data error: Invalid data type: fewer than 3 values \(2\)$|n3.dat two_values.dat repeated.dat
1||--format json two_values.dat
1|^Read data error: Invalid data type: fewer than 3 values \(2\)$|two_values.dat
0|settled|--solver damped -r 2 headers_crlf.dat
6|not a valid fit: m = -0.52889|-q --solver damped -g 0 "$work/neg3.dat"
0||-q --solver newton -g 0 "$work/neg3.dat"
6|not a valid fit: m = nan|--solver damped -m 1e300 n3.dat
3|cannot write the plot file '.*/p.svg'|--plot "$work/no/such/folder/p.svg" n3.dat
3|cannot write the report file|-o "$work/no/such/folder/r.txt" n3.dat
ROWS
check '[ "$(wc -l <"$work/out")" = 22 ]' "results missing before a report failure"
# A plot file whose writing fails (the device is full): status 3, results printed.
if [ -w /dev/full ]; then
  expect 3 "^tarquel-cli: cannot write the plot file '/dev/full'" -q --plot /dev/full n3.dat
  check '[ "$(wc -l <"$work/out")" = 22 ]' "results missing before a plot failure"
fi
check 'cmp -s n3.dat "$work/n3.dat"' "the data file was overwritten"
check '[ ! -s "$work/out.txt" ] && [ ! -e "$work/same.txt" ]' "an output refused as one file with another was written"

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

# A large sample: times near 1e6 with a spread of a few per cent (ln x is
# large against its spread: the damped iteration needs many thousands of steps).
awk 'BEGIN { for (i = 1; i <= 400000; i++) printf "%.3f\n", 1000 * (50 + (i % 997) * 1.37 + i / 1e4) }' >"$work/big.dat"

# A FIFO is read in one pass, through many short reads (the fit of the file
# it carries); one without a writer reads as empty.
"$cli" -q --format json "$work/big.dat" 2>/dev/null | sed 's/"file":"[^"]*",//' >"$work/a"
mkfifo "$work/fifo"
cat "$work/big.dat" >"$work/fifo" &
expect 0 "" -q --format json "$work/fifo"
check 'sed "s/\"file\":\"[^\"]*\",//" "$work/out" | cmp -s - "$work/a"' "a FIFO: not the fit of the file it carried"
(sleep 0.2; rm -f "$work/fifo") &   # no writer ever comes
timeout 10 "$cli" -q "$work/fifo" >/dev/null 2>"$work/err"
status=$?
check '[ $status = 1 ] && grep -q "Invalid data type" "$work/err"' "a FIFO without a writer blocked or was misread"

# Stop by time-out (counted from the start of the iteration) and by Ctrl-C
# on the large sample: status 4, results for the point reached.
expect 4 "stopped after 1 s" --solver damped -t 1 "$work/big.dat"
check '[ "$(wc -l <"$work/out")" = 22 ] && ! grep -q "m      =  1.00000000e+000" "$work/out"' \
  "the time-out left no iteration step"
"$cli" --solver damped "$work/big.dat" >"$work/out" 2>"$work/err" &
sleep 1; kill -INT $!; wait $!
status=$?
check '[ $status = 4 ] && grep -q "stopped;" "$work/err" && [ "$(wc -l <"$work/out")" = 22 ]' "Ctrl-C: status $status"

# Several data files: the text of each single run, a blank line between;
# --report-dir writes what -o writes; a refused file adds status 1.
"$cli" -q n3.dat >"$work/a" 2>/dev/null
"$cli" -q repeated.dat >"$work/b" 2>/dev/null
expect 1 "" -q --report-dir "$work/folder" n3.dat two_values.dat repeated.dat
check 'diff <(cat "$work/a"; echo; cat "$work/b") "$work/out" >/dev/null' "batch text output"
"$cli" -q -o "$work/r.txt" n3.dat >/dev/null 2>&1
check 'cmp -s "$work/r.txt" "$work/folder/n3.txt" && [ -s "$work/folder/repeated.txt" ] &&
       [ ! -e "$work/folder/two_values.txt" ]' "--report-dir reports"

# Nothing of a stopped fit reaches the next file: after a time-out and a
# refusal, the last line equals the file's own run; the status is 4.
"$cli" -q --format json --solver damped -m 40 n3.dat >"$work/a" 2>/dev/null
expect 4 "" -q --format json --solver damped -t 0.3 -m 40 "$work/big.dat" two_values.dat n3.dat
check '[ "$(wc -l <"$work/out")" = 3 ] &&
       sed -n 1p "$work/out" | grep -q "\"ending\":\"time-out\".*\"warnings\":\[\"stopped after 0.3 s; results" &&
       sed -n 2p "$work/out" | grep -qx "{\"file\":\"two_values.dat\",\"error\":{\"caption\":\"Read data error\",\"text\":\"Invalid data type\",\"cause\":\"fewer than 3 values (2)\"}}" &&
       sed -n 3p "$work/out" | cmp -s - "$work/a"' "batch after a time-out"

# Suspensions: read as such with --censored (the report says r/n and lists
# the failures only), warned about without it. (Text after a number that is
# no status word: the reader's rows.)
"$cli" -q -c --format json remission.dat >"$work/out" 2>"$work/err"
check 'grep -q "\"failures\":9,\"suspensions\":12" "$work/out" && ! grep -q "read as failures" "$work/err"' \
  "--censored JSON counts"
"$cli" -q -c -o "$work/censored.txt" remission.dat >/dev/null 2>&1
check 'tr -d "\r" <"$work/censored.txt" | grep -qx "Censoring          : r/n    = 9/21" &&
       [ "$(wc -l <"$work/censored.txt")" = $((18 + 9)) ]' "censored report: the r/n line and 9 failure rows"
expect 0 "12 values are marked suspended \(S\) but were read as failures" -q remission.dat

# CSV: the header row, then one row of 28 fields per data file.
"$cli" -q --format csv n3.dat zero_min.dat >"$work/out" 2>/dev/null
check '[ "$(sed -n 1p "$work/out")" = "file,n,rank,gamma_source,m,t0,gamma,eta,mu,xi,tm,sigma2,log_likelihood,r2,anderson_darling,B1,B10,B50,m_lo,m_hi,eta_lo,eta_hi,B10_lo,B10_hi,ending,failures,suspensions,valid" ] &&
       [ "$(awk -F, "NF == 28" "$work/out" | wc -l)" = 3 ] && grep -qx "zero_min.dat,*" "$work/out"' "CSV rows"

# Life figures on demand: B-lives named as typed (shortest form), R(t) with
# no bounds at t <= gamma, one-sided bounds with the other side null; the
# default B-lives typed out are the default's digits; --plot-dir.
"$cli" -q --format json --b-life 0.10,10 --at 0,30 --sided lower --bounds likelihood repeated.dat >"$work/out" 2>/dev/null
check 'grep -q "\"b_lives\":{\"B0.1\":[^,]*,\"B10\":[^,}]*},\"bounds\":{\"confidence\":0.9,\"sided\":\"lower\",\"method\":\"likelihood\",\"m\":\[[^,]*,null\],\"eta\":\[[^,]*,null\],\"B0.1\":\[[^,]*,null\]" "$work/out" &&
       grep -q "\"at\":\[{\"t\":0,\"R\":1,\"bounds\":null},{\"t\":30,\"R\":[^,]*,\"bounds\":\[[^,]*,null\]}\]" "$work/out"' "--b-life, --at, --sided, --bounds in JSON"
"$cli" -q --format csv repeated.dat >"$work/a" 2>/dev/null
"$cli" -q --format csv --b-life 1,10,50 --at 30 repeated.dat >"$work/b" 2>/dev/null
check '[ "$(cut -d, -f16-18 "$work/a")" = "$(cut -d, -f16-18 "$work/b")" ] &&
       sed -n 1p "$work/b" | grep -q ",suspensions,valid,R@30,R@30_lo,R@30_hi$"' "--b-life 1,10,50 and --at in CSV"
"$cli" -q --plot-dir "$work/folder" n3.dat repeated.dat >/dev/null 2>&1
check '[ -s "$work/folder/n3.svg" ] && grep -c "class=\"band\"" "$work/folder/repeated.svg" | grep -qx 2' "--plot-dir"

# The bounds' level as given.
"$cli" -q --confidence 0.95 n3.dat >"$work/out" 2>/dev/null
check 'grep -q "^Bounds, two-sided at confidence 0.95 (Fisher matrix, gamma held fixed)" "$work/out"' "--confidence"

# A few reference cases through the whole program: standard output is report
# lines 4 to 13 and the report file matches byte for byte (CR LF) apart from
# lines 2 and 4. After them comes the block of fit-quality figures. The
# references are the desktop program's digits: the damped iteration.
while read -r data rank gamma; do
  golden="$work/golden/$data.rank$rank.$([ -z "$gamma" ] && echo auto || echo "gamma$gamma").txt"
  "$cli" -q --solver damped -r "$rank" -o "$work/report.txt" ${gamma:+-g "$gamma"} "$data.dat" >"$work/out" 2>"$work/err"
  check '[ "$(tr -d "\r" <"$work/report.txt" | wc -l)" = "$(grep -c $'"'"'\r$'"'"' "$work/report.txt")" ] &&
         diff <(tr -d "\r" <"$work/report.txt" | sed "2d;4d") <(sed "2d;4d" "$golden") >/dev/null &&
         diff <(sed -n 2,10p "$work/out") <(sed -n 5,13p "$golden") >/dev/null' "$golden differs from the run"
done <<ROWS
n3 1
concave_up 3 0.25
ROWS

# The model options: the ranked distributions' table (their JSON and plots:
# plot_svg_test.py), the likelihood location, rank regression.
"$cli" -q --compare "$tests/../examples/bearings.dat" >"$work/out" 2>/dev/null
check 'grep -q "^Distributions ranked by AICc (n = " "$work/out" && [ "$(grep -cE "^ +[1-8] [a-z0-9]+ " "$work/out")" = 8 ]' "--compare table"
"$cli" -q --gamma-method mle --shape-method rrx --format json "$tests/../examples/bearings.dat" >"$work/out" 2>/dev/null
check 'grep -q "\"gamma_source\":\"mle\"" "$work/out" && grep -q "\"shape_method\":\"rrx\"" "$work/out"' "--gamma-method mle --shape-method rrx"
# No run wrote over a data file or beside them.
check 'diff -r "$tests/data" "$work/data" >/dev/null' "the data folder changed: $(diff -rq "$tests/data" "$work/data")"

# The reading options: a table, counts, the refusal cause and the reader's
# warnings (in a folder of their own).
mkdir "$work/table" && cd "$work/table" || exit 2
# The same fit from a plain file and from each table form, but for the
# "Data file" line.
cp "$tests/data/repeated.dat" plain.dat
"$cli" -q --format json plain.dat | sed 's/"file":"[^"]*",//' >plain.json
awk 'BEGIN { print "id,\"hours, total\",state" } { printf "%d,\"%s\",F\n", NR, $1 }' plain.dat >comma.csv
awk 'BEGIN { print "id;hours" } { v = $1; printf "%d;%s\r\n", NR, v }' plain.dat >semicolon.csv
while IFS='|' read -r file args; do
  [ -z "$file" ] && continue
  eval "set -- $args"
  "$cli" -q --format json "$@" "$file" 2>"$work/err" | sed 's/"file":"[^"]*",//' >table.json
  check 'cmp -s plain.json table.json' "$file $args: not the plain file's fit ($(cat "$work/err"))"
done <<ROWS
comma.csv|--column "hours, total"
comma.csv|--column 2 --status-column state
semicolon.csv|--column 2 --delimiter ";"
ROWS

# Counts: the same fit as the file written out; a table's count column too.
printf '12 1\n15 3\n18\n20 2 F\n25\n30 1 S\n' >counted.dat
printf '12\n15\n15\n15\n18\n20\n20\n25\n30 S\n' >written.dat
printf 'h,n,s\n12,1,F\n15,3,F\n18,1,F\n20,2,failed\n25,1,1\n30,1,suspended\n' >counted.csv
"$cli" -q -c --format json written.dat 2>/dev/null | sed 's/"file":"[^"]*",//' >written.json
"$cli" -q -c --counts --format json counted.dat 2>/dev/null | sed 's/"file":"[^"]*",//' >counted.json
check 'cmp -s written.json counted.json' "--counts: not the written-out file's fit"
"$cli" -q --column h --count-column n --status-column s --format json counted.csv 2>/dev/null | sed 's/"file":"[^"]*",//' >table.json
check 'cmp -s written.json table.json' "--count-column: not the written-out file's fit"

# A refusal with its cause: exit status 1.
printf 'id,hours\n1,10\n2,"1,250"\n3,20\n' >thousands.csv
expect 1 "line 3, column hours: '1,250' is not a number" -q --column hours thousands.csv

# What the line reader passed over: one warning per kind and file.
printf 'id,hours,state\n1,1250,F\n2,1300,F\n3,1420,S\n4,1500,F\n' >table_as_lines.dat
expect 0 "^tarquel-cli: 4 lines hold several fields separated by , or ; \(first: line 2\); only the first is read; --column picks another$" -q table_as_lines.dat
check '[ "$(grep -c "several fields" "$work/err")" = 1 ]' "several fields: '$(cat "$work/err")'"

echo "$passed passed, $failed failed"
[ $failed = 0 ]
