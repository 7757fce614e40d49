#!/usr/bin/env bash
# Installs what the build needs and a fresh machine may lack (Debian packages).
# tools/install-deps.sh [GROUP...]: the native build's packages, and those of each
# group named (windows: the cross build and Wine).
set -euo pipefail
pkgs=(cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev
      libcli11-dev nlohmann-json3-dev clang-format binutils libxml2-utils ccache
      libedit-dev)
for group in "$@"; do
  case "$group" in
    windows) pkgs+=(mingw-w64 wine64 googletest util-linux) ;;
    fuzz) pkgs+=(clang libclang-rt-14-dev) ;;  # make fuzz
    valgrind) pkgs+=(valgrind) ;;              # make test-valgrind
    package) pkgs+=(unzip) ;;                  # make test-package
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done
pkgs+=(valgrind)  # make bench-count
# GNU Octave (a second MEX host for the plug-ins) and matio (MAT-files in sfsim).
pkgs+=(octave liboctave-dev libmatio-dev pkg-config)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
