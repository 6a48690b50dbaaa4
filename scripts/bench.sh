#!/usr/bin/env bash
# The benchmark: tarquel-cli (both solvers) against scipy's weibull_min.fit on
# the same generated three-parameter Weibull samples, then the per-pass
# timings of tarquel-bench. Prints a Markdown report on standard output (and
# keeps a copy in build/bench-DATE.md); progress goes to standard error.
#
#   bash scripts/bench.sh            10^4..10^6 both samples, 10^7 near 2
#   bash scripts/bench.sh --quick    10^4 and 10^5 only
#   bash scripts/bench.sh --full     10^7 in hours too
#   bash scripts/bench.sh --smoke    CI: build, run tarquel-bench once on tiny
#                                    sizes and both solvers on a tiny sample
#   bash scripts/bench.sh --wine     the 10^6 rows of the Windows x86-64 build
#                                    under Wine beside the native one: times
#                                    and whether the printed digits agree
#   --limit SEC                      time limit of one run (default 600)
#
# Environment: TARQUEL_BUILD_DIR (default build/native), TARQUEL_BENCH_DATA
# (generated samples, default build/bench-data; kept between runs), PYTHON
# (default /usr/bin/python3, the one with Debian's scipy), JOBS (default 2).
# Exit status: 0 done, 1 a run failed or a fitted m disagrees, 2 bad usage.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

