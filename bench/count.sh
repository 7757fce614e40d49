#!/usr/bin/env bash
# Instructions per host call of each chart's output step, counted by callgrind (load
# independent): `make bench-count`. A step's instructions are the difference between
# runs of 11 and of 1 step (start-up and set-up cancel out), divided by 10; its host
# calls are those that floor_calls lists for the same step (the test floor_calls_test
# holds them equal to a real step's). The same for the floor, for comparison. And the
# whole loop of `sfsim run` per step (table and queries read, rows written), from
# runs of 101 and of 1 query on the step benchmark's table, against the step.
#
#   bench/count.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
bin=$build/bin
for tool in valgrind "$bin/step_run" "$bin/floor_run" "$bin/floor_calls" "$bin/sfsim"; do
  command -v "$tool" >/dev/null || { echo "count.sh: $tool not found" >&2; exit 1; }
done

# Instructions of one run under callgrind: count PROGRAM ARGS...
count() {
  local out
  out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null) || {
    echo "count.sh: $* failed under callgrind" >&2
    exit 1
  }
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' <<<"$out"
}

mapfile -t charts < <("$bin/step_run" --charts)
[ "${#charts[@]}" -gt 0 ] || { echo "count.sh: step_run lists no chart" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-12s %5s %10s %11s %11s %11s %11s %9s\n' chart N calls/step instr/step instr/call \
  floor/call sfsim/step run/step
for i in "${!charts[@]}"; do
  read -r model chart n <<<"${charts[$i]}"
  z=$(awk -v n="$n" 'BEGIN { printf "%.17g", n / 4 }')  # inside the table
  calls=$("$bin/floor_calls" "$i" "$z" | awk '/^--$/ { m++; next } m == 1 { c++ } END { print c }')
  step=$(( ($(count "$bin/step_run" "$i" "$z" 11) - $(count "$bin/step_run" "$i" "$z" 1)) / 10 ))
  floor=$(( ($(count "$bin/floor_run" "$i" "$z" 11) - $(count "$bin/floor_run" "$i" "$z" 1)) / 10 ))
  awk -v n="$n" 'BEGIN { for (k = 0; k < n; k++) printf "%.17g,%.17g\n", 0.5 * k, sin(0.01 * k) }' \
    >"$work/table.csv"
  sfsim_run() {
    count "$bin/sfsim" run --model "$model" --chart "${chart#c}" --table "$work/table.csv" \
      --z-range "$z:$z:$1" --out "$work/out.csv"
  }
  run=$(( ($(sfsim_run 101) - $(sfsim_run 1)) / 100 ))
  awk -v c="$model $chart" -v n="$n" -v k="$calls" -v s="$step" -v f="$floor" -v r="$run" \
    'BEGIN { printf "%-12s %5d %10d %11d %11.2f %11.2f %11d %9.3f\n", c, n, k, s, s / k, f / k, r, r / s }'
done
