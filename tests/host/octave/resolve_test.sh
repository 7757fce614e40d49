#!/usr/bin/env bash
# The plug-ins inside Octave: the files are the stand-in host's, byte for byte;
# every matrix and MEX operation that Octave provides is bound to Octave's own
# (liboctinterp), in the plug-ins, the adapters and sfblock alike; what Octave
# lacks is bound to our adapters beside the plug-ins; and no adapter defines a
# name that Octave provides.
# usage: resolve_test.sh OCTAVE_CLI OCTAVE_HOST_DIR STAND_IN_LIB_DIR
set -euo pipefail
octave=$1 dir=$2 stand_in=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "resolve_test: $*" >&2; exit 1; }

for m in Harnvale Quimbrel; do
  cmp "$stand_in/${m}_sfun.mexa64" "$dir/${m}_sfun.mex" || fail "$m: the .mex is not the plug-in file"
done

LD_DEBUG=bindings LD_DEBUG_OUTPUT="$tmp/ld" "$octave" --norc --no-history --quiet \
  --no-window-system --eval "addpath('$dir'); Harnvale_sfun('sf_get_check_sum');
    Quimbrel_sfun('sf_get_check_sum'); x = 1:401; sfblock('Harnvale', 2, x, x, 3);"
cat "$tmp"/ld.* > "$tmp/bindings"

octinterp=$(sed -n 's|.* to \([^ ]*/liboctinterp[^ ]*\) .*|\1|p' "$tmp/bindings" | sort -u)
[ -n "$octinterp" ] || fail "no binding to liboctinterp seen"
nm -D --defined-only "$octinterp" | awk '$3 ~ /^(mx|mex)[A-Z]/ {print $3}' | sort -u > "$tmp/octave"
[ "$(wc -l < "$tmp/octave")" -gt 100 ] || fail "too few matrix and MEX functions in $octinterp"

# "FILE SYMBOL TARGET" for every binding made for one of our files.
sed -n "s|.*binding file \($dir/[^ ]*\) \[0\] to \([^ ]*\) \[0\]: normal symbol \`\([^']*\)'.*|\1 \3 \2|p" \
  "$tmp/bindings" | sort -u > "$tmp/ours"
checked=0
while read -r file sym target; do
  [[ $sym =~ ^(mx|mex)[A-Z] ]] || continue
  if grep -qx "$sym" "$tmp/octave"; then
    [ "$target" = "$octinterp" ] || fail "$file: $sym bound to $target, not to Octave's"
  else
    [[ $target == "$dir"/* ]] || fail "$file: $sym (not in Octave) bound to $target"
  fi
  checked=$((checked + 1))
done < "$tmp/ours"

# Every matrix, MEX, heap and math import of the plug-ins was bound (Octave's
# loader resolves a MEX file's symbols when it loads it).
for m in Harnvale Quimbrel; do
  for sym in $(nm -D --undefined-only "$dir/${m}_sfun.mex" | awk '$2 ~ /^(mx|mex|ut|mu)[A-Z]/ {print $2}'); do
    grep -q "^$dir/${m}_sfun.mex $sym " "$tmp/ours" || fail "$m: $sym was never bound"
  done
done

for lib in "$dir"/lib*.so "$dir/sfblock.mex"; do
  clash=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -xF -f "$tmp/octave" || true)
  [ -z "$clash" ] || fail "$lib defines names Octave provides: $clash"
done
echo "resolve_test: $checked matrix and MEX bindings checked"
