#!/usr/bin/env bash
# The packages as a user gets them. Each is unpacked into an empty folder outside the
# build and run from there: sfsim --version and the default run (the zip's sfsim.exe
# under Wine, in a fresh prefix), the Octave folder in octave-cli (a plug-in, sfblock,
# the help and its example). The default runs of the two packages write the same files.
# Also: their names and version resources carry the version of project() and the
# changelog; binaries are stripped and hold no path of the build machine; the zip holds
# exactly what a Windows user needs; the DLL walk of the install stops on a DLL it
# cannot find; --version says which plug-in is missing.
# usage: package_test.sh DIST NATIVE_BUILD WINDOWS_BUILD
set -euo pipefail
dist=$1 build=$2 win_build=$3
src=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }
checks=0
ok() { checks=$((checks + 1)); }

version=$(sed -n 's/^project(sf_plugins VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || fail "no version in project()"
grep -q "^## \[$version\] - " "$src/CHANGELOG.md" || fail "CHANGELOG.md has no entry for $version"
linux=sfsim-$version-linux-x86_64 windows=sfsim-$version-windows-x86_64
[ "$(ls "$dist")" = "$(printf '%s\n' "$linux.tar.gz" "$windows.zip")" ] ||
  fail "dist/ holds $(ls "$dist" | tr '\n' ' '), not $linux.tar.gz and $windows.zip"
ok

# One top folder of the package's name; the file list (sorted) is what we expect.
unpack() {  # unpack FOLDER EXPECTED_LIST COMMAND...
  local folder=$1 expected=$2
  shift 2
  mkdir "$folder"
  (cd "$folder" && "$@" >/dev/null)
  [ "$(ls -A "$folder")" = "$(basename "$expected" .list)" ] || fail "$folder: top level is $(ls -A "$folder")"
  (cd "$folder"/* && find . -type f | sed 's|^\./||' | LC_ALL=C sort) > "$folder.files"
  diff -u "$expected" "$folder.files" || fail "$folder: not the expected files"
  ok
}
printf '%s\n' bin/sfsim lib/Harnvale_sfun.mexa64 lib/Quimbrel_sfun.mexa64 lib/libhost_trace.so \
  lib/libmex.so lib/libmwmathutil.so lib/libmx.so lib/libsf_engine.so lib/libsf_runtime.so \
  lib/libut.so octave/Harnvale_sfun.m octave/Harnvale_sfun.mex octave/Quimbrel_sfun.m \
  octave/Quimbrel_sfun.mex octave/libmex.so octave/libmwmathutil.so octave/libmx.so \
  octave/libsf_runtime.so octave/libut.so octave/message.m octave/sfblock.m octave/sfblock.mex \
  octave/sfprivate.m share/doc/sfsim/CHANGELOG.md share/doc/sfsim/LICENSE \
  share/doc/sfsim/README.md | LC_ALL=C sort > "$tmp/$linux.list"
printf '%s\n' Harnvale_sfun.mexw64 LICENSE Quimbrel_sfun.mexw64 README.txt libhost_trace.dll \
  libmex.dll libmwmathutil.dll libmx.dll libsf_engine.dll libut.dll sf_runtime.dll sfsim.exe |
  LC_ALL=C sort > "$tmp/$windows.list"
unpack "$tmp/linux" "$tmp/$linux.list" tar xzf "$dist/$linux.tar.gz"
unpack "$tmp/windows" "$tmp/$windows.list" unzip -q "$dist/$windows.zip"
lin=$tmp/linux/$linux win=$tmp/windows/$windows

# No path of the build machine in any file, in 8-bit or UTF-16 strings.
for f in $(find "$lin" "$win" -type f); do
  for enc in s l; do
    if strings -a -e "$enc" "$f" | grep -F -e "$src" -e "$build" -e "$win_build"; then
      fail "$f holds a path of the build machine"
    fi
  done
done
ok
# Stripped, with the debug information kept outside; relative run paths.
for f in "$lin"/bin/sfsim "$lin"/lib/* "$lin"/octave/*.so "$lin"/octave/*.mex; do
  sections=$(objdump -h "$f")
  ! grep -q '\.debug_\|\.symtab' <<<"$sections" || fail "$f is not stripped"
  link=$(readelf -p .gnu_debuglink "$f" 2>/dev/null | sed -n 's/^ *\[ *0\] *//p')
  [ -n "$link" ] || fail "$f names no debug file"
  find "$build/debug" -name "$link" | grep -q . || fail "$f: its debug file $link is not in $build/debug"
  runpath=$(readelf -d "$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [[ -z $runpath || $runpath =~ ^\$ORIGIN(/\.\./lib)?$ ]] || fail "$f: run path $runpath"
done
cmp "$lin/lib/Harnvale_sfun.mexa64" "$lin/octave/Harnvale_sfun.mex" || fail "octave's .mex is not lib's plug-in"
for f in "$win"/*.exe "$win"/*.dll "$win"/*.mexw64; do
  ! x86_64-w64-mingw32-objdump -h "$f" | grep -q '\.debug_' || fail "$f is not stripped"
  # The version resource's strings (UTF-16): each key followed by its value.
  res=$(strings -a -e l "$f")
  for pair in "FileVersion=$version" "ProductVersion=$version" \
              "LegalCopyright=$(grep -m1 '^Copyright ' "$src/LICENSE")" \
              "OriginalFilename=$(basename "$f")" "ProductName=Harnvale and Quimbrel plug-ins"; do
    grep -A1 -x "${pair%%=*}" <<<"$res" | sed -n 2p | grep -qxF "${pair#*=}" ||
      fail "$f: version resource lacks ${pair%%=*} '${pair#*=}'"
  done
  grep -A1 -x FileDescription <<<"$res" | sed -n 2p | grep -q . || fail "$f: no FileDescription"
  grep -qF "$(basename "$f")" "$win/README.txt" || fail "README.txt does not name $(basename "$f")"
done
ok

# From an empty folder, with nothing of the build on any search path.
run_linux() { env -i PATH=/usr/bin:/bin HOME="$tmp" "$lin/bin/sfsim" "$@"; }
mkdir "$tmp/run-linux" "$tmp/run-windows"
cd "$tmp/run-linux"
run_linux --version > version.txt || fail "sfsim --version failed: $(cat version.txt)"
[ "$(head -1 version.txt)" = "sfsim $version" ] || fail "sfsim --version: $(head -1 version.txt)"
for m in Harnvale Quimbrel; do
  grep -qx "${m}_sfun: $lin/lib/${m}_sfun.mexa64, model $m, checksum [0-9 ]*" version.txt ||
    fail "sfsim --version does not name $m's plug-in: $(cat version.txt)"
done
run_linux --out-dir out > summary.txt || fail "the default run failed"
[ "$(ls out | wc -l)" -eq 10 ] || fail "the default run wrote $(ls out | tr '\n' ' ')"
ok

export WINEPREFIX=$tmp/wineprefix WINEPATH=
cd "$tmp/run-windows"
wine() { "$src/tools/wine-run" "$win/sfsim.exe" "$@" | tr -d '\r'; }
wine --version > version.txt || fail "sfsim.exe --version failed: $(cat version.txt)"
[ "$(head -1 version.txt)" = "sfsim $version" ] || fail "sfsim.exe --version: $(head -1 version.txt)"
for m in Harnvale Quimbrel; do
  grep -q "^${m}_sfun: .*${m}_sfun.mexw64, model $m, checksum" version.txt ||
    fail "sfsim.exe --version does not name $m's plug-in: $(cat version.txt)"
done
wine --out-dir out > summary.txt || fail "the default run of sfsim.exe failed"
diff -r "$tmp/run-linux/out" out || fail "the packages' default runs differ"
diff "$tmp/run-linux/summary.txt" summary.txt || fail "the packages' summaries differ"
ok

# The Octave folder: a plug-in, sfblock, the help and its example; no test helper.
octave-cli --norc --no-history --quiet --no-window-system --eval "
  addpath ('$lin/octave');
  assert (exist ('adapter_probe'), 0);
  assert (Harnvale_sfun ('sf_get_check_sum'), [2682923507 2736407324 1223089852 1129152636]);
  x = linspace (0, 1, 390);
  assert (sfblock ('Quimbrel', 2, x, 2 * x, [0.25 0.5]), [0.5 1], 1e-12);
  h = evalc ('help sfblock');
  for w = {'''rate''', '''blocks''', '''state''', 'Example:', 'Quimbrel', 'Harnvale'}
    assert (! isempty (strfind (h, w{1})), ['help sfblock lacks ' w{1}]);
  end
  example = h(strfind (h, 'Example:') + 8:strfind (h, 'See also') - 1);
  evalc (example);
  assert (y2, sqrt (4), 1e-2);
  for m = {'Harnvale_sfun', 'Quimbrel_sfun'}
    h = evalc (['help ' m{1}]);
    for q = {'sf_get_check_sum', 'sf_mex_unlock', 'get_autoinheritance_info', ...
             'get_third_party_uses_info', 'get_updateBuildInfo_args_info', ...
             'get_eml_resolved_functions_info'}
      assert (! isempty (strfind (h, q{1})), ['help ' m{1} ' lacks ' q{1}]);
    end
  end" || fail "the Octave folder failed"
ok

# A plug-in missing from lib/: --version says which, with status 2.
cp -r "$lin" "$tmp/partial"
rm "$tmp/partial/lib/Quimbrel_sfun.mexa64"
set +e
env -i PATH=/usr/bin:/bin "$tmp/partial/bin/sfsim" --version > partial.txt
status=$?
set -e
[ $status -eq 2 ] || fail "--version without a plug-in: status $status"
grep -q "^Quimbrel_sfun: not usable: no plug-in for model Quimbrel found" partial.txt ||
  fail "--version without a plug-in: $(cat partial.txt)"
grep -q "^Harnvale_sfun: .*, model Harnvale, checksum" partial.txt || fail "$(cat partial.txt)"
ok

# The install's walk of the import tables stops on a DLL it cannot find.
cp -r "$win" "$tmp/walk"
rm "$tmp/walk/libsf_engine.dll"
mkdir "$tmp/no-dlls"
cp "$win"/lib*.dll "$win"/sf_runtime.dll "$tmp/no-dlls"
rm "$tmp/no-dlls/libsf_engine.dll"
if cmake -DCMAKE_INSTALL_PREFIX="$tmp/walk" -DSF_WINDOWS=ON -DSF_OBJDUMP=x86_64-w64-mingw32-objdump \
     -DSF_DLL_DIR="$tmp/no-dlls" -DSF_PLUGIN_FILES="Harnvale_sfun.mexw64;Quimbrel_sfun.mexw64" \
     -P "$src/cmake/finish_install.cmake" > walk.txt 2>&1; then
  fail "the install went on without libsf_engine.dll"
fi
grep -q "sfsim.exe loads libsf_engine.dll, which is neither a system DLL" walk.txt ||
  fail "the install's error: $(cat walk.txt)"
ok
# An install into a prefix that other programs share strips only its own files.
mkdir -p "$tmp/shared/lib"
cp "$build/lib/libut.so" "$tmp/shared/lib/libothers.so"
cmake --install "$build" --prefix "$tmp/shared" > shared.txt 2>&1 || fail "$(cat shared.txt)"
cmp -s "$build/lib/libut.so" "$tmp/shared/lib/libothers.so" ||
  fail "the install changed a library of another program in its prefix"
ok
echo "$checks passed, 0 failed"
