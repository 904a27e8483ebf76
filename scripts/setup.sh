#!/usr/bin/env bash
# Installs what building and testing Lutwright needs on Debian 12, only when something is
# missing, so that running it again costs nothing. Given package names, it installs those
# instead (the checks of scripts/crosscheck.d use this).
set -euo pipefail

packages=("$@")
[ $# -gt 0 ] || packages=(
  g++ cmake make pkg-config
  qtbase5-dev qtbase5-dev-tools qt5-image-formats-plugins
  libbenchmark-dev
  zlib1g-dev
  python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest
  locales
  fonts-wqy-microhei
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
