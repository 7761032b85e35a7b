#!/usr/bin/env bash
# Every command the user guide shows is one the programs take: the verb
# exists and each option it uses is in that verb's help.
#   guide_commands_tests.sh SOURCE_FOLDER BUILD_FOLDER
set -euo pipefail
export LANG=C.UTF-8 LC_ALL=C.UTF-8
guide="$1/docs/使用说明.md" build="$2"
commands="$(grep -oP '(?<![\w-])(tolvar|corvane|handheld-sim) [^`#|]*' "$guide" | sort -u)"
[ -n "$commands" ] || { echo "FAIL: $guide shows no command" >&2; exit 1; }
failed=0
while read -r program verb rest; do
  [[ "$verb" == -* ]] && { rest="$verb $rest"; verb=""; }
  help="$("$build/$program" $verb --help 2>&1)" || true
  if [ -n "$verb" ] && ! grep -qF "usage: $program $verb " <<<"$help"; then
    echo "FAIL: the guide shows \"$program $verb\", which is no verb" >&2
    failed=1
    continue
  fi
  for option in $(grep -oP '(?<!\S)--[a-z-]+' <<<"$rest" || true); do
    grep -qP -- "(?<![\w-])$option(?![\w-])" <<<"$help" && continue
    echo "FAIL: the guide shows \"$program $verb $option\", which its help does not name" >&2
    failed=1
  done
done <<<"$commands"
[ "$failed" -eq 0 ] && echo "$(wc -l <<<"$commands") commands of the guide, all taken by the programs"
