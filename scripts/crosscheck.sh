#!/usr/bin/env bash
# Checks this program's formats against other colour tools, which serve only as yardsticks:
# runs every scripts/crosscheck.d/*.sh in turn (each installs what it needs) and fails when
# any of them fails. BUILD_DIR names the build to use (default: build).
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
for check in scripts/crosscheck.d/*.sh; do
  echo "== $(basename "$check")"
  bash "$check" || status=1
done
exit $status
