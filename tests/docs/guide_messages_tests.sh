#!/usr/bin/env bash
# Every message of the programs is in the user guide's troubleshooting table.
# A message is a Chinese text in src/ or apps/ (a string literal, or one line
# of it) that ends with ! or ? (either width): the programs' reports of a
# problem and their questions. Texts of success (成功) are not problems, and
# comment lines are not code.
#   guide_messages_tests.sh SOURCE_FOLDER
set -euo pipefail
export LC_ALL=C.UTF-8
cd "$1"
guide=docs/使用说明.md
heading='## 13. 出了问题怎么办'
table="$(sed -n "/^$heading/,/^## /p" "$guide" | grep '^|' || true)"
[ -n "$table" ] || { echo "FAIL: $guide has no table under \"$heading\"" >&2; exit 1; }
missing=0
while IFS= read -r line; do
  file="${line%%:*}" rest="${line#*:}"
  where="$file:${rest%%:*}" code="${rest#*:}"
  while IFS= read -r literal; do
    text="${literal:1:-1}"
    text="${text//\\r/$'\n'}"
    while IFS= read -r message; do
      [[ "$message" =~ [!！?？]$ && "$message" =~ [^\ -~] && "$message" != *成功* ]] || continue
      [[ "$table" == *"$message"* ]] && continue
      echo "FAIL: the message \"$message\" ($where) is not in the table under \"$heading\" in $guide:" \
        "add a row | \`$message\` | cause | what to do |" >&2
      missing=1
    done <<<"${text//\\n/$'\n'}"
  done < <(grep -oP '"(?:[^"\\]|\\.)*"' <<<"$code")
done < <(grep -rnP --include='*.cpp' --include='*.h' '"[^"]*[^\x00-\x7F][^"]*[!?！？]' src apps |
         grep -vP '^[^:]+:[0-9]+:\s*(//|\*)')
[ "$missing" -eq 0 ] && echo "every message is in the guide's table"