mode=default
limit=600
while [ $# -gt 0 ]; do
  case "$1" in
    --quick | --full | --smoke | --wine) mode=${1#--} ;;
    --limit)
      [ $# -ge 2 ] && [[ "$2" =~ ^[0-9]+$ ]] || { echo "bench.sh: --limit needs whole seconds" >&2; exit 2; }
      limit=$2
      shift ;;
    -h | --help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
  shift
done

build_dir=${TARQUEL_BUILD_DIR:-build/native}
data_dir=${TARQUEL_BENCH_DATA:-build/bench-data}
python=${PYTHON:-/usr/bin/python3}
cli=$build_dir/cli/tarquel-cli
bench=$build_dir/bench/tarquel-bench
sampler=$build_dir/bench/tarquel-bench-sample
runner=$build_dir/bench/tarquel-bench-run
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The samples: label, shape, scale, location, seed (scipy's weibull_min
# parameters; Tarquel's t0 is scale^shape).
near2=("near 2" 1.8 2 0.5 1)
hours=("in hours" 1.8 1000 500 2)
# |m / scipy's shape - 1| above this fails the check.
shapeTolerance=0.05

log() { echo "$*" >&2; }

build() {
  log "== building tarquel-cli, tarquel-bench, tarquel-bench-sample and tarquel-bench-run in $build_dir"
  if ! { cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTARQUEL_BENCH=ON &&
         cmake --build "$build_dir" -j"${JOBS:-2}" --target tarquel-cli tarquel-bench tarquel-bench-sample tarquel-bench-run; } \
       >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    exit 1
  fi
}

# generate LAWNAME N: the file of that sample, written once.
generate() {
  local -n law=$1
  local n=$2 file
  file="$data_dir/$(echo "${law[0]}" | tr ' ' -)-$n.dat"
  if [ ! -s "$file" ]; then
    mkdir -p "$data_dir"
    log "   generating $file"
    "$sampler" "$n" "${law[1]}" "${law[2]}" "${law[3]}" "${law[4]}" "$file.part"
    mv "$file.part" "$file"
  fi
  echo "$file"
}

# The shape m in tarquel-cli's output, or nothing.
shapeOf() { awk '$1 == "Shape" { print $NF; exit }' "$1"; }

# runCli SOLVER FILE: one whole-process run under the time limit; sets
# runSeconds (wall time of the tarquel-cli process alone), runKb (its peak
# resident set), runStatus (124 = limit hit) and leaves the output in
# $work/out. tarquel-bench-run spawns the one program and measures both
# (wrapping it in /usr/bin/time and timeout would add two executables to
# every timed run, about 11 ms on the 2-core test machine).
runCli() {
  local line
  line=$("$runner" "$limit" "$work/out" "$work/err" "$cli" -q --solver "$1" "$2")
  read -r runSeconds runKb runStatus <<<"$line"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Runs of one measurement: the median of several for small samples, one
# for large ones, and no repeat of a run that took more than 10 s.
repeatsFor() { if [ "$1" -le 10000 ]; then echo 5; elif [ "$1" -le 100000 ]; then echo 3; else echo 1; fi; }

# timeSolver SOLVER FILE N: sets solverText (seconds or "> LIMIT s"),
# solverSeconds (empty when the limit was hit), solverM, solverKb;
# failures counts runs that ended other than with results or the limit.
timeSolver() {
  local solver=$1 file=$2 n=$3 i times=() kb=0
  solverM=""
  solverSeconds=""
  for ((i = 0; i < $(repeatsFor "$n"); i++)); do
    runCli "$solver" "$file"
    [ "$runKb" -gt "$kb" ] && kb=$runKb
    if [ "$runStatus" = 124 ]; then
      solverText="> $limit s"
      solverKb=$kb
      return
    elif [ "$runStatus" != 0 ]; then
      log "   tarquel-cli --solver $solver $file exited $runStatus: $(cat "$work/err")"
      failures=$((failures + 1))
      solverText="failed ($runStatus)"
      solverKb=$kb
      return
    fi
    solverM=$(shapeOf "$work/out")
    times+=("$runSeconds")
    awk -v s="$runSeconds" 'BEGIN { exit !(s > 10) }' && break
  done
  solverSeconds=$(printf '%s\n' "${times[@]}" | median)
  solverText=$(awk -v s="$solverSeconds" 'BEGIN { printf "%.3g", s }')
  solverKb=$kb
}

# ratio SCIPY OURS: scipy's time over ours ("< x" when ours hit the limit).
ratio() {
  if [ -z "$1" ]; then echo "n/a"
  elif [ -z "$2" ]; then awk -v s="$1" -v l="$limit" 'BEGIN { printf "< %.2g×", s / l }'
  else awk -v s="$1" -v t="$2" 'BEGIN { r = s / t; printf (r >= 10 ? "%.0f×" : "%.2g×"), r }'
  fi
}

# shapeCheck SCIPY-M DAMPED-M NEWTON-M: "ok (d %)" or "DIFFERS (d %)"; the
# two solvers must also agree (they solve the same equation).
shapeCheck() {
  local ours=${2:-$3}
  if [ -z "$1" ] || [ -z "$ours" ]; then echo "n/a"; return; fi
  awk -v s="$1" -v d="$2" -v w="$3" -v tol="$shapeTolerance" 'BEGIN {
    m = (d != "") ? d : w
    rel = m / s - 1; if (rel < 0) rel = -rel
    text = sprintf("%s (%.1f %%)", rel <= tol ? "ok" : "DIFFERS", 100 * rel)
    if (d != "" && w != "") { q = d / w - 1; if (q < 0) q = -q; if (q > 1e-7) text = text ", solvers differ" }
    print text
  }'
}

fmtShape() { [ -n "$1" ] && awk -v m="$1" 'BEGIN { printf "%.4f", m }' || echo "n/a"; }

# measure LAWNAME N: one table row.
measure() {
  local -n lawRef=$1
  local n=$2 file exponent scipyLine scipyM="" scipySeconds="" scipyText
  local dampedText dampedSeconds dampedM newtonText newtonSeconds newtonM kb check
  file=$(generate "$1" "$n")
  exponent=$(awk -v n="$n" 'BEGIN { printf "10^%d", log(n) / log(10) + 0.5 }')
  log "== ${lawRef[0]}, $exponent values"

  set +e
  scipyLine=$(timeout "$limit" "$python" bench/scipy_fit.py "$file" "$n" "$(repeatsFor "$n")")
  local scipyStatus=$?
  set -e
  if [ "$scipyStatus" = 0 ]; then
    read -r scipyM _ _ scipySeconds <<<"$scipyLine"
    scipyText=$(awk -v s="$scipySeconds" 'BEGIN { printf "%.3g", s }')
  elif [ "$scipyStatus" = 124 ]; then
    scipyText="> $limit s"
  else
    scipyText="failed"
    failures=$((failures + 1))
  fi
  log "   scipy   $scipyText${scipySeconds:+ s}, shape ${scipyM:-n/a}"

  timeSolver damped "$file" "$n"
  dampedText=$solverText dampedSeconds=$solverSeconds dampedM=$solverM kb=$solverKb
  log "   damped  $dampedText${dampedSeconds:+ s}, m ${dampedM:-n/a}"
  timeSolver newton "$file" "$n"
  newtonText=$solverText newtonSeconds=$solverSeconds newtonM=$solverM
  [ "$solverKb" -gt "$kb" ] && kb=$solverKb
  log "   newton  $newtonText${newtonSeconds:+ s}, m ${newtonM:-n/a}"

  check=$(shapeCheck "$scipyM" "$dampedM" "$newtonM")
  case "$check" in DIFFERS* | *differ) failures=$((failures + 1)) ;; esac
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' \
    "${lawRef[0]}" "$exponent" "$scipyText" "$dampedText" "$newtonText" \
    "$(ratio "$scipySeconds" "$dampedSeconds")" "$(ratio "$scipySeconds" "$newtonSeconds")" \
    "$(awk -v k="$kb" -v n="$n" 'BEGIN { printf "%.0f", k * 1024 / n }')" \
    "$(fmtShape "$scipyM")" "$(fmtShape "$dampedM")" "$(fmtShape "$newtonM")" "$check" >>"$work/table"
}

machine() {
  local model cores
  model=$(lscpu | awk -F: '/^Model name/ { sub(/^[ \t]+/, "", $2); print $2; exit }')
  cores=$(nproc)
  echo "$model, $cores cores"
}

smoke() {
  local file="$work/smoke.dat" damped newton
  log "== tarquel-bench, tiny sizes"
  "$bench" --benchmark_filter='/10000/|readFile|sortValues/1000000/' --benchmark_min_time=0.01 \
    >"$work/bench.out" 2>&1 || { cat "$work/bench.out" >&2; exit 1; }
  cat "$work/bench.out" >&2
  if grep -q "ERROR OCCURRED" "$work/bench.out"; then log "bench smoke: a benchmark reported an error"; exit 1; fi

  log "== tarquel-cli, both solvers, 1000 values near 2"
  "$sampler" 1000 "${near2[1]}" "${near2[2]}" "${near2[3]}" "${near2[4]}" "$file"
  "$cli" -q --solver damped "$file" >"$work/damped" </dev/null || { log "bench smoke: damped run failed"; exit 1; }
  "$cli" -q --solver newton "$file" >"$work/newton" </dev/null || { log "bench smoke: newton run failed"; exit 1; }
  damped=$(shapeOf "$work/damped")
  newton=$(shapeOf "$work/newton")
  log "   m damped $damped, newton $newton"
  # The same root: the printed m agree to their last digits.
  if ! awk -v d="$damped" -v w="$newton" 'BEGIN { q = d / w - 1; exit !(d > 0 && q < 1e-7 && q > -1e-7) }'; then
    log "bench smoke: the solvers' m differ or are not positive numbers"
    exit 1
  fi
  log "bench smoke: ok"
}

if [ "$mode" = smoke ]; then
  build
  smoke
  exit 0
fi

# The printed results of one run without the data-file line (its path is
# spelt differently under Wine) and with Windows line ends made plain.
digitsOf() { tr -d '\r' <"$1" | grep -v '^Data file'; }

labelOf() { local -n lawOf=$1; echo "${lawOf[0]}"; }

# wineRows: each 10^6 sample and solver, natively and under Wine, one after
# the other; the Windows program must print the same digits.
wineRows() {
  local winBuild=build-win64 exe law file solver native wine startup same
  log "== building the x86-64 Windows tarquel-cli in $winBuild"
  { cmake -S . -B "$winBuild" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$winBuild" -j"${JOBS:-2}" --target tarquel-cli; } >"$work/build.log" 2>&1 ||
    { cat "$work/build.log" >&2; exit 1; }
  exe=$winBuild/cli/tarquel-cli.exe
  export WINEPREFIX="$PWD/$winBuild/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  [ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1 || true; wineserver -w; }
  # A persistent Wine server, started outside the timings: otherwise each
  # run would also start Wine's own services, seconds of the run.
  wineserver -p
  wine "$exe" --version >/dev/null 2>&1
  start=$EPOCHREALTIME; wine "$exe" --version >/dev/null 2>&1; end=$EPOCHREALTIME
  startup=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
  echo "## Windows x86-64 under Wine, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "- Machine: $(machine); $(wine --version); one run each, wall time; Wine's own start"
  echo "  (\`tarquel-cli.exe --version\`) takes $startup s and is included in the Wine column."
  echo
  echo "| sample | n | solver | Linux s | Wine s | Wine/Linux | same digits |"
  echo "|---|---|---|---|---|---|---|"
  for law in near2 hours; do
    file=$(generate "$law" 1000000)
    for solver in damped newton; do
      log "   $(labelOf "$law"), $solver"
      start=$EPOCHREALTIME; "$cli" --solver "$solver" "$file" >"$work/linux.out" 2>&1 </dev/null || true; end=$EPOCHREALTIME
      native=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
      start=$EPOCHREALTIME; wine "$exe" --solver "$solver" "$file" >"$work/wine.out" 2>&1 </dev/null || true; end=$EPOCHREALTIME
      wine=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
      if cmp -s <(digitsOf "$work/linux.out") <(digitsOf "$work/wine.out"); then same=yes; else same=NO; failures=$((failures + 1)); fi
      echo "| $(labelOf "$law") | 10^6 | $solver | $native | $wine | $(awk -v w="$wine" -v l="$native" 'BEGIN { printf "%.2g", w / l }') | $same |"
    done
  done
  wineserver -k 2>/dev/null || true
}

if [ "$mode" = wine ]; then
  build
  failures=0
  wineRows
  [ "$failures" -eq 0 ] || { log "bench.sh: the Windows program printed other digits"; exit 1; }
  exit 0
fi

bash scripts/install-deps.sh --bench
build
case "$mode" in
  quick) nearSizes=(10000 100000) hourSizes=(10000 100000) ;;
  full) nearSizes=(10000 100000 1000000 10000000) hourSizes=(10000 100000 1000000 10000000) ;;
  *) nearSizes=(10000 100000 1000000 10000000) hourSizes=(10000 100000 1000000) ;;
