#!/usr/bin/env bash
# The command line's reading options as a process: a table, counts, the
# refusal cause and the reader's warnings. These need the run to read each
# data file with readData(path, line.read, ...) and to show the cause and
# readerWarnings(contents); until then they fail.
# Usage: cli_table_test.sh PATH/TO/tarquel-cli TESTS_DIR
set -u
cli=$(realpath "$1")
tests=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
passed=0 failed=0

pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() { if eval "$1"; then pass; else fail "$2"; fi; }

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
"$cli" -q --column hours thousands.csv >/dev/null 2>"$work/err"
status=$?
cause="line 3, column hours: '1,250' is not a number"
check '[ $status = 1 ] && grep -qF -- "$cause" "$work/err"' "table refusal: status $status, stderr '$(cat "$work/err")'"

# What the line reader passed over: one warning per kind and file.
printf 'id,hours,state\n1,1250,F\n2,1300,F\n3,1420,S\n4,1500,F\n' >table_as_lines.dat
"$cli" -q table_as_lines.dat >/dev/null 2>"$work/err"
check 'grep -qF "4 lines hold several fields separated by , or ; (first: line 2); only the first is read; --column picks another" "$work/err" &&
       [ "$(grep -c "several fields" "$work/err")" = 1 ]' "several fields: '$(cat "$work/err")'"

echo "$passed passed, $failed failed"
[ $failed = 0 ]
