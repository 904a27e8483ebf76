#!/usr/bin/env bash
# Set up, build and start the Lutwright window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)" --target lutwright
exec build/lutwright "$@"
