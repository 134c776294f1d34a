#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64, 64-bit into build-windows/
# and 32-bit into build-windows32/, with warnings as errors; runs the 64-bit
# build's tests under Wine through CTest, in a fresh Wine prefix inside
# build-windows/; packs the zip (the 32-bit tarnweld.exe with the 64-bit one
# beside it) and runs each tarnweld.exe from it. Extra arguments go to ctest.
#
# The tests run on the 64-bit build: 32-bit Wine (i386 multiarch, wine32)
# costs a Debian 12 machine that has wine64 about 2 minutes and 1 GB
# (dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386
# in a fresh root), but CI's machines cannot execute 32-bit programs at all
# ("Exec format error"). Where wine32 is installed and runs, the 32-bit
# tarnweld.exe from the zip gets a run under the 32-bit stand-in too.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh windows

build=build-windows
build32=build-windows32
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARNWELD_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cmake -S . -B "$build32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DTARNWELD_WERROR=ON \
  -DTARNWELD_TESTS=OFF -DTARNWELD_X64_PLUGIN="$PWD/$build/bin/tarnweld.exe" >/dev/null
cmake --build "$build32" -j"$(nproc)"

# A fresh prefix with one wineserver for the whole session. Plain `wineboot`
# makes the prefix: `wineboot -i` on an empty prefix starts the service
# manager twice, after which RpcSs never starts and every cross-process COM
# call waits 10 s and fails. No .NET or Gecko is wanted.
export WINEPREFIX="$PWD/$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k' EXIT
wineboot </dev/null >/dev/null 2>&1
# Keeps the desktop process up, so that no test starts it with the test's
# output pipe inherited.
wine "$build/bin/wine_keepalive.exe" </dev/null >/dev/null 2>&1 &

# One at a time: the tests offer the host's class under one ProgID.
ctest --test-dir "$build" --output-on-failure --timeout 120 "$@"

# Both plug-ins are Windows GUI programs of their width that need no DLL
# beyond the system's.
check_plugin() {
  local exe=$1 format=$2 objdump=$3
  file -b "$exe" | grep -q "^$format executable (GUI) .*, for MS Windows" ||
    { echo "$exe is not a $format GUI program: $(file -b "$exe")" >&2; exit 1; }
  local extra
  extra=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
    grep -viE '^(kernel32|user32|advapi32|shell32|ole32|oleaut32|urlmon|msvcrt)\.dll$' || true)
  [ -z "$extra" ] || { echo "$exe needs DLLs a Windows machine lacks: $extra" >&2; exit 1; }
}

rm -rf "$build32/packages"
(cd "$build32" && cpack -G ZIP >/dev/null)
zip=$(realpath "$build32"/packages/tarnweld-*-windows.zip)
contents=$(cmake -E tar tf "$zip")
for member in tarnweld.exe x64/tarnweld.exe README.txt LICENSE.txt; do
  grep -qx "$member" <<<"$contents" || { echo "$zip does not hold $member" >&2; exit 1; }
done
unpacked="$PWD/$build32/zip-check"
rm -rf "$unpacked"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
check_plugin "$unpacked/tarnweld.exe" PE32 i686-w64-mingw32-objdump
check_plugin "$unpacked/x64/tarnweld.exe" "PE32+" x86_64-w64-mingw32-objdump
# A program runs only when it prints what it must: Wine without its 32-bit
# half may start a 32-bit program in its experimental wow64 mode, fail inside
# it and still exit 0 having printed nothing.
runs_here() {
  local version
  version=$(wine "$1" --version 2>/dev/null </dev/null) || return 1
  grep -qx "tarnweld-host [0-9][0-9.]*" <<<"${version//$'\r'/}"
}
runs_here "$build/bin/tarnweld-host.exe" ||
  { echo "the 64-bit tarnweld-host.exe does not print its version under Wine" >&2; exit 1; }
runs=("$build:x64/tarnweld.exe")
if runs_here "$build32/bin/tarnweld-host.exe"; then
  runs+=("$build32:tarnweld.exe")
else
  echo "this machine cannot run 32-bit Windows programs: the 32-bit tarnweld.exe is checked, not run"
fi
for pair in "${runs[@]}"; do
  host="${pair%%:*}/bin/tarnweld-host.exe" plugin="$unpacked/${pair#*:}"
  status=0
  output=$(wine "$host" --plugin "$(winepath -w "$plugin")" run examples/catalog.xml) || status=$?
  if [ "$status" -ne 0 ] || ! grep -q "Night Shelf Records" <<<"$output"; then
    echo "the zip's ${pair#*:} did not transform examples/catalog.xml (exit $status)" >&2
    exit 1
  fi
done
echo "$(basename "$zip"): tarnweld.exe (32-bit), x64/tarnweld.exe, README.txt and LICENSE.txt; ${#runs[@]} transformed the example catalog"
