#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds on a working copy of its seed corpus,
# JOBS targets at a time (default 2; each target is one process).
# Usage: tests/fuzz/run.sh BUILD_DIR SECONDS [JOBS]
# A crash, a hang (10 s on one input), a sanitizer report or a leak fails the run;
# the input that did it is left in BUILD_DIR/fuzz-artifacts/.
set -euo pipefail
build=$1
seconds=$2
jobs=${3:-2}
# libFuzzer takes 0 seconds as no limit at all.
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 1)); then
  echo "run.sh: SECONDS must be a whole number of seconds, at least 1 (got '$seconds')" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
# The shared runtime is not first in the programs' library list (the linker puts it
# after our libraries); it is loaded before any of them runs all the same.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
targets=(fuzz_inputs fuzz_state_json fuzz_matfile fuzz_matlab_call fuzz_methods)

# One target; its exit status is left in $artifacts/$target.status.
fuzz_one() {
  local target=$1 work="$build/fuzz-corpus/$1" status=0
  mkdir -p "$work"
  "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
    "$work" "$here/corpus/$target" >"$artifacts/$target.log" 2>&1 || status=$?
  echo "$status" >"$artifacts/$target.status"
}

running=0
for target in "${targets[@]}"; do
  rm -f "$artifacts/$target.status"
  echo "== $target: ${seconds}s"
  fuzz_one "$target" &
  running=$((running + 1))
  if ((running >= jobs)); then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

status=0
for target in "${targets[@]}"; do
  if [[ "$(cat "$artifacts/$target.status" 2>/dev/null)" != 0 ]]; then
    tail -n 60 "$artifacts/$target.log"
    echo "== $target FAILED (log: $artifacts/$target.log)"
    status=1
  else
    echo "== $target: $(grep -E '^Done' "$artifacts/$target.log" || echo 'done')"
  fi
done
exit $status
