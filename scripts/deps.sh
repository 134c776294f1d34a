#!/usr/bin/env bash
# Installs the Debian 12 packages Tarnweld needs to build, test, fuzz, package and
# benchmark, when any is missing; or, given package names, those instead.
# Run as root, or it prints the command to run.
set -euo pipefail

default_packages=(
  g++ cmake make pkg-config
  libxml2-dev libxslt1-dev libsystemd-dev libmimalloc-dev libcurl4-openssl-dev
  libgtest-dev dbus-daemon w3c-sgml-lib xml-core openssl
  xsltproc clang libclang-rt-14-dev docbook-xsl
  dpkg-dev
)
if [ $# -gt 0 ]; then packages=("$@"); else packages=("${default_packages[@]}"); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Tarnweld needs these packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
