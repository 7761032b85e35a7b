#!/usr/bin/env bash
# The guide's pictures are those scripts/screenshots.sh takes from the real
# windows: the script runs and makes every picture the guide links; every
# picture in docs/images carries the script's mark, is linked by the guide and
# is still made by the script.
#   guide_pictures_tests.sh SOURCE_FOLDER BUILD_FOLDER
set -euo pipefail
source="$1" build="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
again="run scripts/screenshots.sh and commit docs/images"

"$source/scripts/screenshots.sh" --built "$build" "$work/images" || fail "scripts/screenshots.sh failed"
cd "$source/docs"
linked="$(grep -oP '\]\(\Kimages/[^)]+\.png(?=\))' 使用说明.md | sort -u)"
committed="$(ls images/*.png | sort)"
made="$(cd "$work" && ls images/*.png | sort)"
[ -n "$linked" ] || fail "docs/使用说明.md links no picture"
for picture in $linked; do
  [ -f "$work/$picture" ] || fail "docs/使用说明.md links $picture, which scripts/screenshots.sh does not make"
  [ -f "$picture" ] || fail "docs/$picture is missing: $again"
done
for picture in $committed; do
  grep -qa "tolvar scripts/screenshots.sh" "$picture" || fail "docs/$picture was not made by scripts/screenshots.sh: $again"
  grep -qxF "$picture" <<<"$linked" || fail "docs/$picture is linked nowhere in docs/使用说明.md: link it or remove it"
  grep -qxF "$picture" <<<"$made" || fail "scripts/screenshots.sh no longer makes docs/$picture: remove it"
done
echo "$(wc -l <<<"$linked") pictures, all made by scripts/screenshots.sh"
