#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 into build-windows/ with
# warnings as errors, and runs their tests under Wine through CTest, in a
# fresh Wine prefix inside the build. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh windows

build=build-windows
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARNWELD_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

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

# The zip a Windows user installs from: it must hold tarnweld.exe and its
# README, and the tarnweld.exe unpacked from it must run under the stand-in.
rm -rf "$build/packages"
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(realpath "$build"/packages/tarnweld-*-windows-x64.zip)
contents=$(cmake -E tar tf "$zip")
for member in tarnweld.exe README.txt LICENSE.txt; do
  grep -qx "$member" <<<"$contents" || { echo "$zip does not hold $member" >&2; exit 1; }
done
unpacked="$PWD/$build/zip-check"
rm -rf "$unpacked"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
status=0
output=$(wine "$build/bin/tarnweld-host.exe" --plugin "$(winepath -w "$unpacked/tarnweld.exe")" run examples/catalog.xml) ||
  status=$?
if [ "$status" -ne 0 ] || ! grep -q "Night Shelf Records" <<<"$output"; then
  echo "the zip's tarnweld.exe did not transform examples/catalog.xml (exit $status)" >&2
  exit 1
fi
echo "$(basename "$zip"): tarnweld.exe, README.txt and LICENSE.txt; its tarnweld.exe transforms the example catalog"
