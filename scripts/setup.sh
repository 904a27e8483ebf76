#!/usr/bin/env bash
# Installs what building and testing Lutwright needs on Debian 12, only when something is
# missing, so that running it again costs nothing. Given package names, it installs those
# instead (the checks of scripts/crosscheck.d and scripts/windows.sh use this).
# While another installation runs (automatic updates on a new machine, say), it waits for it to
# finish, up to LUTWRIGHT_APT_WAIT seconds (default 1800), instead of failing on apt's lock.
set -euo pipefail

packages=("$@")
[ $# -gt 0 ] || packages=(
  g++ cmake make pkg-config
  qtbase5-dev qtbase5-dev-tools qt5-image-formats-plugins
  libbenchmark-dev
  zlib1g-dev
  liblcms2-dev liblcms2-utils
  python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest
  locales
  fonts-wqy-microhei
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
wait_limit="${LUTWRIGHT_APT_WAIT:-1800}"
started=$SECONDS

# The process that holds an apt or dpkg lock file, if one does (both take fcntl locks, which
# /proc/locks lists by inode).
lock_holder() {
  local inode
  inode="$(stat -c %i "$1" 2> /dev/null)" || return 0
  awk -v i="$inode" '$2 != "->" && $6 ~ (":" i "$") { print $5; exit }' /proc/locks
}

# apt-get waits for dpkg's locks by itself (DPkg::Lock::Timeout), but `apt-get update` fails at
# once on the package lists' lock: that one is waited for here, and named either way.
wait_for_lock() {
  local pid said=""
  while pid="$(lock_holder "$1")"; [ -n "$pid" ]; do
    if [ -z "$said" ]; then
      echo "Waiting for $(cat "/proc/$pid/comm" 2> /dev/null || echo "process $pid") (process $pid)" \
           "to release $1: another installation is running (up to $wait_limit s)"
      said=1
    fi
    [ $((SECONDS - started)) -lt "$wait_limit" ] || { echo "Gave up waiting for $1 after $wait_limit s"; exit 100; }
    sleep 2
  done
}

apt_get() {
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout="$wait_limit" "$@"
}

echo "Installing: ${missing[*]}"
# Another update can take the lists' lock between the wait and ours: then wait again.
until wait_for_lock /var/lib/apt/lists/lock; apt_get update -qq; do
  [ -n "$(lock_holder /var/lib/apt/lists/lock)" ] || exit 100
done
wait_for_lock /var/lib/dpkg/lock-frontend
apt_get install -y -qq --no-install-recommends "${missing[@]}"