esac

failures=0
loadAtStart=$(cut -d ' ' -f 1-3 /proc/loadavg)
: >"$work/table"
for n in "${nearSizes[@]}"; do measure near2 "$n"; done
for n in "${hourSizes[@]}"; do measure hours "$n"; done

log "== tarquel-bench"
"$bench" >"$work/bench.out" 2>&1 || failures=$((failures + 1))

report="build/bench-$(date +%Y%m%d-%H%M%S).md"
{
  echo "## Benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "- Machine: $(machine); load average $loadAtStart at the start, $(cut -d ' ' -f 1-3 /proc/loadavg) at the end"
  echo "- Tarquel: $("$cli" --version | head -n 1), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD 2>/dev/null || echo ' (modified)')"
  echo "- scipy $("$python" -c 'import scipy; print(scipy.__version__)'), numpy $("$python" -c 'import numpy; print(numpy.__version__)')"
  echo "- tarquel-cli: the whole process, wall time (reading, sorting, gamma search, solve), from"
  echo "  its spawn to the end of the wait (tarquel-bench-run, no wrapper program);"
  echo "  scipy: \`weibull_min.fit\` alone, the file already loaded. Median of 5 runs at 10^4,"
  echo "  3 at 10^5, one above. Limit $limit s per run. Ratio = scipy time / ours (above 1: faster)."
  echo "- Peak bytes per value: the larger peak resident set of the two solvers' runs / n."
  echo "- m check: tarquel's m against scipy's shape, within $(awk -v t="$shapeTolerance" 'BEGIN { print 100 * t }') %."
  echo
  echo "| sample | n | scipy s | damped s | newton s | damped/scipy | newton/scipy | peak B/value | scipy shape | m damped | m newton | m check |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|"
  cat "$work/table"
  echo
  echo "Per pass (tarquel-bench, wall time; items = points, time_per_point = its inverse):"
  echo
  echo '```'
  cat "$work/bench.out"
  echo '```'
} | tee "$report"
log "report kept in $report"
if [ "$failures" -gt 0 ]; then
  log "bench.sh: $failures failed run(s) or m check(s)"
  exit 1
fi
