#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64, 64-bit into build-windows/
# and 32-bit into build-windows32/, with warnings as errors, and runs each
# build's tests under Wine through CTest, in one fresh Wine prefix inside
# build-windows/. Then packs the zip: the 32-bit tarnweld.exe with the 64-bit
# one beside it. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

# The posix thread model's compilers alone: the meta packages would pull in
# the win32 ones as well. 32-bit Wine comes from i386 multiarch; on a Debian 12
# machine that already has wine64 it takes about 2 minutes and 1 GB
# (measured: dpkg --add-architecture i386 && apt-get update && apt-get install
# wine32:i386 in a fresh root).
if [ "$(id -u)" -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
scripts/deps.sh cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools wine wine64 \
  wine32:i386 googletest w3c-sgml-lib

build=build-windows
build32=build-windows32
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARNWELD_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cmake -S . -B "$build32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DTARNWELD_WERROR=ON \
  -DTARNWELD_X64_PLUGIN="$PWD/$build/bin/tarnweld.exe" >/dev/null
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
for dir in "$build" "$build32"; do
  echo "== Windows tests: $dir"
  ctest --test-dir "$dir" --output-on-failure --timeout 120 "$@"
done

# The zip a Windows user installs from: it must hold both plug-ins and the
# README, and each tarnweld.exe unpacked from it must run under the stand-in
# of its own width.
rm -rf "$build32/packages"
(cd "$build32" && cpack -G ZIP >/dev/null)
zip=$(realpath "$build32"/packages/tarnweld-*-windows.zip)
contents=$(cmake -E tar tf "$zip")
for member in tarnweld.exe x64/tarnweld.exe README.txt; do
  grep -qx "$member" <<<"$contents" || { echo "$zip does not hold $member" >&2; exit 1; }
done
unpacked="$PWD/$build32/zip-check"
rm -rf "$unpacked"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
for pair in "$build32:tarnweld.exe" "$build:x64/tarnweld.exe"; do
  host="${pair%%:*}/bin/tarnweld-host.exe" plugin="$unpacked/${pair#*:}"
  status=0
  output=$(wine "$host" --plugin "$(winepath -w "$plugin")" run examples/catalog.xml) || status=$?
  if [ "$status" -ne 0 ] || ! grep -q "Night Shelf Records" <<<"$output"; then
    echo "the zip's ${pair#*:} did not transform examples/catalog.xml (exit $status)" >&2
    exit 1
  fi
done
echo "$(basename "$zip"): tarnweld.exe (32-bit), x64/tarnweld.exe and README.txt; each transforms the example catalog"
