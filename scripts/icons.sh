#!/usr/bin/env bash
# Make the macOS and Windows icons (packaging/lutwright.icns, packaging/lutwright.ico) from
# packaging/lutwright.svg. Run it after changing the picture; the results are kept in the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
command -v rsvg-convert > /dev/null || need+=(librsvg2-bin)
command -v png2icns > /dev/null || need+=(icnsutils)
command -v convert > /dev/null || need+=(imagemagick)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for s in 16 32 48 128 256 512; do
  rsvg-convert -w $s -h $s packaging/lutwright.svg -o "$tmp/$s.png"
done
png2icns packaging/lutwright.icns "$tmp"/{16,32,48,128,256,512}.png > /dev/null
convert "$tmp"/{16,32,48,256}.png packaging/lutwright.ico
ls -l packaging/lutwright.icns packaging/lutwright.ico
