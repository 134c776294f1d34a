#!/usr/bin/env bash
# Installs the Debian 12 packages of the named sets (or, for a name that is
# no set, that package) when any is missing; with no argument, every Linux
# set. Run as root, or it prints the commands to run as root.
#
#   example  build tarnweld and tarnweld-host and run the example
#   test     build everything and pass every test (also under the sanitizers)
#   package  build the Debian package, install it and read its manual page
#   fuzz     the libFuzzer targets (clang)
#   windows  the cross build and its tests under Wine
#   clean    make a fresh Debian root for the clean-machine check
set -euo pipefail

packages_of() {
  case "$1" in
    # The compiler and the libraries (libcurl's headers: the plug-in loads
    # libcurl itself only when a run reads a URL; OpenSSL's, for the names of
    # the certificate checks libcurl reports), and the private bus.
    example) echo g++ cmake make pkg-config libxml2-dev libxslt1-dev libsystemd-dev libmimalloc-dev \
      libcurl4-openssl-dev libssl-dev dbus-daemon ;;
    # GoogleTest; the XHTML DTDs with the catalogs that let documents
    # validate offline, and docbook-xsl, for the tests that read installed
    # DTDs and stylesheets through the catalogs (w3c-sgml-lib's set-up alone
    # takes minutes, which the example does without); openssl for the test
    # certificate of the https tests; xsltproc for the benchmark, built with
    # the rest.
    test) echo "$(packages_of example)" libgtest-dev w3c-sgml-lib xml-core docbook-xsl xsltproc openssl ;;
    # cpack's dpkg-shlibdeps needs dpkg-dev and file; man-db reads the
    # installed manual page.
    package) echo "$(packages_of example)" dpkg-dev file man-db ;;
    fuzz) echo "$(packages_of example)" clang libclang-rt-14-dev ;;
    # The posix thread model's compilers alone: the meta packages would pull
    # in the win32 ones as well. w3c-sgml-lib holds the XHTML DTDs the
    # Windows plug-in carries; file checks the 32-bit plug-in's format.
    windows) echo cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools wine wine64 \
      googletest w3c-sgml-lib file ;;
    clean) echo mmdebstrap ;;
    *) return 1 ;;
  esac
}

[ $# -gt 0 ] || set -- example test package fuzz
packages=()
for name in "$@"; do
  if set_packages=$(packages_of "$name"); then
    read -ra words <<<"$set_packages"
    packages+=("${words[@]}")
  else
    packages+=("$name")
  fi
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Tarnweld needs these packages: ${missing[*]}" >&2
  echo "Install them as root (or put sudo before each apt-get):" >&2
  echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
echo "Updating the package lists..."
apt-get update -q | while IFS= read -r line; do [[ "$line" != Get:* ]] || echo "  $line"; done
# What apt would install, dependencies included, and what it has to fetch.
count=$(apt-get install -s --no-install-recommends "${missing[@]}" | grep -c '^Inst ' || true)
megabytes=$(apt-get install -qq --print-uris --no-install-recommends "${missing[@]}" |
  awk '{ bytes += $3 } END { printf "%.0f", bytes / 1000000 }')
echo "Installing $count packages (about $megabytes MB to download)..."
# apt's own lines, one per package, are condensed into a count every ten
# packages; when apt is quiet for 15 s (a long download, a slow set-up
# script), a line says what it is on, so that it is never silent for long.
apt-get install -y -q -o Dpkg::Use-Pty=0 --no-install-recommends "${missing[@]}" | {
  fetched=0 unpacked=0 set_up=0 current="fetching" quiet=0
  while :; do
    if IFS= read -r -t 15 line; then
      quiet=0
    elif (($? > 128)); then
      quiet=$((quiet + 15))
      echo "  still $current ($quiet s)"
      continue
    else
      break
    fi
    case "$line" in
      Get:*) fetched=$((fetched + 1)) && ((fetched % 10 && fetched != count)) || echo "  fetched $fetched of $count" ;;
      "Unpacking "*)
        current="unpacking ${line#Unpacking }" && current=${current% ...}
        unpacked=$((unpacked + 1)) && ((unpacked % 10 && unpacked != count)) || echo "  unpacked $unpacked of $count"
        ;;
      "Setting up "*)
        current="setting up ${line#Setting up }" && current=${current% ...}
        set_up=$((set_up + 1)) && ((set_up % 10 && set_up != count)) || echo "  set up $set_up of $count"
        ;;
    esac
  done
}
echo "Packages installed."
