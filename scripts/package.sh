#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package
# tolvar_VERSION_ARCH.deb in FOLDER (default: this folder).
#   scripts/package.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-.}")"
scripts/install-deps.sh
scripts/build.sh
mkdir -p "$out"
staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
(cd build && cpack -B "$staging" >/dev/null)
mv "$staging"/tolvar_*.deb "$out"/
ls "$out"/tolvar_*.deb
