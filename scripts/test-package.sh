#!/usr/bin/env bash
# Builds the Debian package from the build in build/ (or TARNWELD_BUILD_DIR),
# installs it with apt as a user would, and tries the installed programs from
# outside the repository: the example catalog, the manual page, and the host
# object's introspection while tarnweld-host runs. Then removes the package.
# Run as root: it installs and removes a package.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TARNWELD_BUILD_DIR:-build}

if [ "$(id -u)" -ne 0 ]; then
  echo "scripts/test-package.sh installs and removes the tarnweld package: run it as root" >&2
  exit 1
fi
scripts/deps.sh package
export DEBIAN_FRONTEND=noninteractive

echo "Building tarnweld, tarnweld-host and the manual pages in $build/..."
cmake -S . -B "$build" -DTARNWELD_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarnweld tarnweld-host man_pages
echo "Making the Debian package..."
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >/dev/null)
packages_dir=$(realpath "$build/packages")
deb=$(ls "$packages_dir"/tarnweld_*.deb)
echo "== $(basename "$deb")"
dpkg-deb -f "$deb" Depends Recommends

fail() {
  echo "test-package: $*" >&2
  exit 1
}

# apt resolves the dependencies from the package lists; fetch them once when
# this machine has none.
[ -n "$(ls -A /var/lib/apt/lists 2>/dev/null | grep -v -e '^lock$' -e '^partial$' || true)" ] || apt-get update -qq
# Without its recommendations, which would stay behind after the removal
# and change what later tests on this machine find; the clean-machine check
# installs them as a user would.
(cd "$packages_dir" && apt-get install -y -qq --no-install-recommends ./tarnweld_*.deb >/dev/null)
trap 'apt-get remove -y -qq tarnweld >/dev/null 2>&1 || true' EXIT

# From outside the repository, with nothing but what the package installed.
work=$(mktemp -d)
trap 'apt-get remove -y -qq tarnweld >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
cd "$work"
[ "$(command -v tarnweld-host)" = /usr/bin/tarnweld-host ] || fail "tarnweld-host is not /usr/bin/tarnweld-host"
version=$(tarnweld-host --version)
grep -qx "tarnweld-host [0-9][0-9.]*" <<<"$version" || fail "tarnweld-host --version printed \"$version\""
echo "$version"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' /usr/share/doc/tarnweld/copyright ||
  fail "/usr/share/doc/tarnweld/copyright is missing or not in the machine-readable format"
echo "/usr/share/doc/tarnweld/copyright: $(sed -n 's/^License: //p' /usr/share/doc/tarnweld/copyright)"
status=0
tarnweld-host run /usr/share/doc/tarnweld/examples/catalog.xml >catalog.html || status=$?
[ "$status" -eq 0 ] || fail "tarnweld-host run on the installed example exited $status"
grep -q "<h1>Night Shelf Records</h1>" catalog.html || fail "the installed example did not transform"
echo "tarnweld-host run /usr/share/doc/tarnweld/examples/catalog.xml: the catalog as HTML"

# Debian's container images may keep manual pages out (dpkg path-exclude);
# then the page is looked for in the package instead.
if grep -qs '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  dpkg-deb -c "$deb" | grep -q './usr/share/man/man1/tarnweld-host.1.gz' || fail "the package holds no tarnweld-host(1)"
  echo "man: /usr/share/man is excluded from installs here (/etc/dpkg/dpkg.cfg.d); the package holds tarnweld-host.1.gz"
else
  [ "$(man -w tarnweld-host)" = /usr/share/man/man1/tarnweld-host.1.gz ] || fail "man -w tarnweld-host finds no page"
  man tarnweld-host | grep -q "exit status\|EXIT STATUS" || fail "tarnweld-host(1) does not render"
  echo "man -w tarnweld-host: $(man -w tarnweld-host)"
fi

# While tarnweld-host runs, the host object describes itself: a stand-in
# plug-in asks for its introspection on the bus it was given.
if command -v busctl >/dev/null; then
  ask='busctl --user introspect htmlkit.HTMLKitPluginsCore /htmlkit/HTMLKitPluginsCore'
else
  ask='dbus-send --session --print-reply --dest=htmlkit.HTMLKitPluginsCore /htmlkit/HTMLKitPluginsCore org.freedesktop.DBus.Introspectable.Introspect'
fi
printf '#!/bin/sh\n%s > %s/introspection.txt\n' "$ask" "$work" >introspect.sh
chmod +x introspect.sh
# The stand-in plug-in hands nothing back, so the host says so and exits 1.
tarnweld-host --plugin "$work/introspect.sh" register >/dev/null 2>&1 || true
for method in hkp_DataSetGlobalSuffix hkp_DataAdd hkp_DataAddInt hkp_DataGet Introspect Ping; do
  grep -q "$method" introspection.txt || fail "the introspection lacks $method: $(cat introspection.txt)"
done
echo "${ask%% *}: the host object shows the four methods, Introspect and Ping"

cd /
apt-get remove -y -qq tarnweld >/dev/null
[ ! -e /usr/bin/tarnweld-host ] || fail "tarnweld-host is still installed after apt-get remove"
echo "apt-get remove tarnweld: removed"
