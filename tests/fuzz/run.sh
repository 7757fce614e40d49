#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds on a working copy of its seed corpus.
# Usage: tests/fuzz/run.sh BUILD_DIR SECONDS
# A crash, a hang (10 s on one input), a sanitizer report or a leak fails the run;
# the input that did it is left in BUILD_DIR/fuzz-artifacts/.
set -euo pipefail
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
# The shared runtime is not first in the programs' library list (the linker puts it
# after our libraries); it is loaded before any of them runs all the same.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/fuzz-artifacts"
status=0
for target in fuzz_inputs fuzz_state_json fuzz_matfile fuzz_matlab_call fuzz_methods; do
  work="$build/fuzz-corpus/$target"
  mkdir -p "$work"
  echo "== $target: ${seconds}s"
  if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
      "$work" "$here/corpus/$target" >"$build/fuzz-artifacts/$target.log" 2>&1; then
    tail -n 60 "$build/fuzz-artifacts/$target.log"
    echo "== $target FAILED (log: $build/fuzz-artifacts/$target.log)"
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build/fuzz-artifacts/$target.log" || true
  fi
done
exit $status
