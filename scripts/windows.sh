#!/usr/bin/env bash
# Builds the Windows package on Debian 12: cross-compiles Qt 5 (once, into a cache outside the
# tree) and Lutwright with mingw-w64, runs the test programs and the command-line tests under
# Wine, packs dist/lutwright-VERSION-windows-x64.zip and checks that the unpacked zip runs on
# its own.
#   scripts/windows.sh            everything
#   scripts/windows.sh --qt-only  only make sure the cached Qt exists
# LUTWRIGHT_CACHE moves the cache (default ~/.cache/lutwright).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
jobs="$(nproc)"
cache="${LUTWRIGHT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lutwright}"
triplet=x86_64-w64-mingw32

say() { printf '== %s\n' "$*"; }

install_packages() {
  local packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
                  wine64 xvfb x11-apps imagemagick dpkg-dev perl python3 zip unzip cmake make
                  qtbase5-dev-tools)
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    say "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# Fetches Debian's qtbase source package into $cache/src. The machine's own apt setup is left
# alone: the deb-src entries (this release's entries of the machine's lists, as source) and
# their index live in a private folder.
fetch_qt_source() {
  local dir="$cache/src" codename f
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  mkdir -p "$dir/apt/parts" "$dir/apt/lists/partial" "$dir/apt/cache/archives/partial"
  : > "$dir/apt/parts/src.list"
  [ -f /etc/apt/sources.list ] &&
    { grep -E "^deb [^#]* $codename" /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$dir/apt/parts/src.list" || true; }
  : > "$dir/apt/parts/src.sources"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v c="$codename" 'BEGIN { RS = ""; ORS = "\n\n" }
      $0 ~ ("Suites:[^\n]*" c) { sub(/Types: *deb/, "Types: deb-src"); print }' "$f" >> "$dir/apt/parts/src.sources"
  done
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    grep -E "^deb [^#]* $codename" "$f" | sed 's/^deb /deb-src /' >> "$dir/apt/parts/src.list" || true
  done
  local opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$dir/apt/parts"
              -o "Dir::State::Lists=$dir/apt/lists" -o "Dir::Cache=$dir/apt/cache"
              -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update -qq
  (cd "$dir" && apt-get "${opts[@]}" source -qq qtbase-opensource-src > apt-source.log)
}

qt_source_dir() { find "$cache/src" -maxdepth 1 -type d -name 'qtbase-opensource-src-*' 2>/dev/null | sort | tail -1 || true; }

# Qt 5 for mingw-w64, shared (the package ships its DLLs, so nothing has to be linked in a
# special order and the image module shares the program's Qt), with only the modules the
# program and its tests use. The build folder is the prefix, so nothing needs installing.
build_qt() {
  local src
  src="$(qt_source_dir)"
  if [ -z "$src" ]; then
    say "Fetching qtbase's source package"
    fetch_qt_source
    src="$(qt_source_dir)"
  fi
  local version
  version="$(basename "$src" | sed -E 's/^qtbase-opensource-src-([0-9.]+).*/\1/')"
  qt="$cache/qt-$version-mingw-shared"
  [ -f "$qt/.complete" ] && { say "Using the cached Qt in $qt"; return; }
  say "Building Qt $version for Windows into $qt (about 40 minutes on 2 cores)"
  rm -rf "$qt"
  mkdir -p "$qt"
  (cd "$qt" && "$src/configure" -prefix "$qt" -opensource -confirm-license \
      -xplatform win32-g++ -device-option CROSS_COMPILE=$triplet- -release -shared \
      -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-direct2d \
      -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
      -no-sql-sqlite -no-sql-odbc -no-feature-sql -no-feature-network -no-feature-xml \
      -no-feature-concurrent -no-feature-printer -no-feature-tabletevent > configure.log 2>&1) ||
    { tail -40 "$qt/configure.log"; exit 1; }
  (cd "$qt" && make -j"$jobs" > make.log 2>&1) || { tail -40 "$qt/make.log"; exit 1; }
  touch "$qt/.complete"
}

install_packages
build_qt
[ "${1:-}" = "--qt-only" ] && exit 0
