#!/usr/bin/env bash
# make test-valgrind: the end-to-end tests and a set of sfsim runs under memcheck.
# Any memcheck error or definite leak fails the run; so does an sfsim run that
# does not end with the exit status it should.
# Usage: tests/valgrind/run.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
vg=(valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite
    --errors-for-leak-kinds=definite --suppressions="$here/loader.supp")
sfsim="$build/bin/sfsim"
failed=0

# check NAME EXPECTED_STATUS COMMAND...: runs COMMAND under memcheck.
check() {
  local name=$1 expected=$2
  shift 2
  local log="$work/$name.log" status
  (cd "$work" && "${vg[@]}" --log-file="$log" "$@" >"$work/$name.out" 2>"$work/$name.err")
  status=$?
  if [ "$status" -ne "$expected" ] || [ -s "$log" ]; then
    echo "FAIL $name: exit status $status (expected $expected)"
    cat "$log" "$work/$name.err"
    failed=1
  else
    echo "ok   $name"
  fi
}

# Inputs of the runs: a table for Harnvale chart 3, the same with a NaN breakpoint,
# and a state saved from chart 2 (which chart 3 refuses).
awk 'BEGIN{print "x,y"; for(i=0;i<243;i++) printf "%g,%g\n", i/10, (i/10)^2}' >"$work/table.csv"
sed 's/^12,/NaN,/' "$work/table.csv" >"$work/nan.csv"
awk 'BEGIN{print "x,y"; for(i=0;i<401;i++) printf "%g,%g\n", i/10, i/10}' >"$work/table2.csv"
"$sfsim" run --model Harnvale --chart 2 --table "$work/table2.csv" --z-range 0:1:2 \
  --save-state "$work/state2.json" >/dev/null

check e2e-tests 0 "$build/bin/e2e_tests" --gtest_brief=1
check engine-tests 0 "$build/bin/engine_tests" --gtest_brief=1
check sfsim-default 0 "$sfsim" --out-dir "$work/out"
check sfsim-save-restore 0 "$sfsim" run --model Harnvale --chart 3 --table "$work/table.csv" \
  --z-range 0:4:3 --save-state "$work/state3.json"
check sfsim-restore 0 "$sfsim" run --model Harnvale --chart 3 --table "$work/table.csv" \
  --z-range 6:8:2 --restore-state "$work/state3.json"
check sfsim-host-error 1 "$sfsim" run --model Harnvale --chart 3 --table "$work/nan.csv" \
  --z-range 0:1:2
# Debugger sessions: values shown and set at a step stop and a line stop, and shown
# at a stop where a host error is raised.
printf 'break step 1\ncontinue\nprint x\nprint y1\nset y1 2\nbreak line -3\ncontinue\nprint y\nset y1 -1\nset x 0\nquit\n' >"$work/debug.txt"
printf 'break error\ncontinue\nprint x\nprint z\ncontinue\n' >"$work/debug-error.txt"
check sfsim-debug 0 "$sfsim" debug --model Harnvale --chart 3 --table "$work/table.csv" \
  --z-range 0:4:3 --commands "$work/debug.txt" --out "$work/debug.csv"
check sfsim-debug-error 1 "$sfsim" debug --model Harnvale --chart 3 --table "$work/nan.csv" \
  --z-range 0:1:2 --commands "$work/debug-error.txt"
check sfsim-refused-restore 1 "$sfsim" run --model Harnvale --chart 3 --table "$work/table.csv" \
  --z-range 0:1:2 --restore-state "$work/state2.json"
# MAT-files both ways: a result and a state written, then read back as the queries
# (the result's z column) and the state to restore; a result cut short is refused.
check sfsim-mat-write 0 "$sfsim" run --model Harnvale --chart 3 --table "$work/table.csv" \
  --z-range 0:4:5 --out "$work/r.mat" --save-state "$work/s.mat"
check sfsim-mat-read 0 "$sfsim" run --model Harnvale --chart 3 --table "$work/table.csv" \
  --z "$work/r.mat" --restore-state "$work/s.mat"
head -c 300 "$work/r.mat" >"$work/short.mat"
check sfsim-mat-short 2 "$sfsim" run --model Harnvale --chart 3 --table "$work/table.csv" \
  --z "$work/short.mat"
check sfsim-query-checksum 0 "$sfsim" query --model Harnvale sf_get_check_sum chart 2
check sfsim-query-report 0 "$sfsim" query --model Quimbrel get_eml_resolved_functions_info \
  Quimbrel 1
check sfsim-query-unsuccessful 1 "$sfsim" query --model Quimbrel sf_get_check_sum bogus
exit $failed
