#!/usr/bin/env bash
# Checks that files this program writes are read the same way by other tools. Runs every
# scripts/crosscheck.d/*.sh in turn (each installs what it needs) and fails if any fails.
# Not part of the test suite: it installs packages and takes minutes.
#   LUTWRIGHT_CLI   the command-line program to check (default: build/cli/lutwright-cli)
#   BUILD_DIR       the build whose tools the checks use (default: build)
set -uo pipefail
cd "$(dirname "$0")/.."
export LUTWRIGHT_CLI="${LUTWRIGHT_CLI:-$PWD/build/cli/lutwright-cli}"

failed=()
for check in scripts/crosscheck.d/*.sh; do
  echo "== $(basename "$check")"
  if bash "$check"; then
    echo "== $(basename "$check"): passed"
  else
    echo "== $(basename "$check"): FAILED"
    failed+=("$(basename "$check")")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "crosscheck failed: ${failed[*]}"
  exit 1
fi
echo "crosscheck passed"
