#!/usr/bin/env bash
# Set up, build and start the Lutwright window; `--studio` starts Lutwright Studio instead.
# Any other arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
target=lutwright program=build/lutwright
if [ "${1:-}" = "--studio" ]; then
  shift
  target=lutwright-studio program=build/studio/lutwright-studio
fi
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)" --target "$target"
exec "$program" "$@"
