#!/usr/bin/env bash
# Runs the whole x86_64 suite N times in a row in the existing build (./test.sh builds it), as
# ./test.sh runs it (CTest with -j of the machine's cores), in a fresh Wine prefix for the first
# run only; with --load K, K busy CPU hogs run beside it the whole time. Prints each run's
# failures with the test programs and the tests that failed, and the count of green runs.
#   tests/soak.sh 20 --load 4
set -uo pipefail
cd "$(dirname "$0")/.."
usage() { echo "usage: tests/soak.sh N [--load K]" >&2; exit 2; }
[ $# -ge 1 ] && [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -ge 1 ] || usage
runs=$1
shift
load=0
if [ $# -gt 0 ]; then
  [ "$1" = --load ] && [ $# -eq 2 ] && [[ "$2" =~ ^[0-9]+$ ]] || usage
  load=$2
fi

tests="$(pwd)/build/x86_64"
[ -x "$tests/wine-run.sh" ] || { echo "no x86_64 build in $tests: run ./test.sh first" >&2; exit 2; }
jobs=$(nproc 2>/dev/null || echo 4)
logs="$tests/soak"
rm -rf "$logs"
mkdir -p "$logs"

source cmake/test-env.sh
hogs=()
stop_all() {
  for pid in "${hogs[@]}"; do kill "$pid" >/dev/null 2>&1; done
  kelvara_stop_test_env
}
trap stop_all EXIT
trap 'exit 130' INT TERM

for _ in $(seq "$load"); do
  sh -c 'while :; do :; done' &
  hogs+=($!)
done

kelvara_start_display || exit 1
kelvara_fresh_prefix

green=0
for run in $(seq "$runs"); do
  log="$logs/run-$run.log"
  start=$(date +%s)
  ctest --test-dir "$tests" -j "$jobs" --output-on-failure >"$log" 2>&1
  result=$?
  seconds=$(( $(date +%s) - start ))
  if [ $result -eq 0 ]; then
    green=$((green + 1))
    echo "run $run/$runs: green (${seconds} s)"
    continue
  fi
  echo "run $run/$runs: FAILED (${seconds} s), log $log"
  # The programs CTest lists as failed, each with the tests it named as failed or hung.
  sed -n '/The following tests FAILED:/,$p' "$log" | grep -E '^[[:space:]]+[0-9]+ - ' | while read -r line; do
    program=$(echo "$line" | sed -E 's/^[0-9]+ - ([^ ]+).*/\1/')
    echo "  $line"
    awk -v p="$program" '
      $0 ~ "^[0-9]+/[0-9]+ Test +#[0-9]+: " p " " { inside = 1; next }
      inside && /^[0-9]+\/[0-9]+ Test +#[0-9]+: / { inside = 0 }
      inside && match($0, /\[  FAILED  \] [A-Za-z_][^ ]*/) { print "      " substr($0, RSTART + 13, RLENGTH - 13) }
      inside && match($0, /\[ WATCHDOG \] FAILED: .*/) { print "      " substr($0, RSTART + 21) " (hung)" }
    ' "$log" | sort -u
  done
done
echo "soak: $green of $runs runs green (load: $load busy CPU hogs)"
[ "$green" -eq "$runs" ]
