#!/usr/bin/env bash
# The newcomer's path on a bare Debian 12, checked in two fresh minimal roots
# made with mmdebstrap from this machine's apt sources (and its apt proxy and
# Acquire settings):
#   1. with the repository copied in, the README's Quick start and then its
#      Install section, each run as written, as root;
#   2. in a second root, the package made in the first installed with apt and
#      the example run by a user who is not root.
# Each step's time is printed. The roots live under build-clean/ and are
# removed on every exit. Run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

if [ "$(id -u)" -ne 0 ]; then
  echo "scripts/test-clean-machine.sh makes Debian roots and enters them: run it as root" >&2
  exit 1
fi
scripts/deps.sh clean

work=$repo/build-clean
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT TERM
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "test-clean-machine: $*" >&2
  exit 1
}

# This machine's apt sources and the apt settings that reach the mirror.
sources=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] && grep -qE '^[[:space:]]*deb[[:space:]]' "$f" && sources+=("$f")
done
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && grep -qiE '^Types:.*\bdeb\b' "$f" && sources+=("$f")
done
[ ${#sources[@]} -gt 0 ] || fail "no apt source is configured in /etc/apt/sources.list*"
aptopts=()
for f in /etc/apt/apt.conf /etc/apt/apt.conf.d/*; do
  [ -f "$f" ] && grep -q 'Acquire::' "$f" && aptopts+=("--aptopt=$f")
done

# The README's first sh block under a heading, as a user would paste it.
readme_block() {
  awk -v heading="## $1" '
    $0 == heading { inside = 1; next }
    inside && /^## / { exit }
    inside && /^```sh$/ { block = 1; next }
    block && /^```$/ { exit }
    block { print }' README.md
}
quick_start=$(readme_block "Quick start")
install=$(readme_block "Install")
[ -n "$quick_start" ] && [ -n "$install" ] || fail "README.md has no sh block under Quick start or Install"

seconds_since() { echo $(($(date +%s) - $1)); }

make_root() {
  local started
  started=$(date +%s)
  echo "-- Making a minimal Debian 12 root in $1..."
  mmdebstrap --quiet --variant=minbase "${aptopts[@]}" bookworm "$1" "${sources[@]}" ||
    fail "mmdebstrap could not make $1"
  # Name resolution for apt inside the root.
  cp -L /etc/resolv.conf "$1/etc/resolv.conf"
  echo "   made in $(seconds_since "$started") s ($(du -sm "$1" | cut -f1) MB)"
}

# Runs a script as root inside a root, with a clean login environment and no
# standard input, in mount and process namespaces of its own: /proc, /dev/shm
# and /dev/pts are mounted there and vanish with it, and no process outlives
# it.
in_root() {
  local root=$1 script=$2
  unshare --mount --pid --fork --kill-child -- bash -euc '
    root=$1
    mount -t proc proc "$root/proc"
    mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
    exec chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      ${http_proxy:+http_proxy=$http_proxy} ${https_proxy:+https_proxy=$https_proxy} \
      bash -euo pipefail -c "$2"' in_root "$root" "$script" </dev/null
}

# Runs a step and prints its output, marking each silence of more than 20 s,
# then the longest silence and the step's time.
step() {
  local name=$1 root=$2 script=$3 started
  started=$(date +%s)
  echo "-- $name"
  in_root "$root" "$script" 2>&1 | {
    local line now last=$started longest=0
    while IFS= read -r line; do
      printf -v now '%(%s)T' -1
      ((now - last <= longest)) || longest=$((now - last))
      ((now - last <= 20)) || echo "   [$((now - last)) s without output]"
      last=$now
      printf '%s\n' "$line"
    done
    echo "   longest silence: $longest s"
  } || fail "$name failed after $(seconds_since "$started") s"
  echo "   $name: $(seconds_since "$started") s"
}

started_all=$(date +%s)

# One minimal root, made once; its untouched copy is the second machine.
builder=$work/builder
user_root=$work/user
make_root "$builder"
cp -a "$builder" "$user_root"

# 1. The repository on a bare machine: Quick start, then Install.
mkdir -p "$builder/root/tarnweld"
tar -C "$repo" --exclude-vcs --exclude='./build*' --exclude=./out -cf - . | tar -C "$builder/root/tarnweld" -xf -

# Each command of a README block as a step of its own, timed, in the
# repository's copy.
readme_steps() {
  local command
  while IFS= read -r command; do
    step "$command" "$builder" "cd /root/tarnweld && $command"
  done <<<"$2" | tee "$work/$1.log"
}
readme_steps quick-start "$quick_start"
grep -q "<h1>Night Shelf Records</h1>" "$work/quick-start.log" || fail "the Quick start did not print the example catalog"
grep -qE '^100% tests passed' "$work/quick-start.log" || fail "the Quick start's tests did not all pass"
readme_steps install "$install"
grep -q "<h1>Night Shelf Records</h1>" "$work/install.log" || fail "the installed tarnweld-host did not print the example catalog"
grep -q "TARNWELD-HOST" "$work/install.log" || fail "man tarnweld-host did not show the page"
deb=$(ls "$builder"/tmp/tarnweld_*.deb) || fail "the Install section left no package in /tmp"

# 2. The package alone on another bare machine, run by a user.
cp "$deb" "$user_root/tmp/"
step "The package in a fresh root, the example run by a user" "$user_root" "
apt-get update -qq
apt-get install -y -q -o Dpkg::Use-Pty=0 --no-install-recommends /tmp/$(basename "$deb")
useradd --create-home reader
runuser -u reader -- sh -c 'cd && tarnweld-host run /usr/share/doc/tarnweld/examples/catalog.xml > catalog.html && id -un && grep -c \"<h1>Night Shelf Records</h1>\" catalog.html'
" | tee "$work/user.log"
grep -qx reader "$work/user.log" && grep -qx 1 "$work/user.log" || fail "the example did not run for a user of the installed package"

echo "== The clean-machine path held, in $(seconds_since "$started_all") s"
