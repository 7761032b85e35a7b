#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tolvar. Unless TOLVAR_COM1 names
# a device already, com1 is wired to the simulated handheld (build/handheld-sim),
# which runs until Tolvar ends, so that every task can be tried without a cable.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${TOLVAR_COM1:-}" ] && [ -x build/handheld-sim ]; then
  link="${TMPDIR:-/tmp}/tolvar-com1-$$"
  build/handheld-sim --link "$link" >/dev/null &
  sim=$!
  trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
  export TOLVAR_COM1="$link"
fi
build/tolvar "$@"
