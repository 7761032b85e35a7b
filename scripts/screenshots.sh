#!/usr/bin/env bash
# Takes the pictures of the user guide (docs/使用说明.md) from the real windows:
# build/screenshots plays the user of Tolvar and Corvane on Qt's offscreen
# platform, in the CJK font the package depends on, with build/handheld-sim
# as the handheld on com1, and writes every picture as FOLDER/NAME.png.
#   scripts/screenshots.sh [--built BUILD] [FOLDER]   (FOLDER: docs/images)
# Without --built it installs what is missing and builds ./build first; with
# it, it uses the programs in BUILD as they are (the tests do).
set -euo pipefail
cd "$(dirname "$0")/.."
build=""
if [ "${1:-}" = --built ]; then
  build="$(realpath "$2")"
  shift 2
fi
out="$(realpath -m "${1:-docs/images}")"
if [ -z "$build" ]; then
  scripts/install-deps.sh
  scripts/build.sh
  build="$PWD/build"
fi
# Taken into a folder of their own first: a failed run leaves the old
# pictures as they were. A picture no longer taken stays; the pictures test
# names it.
mkdir -p "$out"
fresh="$(mktemp -d "$out/.taking-XXXXXX")"
trap 'rm -rf "$fresh"' EXIT
if ! QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 "$build/screenshots" "$fresh" >"$fresh/steps.log" 2>&1; then
  tail -n 15 "$fresh/steps.log" >&2
  exit 1
fi
pictures=("$fresh"/*.png)
mv -f "${pictures[@]}" "$out"/
echo "${#pictures[@]} pictures in $out"
