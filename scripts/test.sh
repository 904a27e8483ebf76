#!/usr/bin/env bash
# Set up, build everything and run the whole test suite: once in the Release build, and once
# more under AddressSanitizer and UndefinedBehaviorSanitizer. `--quick` skips the second run.
# Where scripts/windows.sh has built a Qt for Windows, the Windows build and its tests under Wine
# run too (`--no-windows` skips them); Qt itself is never built here.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")

quick=false
windows=true
for arg in "$@"; do
  case "$arg" in
    --quick) quick=true ;;
    --no-windows) windows=false ;;
  esac
done

if ! $quick; then
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUTWRIGHT_SANITIZE=ON -DLUTWRIGHT_BENCH=OFF > /dev/null
  cmake --build build-sanitize -j"$jobs"
  (cd build-sanitize && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
     UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j"$jobs")
fi

cache="${LUTWRIGHT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lutwright}"
if ! $windows; then
  echo "Windows build skipped: --no-windows given."
elif compgen -G "$cache/qt-*-mingw-shared/.complete" > /dev/null; then
  scripts/windows.sh --no-package
else
  echo "Windows build skipped: no Qt for Windows in $cache (scripts/windows.sh builds it once, about 20 minutes)."
fi
