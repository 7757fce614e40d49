#!/usr/bin/env bash
# sfsim.exe under Wine writes byte for byte what the native sfsim writes: standard
# output, standard error, exit status and every file, for the same runs.
# sfsim_compare_test.sh NATIVE_SFSIM WINDOWS_SFSIM WORK_DIR WINE_RUN
set -uo pipefail
native=$1 windows=$2 work=$3 wine_run=$4
rm -rf "$work" && mkdir -p "$work/native" "$work/windows" || exit 1

# The inputs: a table of chart 3 of Harnvale (243 rows), the same with a NaN breakpoint.
awk 'BEGIN{print "x,y"; for(i=0;i<243;i++) printf "%g,%g\n", i/10, (i/10)^2}' > "$work/table.csv"
sed 's/^12,/NaN,/' "$work/table.csv" > "$work/nan.csv"
# An input in time.
printf 'time,z\n0,0\n0.4,8\n1,2\n' > "$work/in.csv"

runs=(
  "default|"
  "table|run --model Harnvale --chart 3 --table ../table.csv --z-range -1:25:6 --out out.csv --plot plot.svg"
  "queries|run --model Quimbrel --chart 2 --z-range -5:5:11"
  "error|run --model Harnvale --chart 3 --table ../nan.csv --z-range 0:1:2"
  "query|query --model Harnvale sf_get_check_sum chart 2"
  "query-report|query --model Quimbrel get_eml_resolved_functions_info Quimbrel 1"
  "query-record|query --model Harnvale get_autoinheritance_info Harnvale 2 XpBqFWyZSTKVy4qof7J1CF"
  "query-bad|query --model Quimbrel sf_get_check_sum bogus"
  "save|run --model Harnvale --chart 3 --table ../table.csv --z-range 0:4:3 --save-state state.json"
  "restore|run --model Harnvale --chart 3 --table ../table.csv --z-range 6:8:2 --restore-state state.json --save-state state2.json"
  "time|run --model Harnvale --chart 3 --table ../table.csv --input ../in.csv --step-size 0.05 --solver ode5 --rate continuous --out time.csv --plot time.svg"
  "time-discrete|run --model Harnvale --chart 3 --table ../table.csv --input ../in.csv --step-size 0.1 --rate discrete --sample-time 0.2,0.1"
)

failed=0
for side in native windows; do
  for run in "${runs[@]}"; do
    name=${run%%|*} args=${run#*|}
    (
      cd "$work/$side" || exit 1
      if [ "$side" = native ]; then
        # shellcheck disable=SC2086
        "$native" $args > "$name.out" 2> "$name.err"
      else
        # shellcheck disable=SC2086
        "$wine_run" "$windows" $args > "$name.out" 2> "$name.err"
      fi
      echo $? > "$name.status"
    )
  done
done
if ! diff -r "$work/native" "$work/windows"; then
  echo "sfsim_compare_test: the Windows sfsim's files differ from the native ones" >&2
  failed=1
fi
files=$(find "$work/native" -type f | wc -l)
[ "$files" -ge 40 ] || { echo "sfsim_compare_test: only $files files written" >&2; failed=1; }
echo "sfsim_compare_test: $files files compared"
exit $failed
