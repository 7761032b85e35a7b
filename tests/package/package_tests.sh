#!/usr/bin/env bash
# The Debian package as users get it: CPack makes it from this build; it must
# declare the Qt libraries, the CJK font and Qt's translations as dependencies,
# carry exactly the programs, menu entries, icons, copyright statement, user
# guide with its pictures and the catalog of the help in Chinese, and its
# programs must run from an unpacked copy, their help in the system's language.
#   package_tests.sh BUILD_FOLDER
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! (cd "$build" && cpack -B "$work/cpack" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log" >&2
  fail "cpack could not make the package"
fi
debs=("$work"/cpack/tolvar_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one tolvar_*.deb, found: ${debs[*]}"
deb="${debs[0]}"

depends="$(dpkg-deb -f "$deb" Depends)"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libc6 fonts-noto-cjk qt6-translations-l10n; do
  grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

pictures="$(cd "$(dirname "$0")/../../docs" && ls images/*.png | sed 's|^|./usr/share/doc/tolvar/|')"
expected="$(sort <<EOF
./usr/bin/corvane
./usr/bin/handheld-sim
./usr/bin/tolvar
./usr/share/applications/corvane.desktop
./usr/share/applications/tolvar.desktop
./usr/share/doc/tolvar/copyright
./usr/share/doc/tolvar/使用说明.md
$pictures
./usr/share/icons/hicolor/scalable/apps/corvane.svg
./usr/share/icons/hicolor/scalable/apps/tolvar.svg
./usr/share/tolvar/translations/tolvar_zh_CN.qm
EOF
)"
files="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort)"
[ "$files" = "$expected" ] || fail "file list differs:"$'\n'"$(diff <(echo "$expected") <(echo "$files"))"

root="$work/root"
dpkg-deb -x "$deb" "$root"
copyright="$root/usr/share/doc/tolvar/copyright"
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
  grep -qx 'Upstream-Name: Tolvar' "$copyright" || fail "copyright is not in Debian's machine-readable format"
for program in tolvar corvane; do
  entry="$root/usr/share/applications/$program.desktop"
  desktop-file-validate "$entry" || fail "$program.desktop is not a valid menu entry"
  grep -qx "Exec=$program" "$entry" && grep -qx "Icon=$program" "$entry" || fail "$program.desktop names another program or icon"
  [ "$(file --brief --mime-type "$root/usr/share/icons/hicolor/scalable/apps/$program.svg")" = image/svg+xml ] ||
    fail "$program.svg is not an SVG image"
done

# The unpacked programs on the system's Qt; --help needs no display, and
# finds the catalog of its Chinese where the package put it.
check_help() {
  local program="$1" verb="$2" locale="$3" usage="$4" help
  help="$(env -u DISPLAY -u WAYLAND_DISPLAY -u LANGUAGE LC_ALL="$locale" "$root/usr/bin/$program" --help 2>&1)" ||
    fail "$program --help ended with status $?: $help"
  grep -q "^$usage" <<<"$help" && grep -q -- "$verb" <<<"$help" || fail "$program --help under $locale: $help"
}
for program in "tolvar backup-nor" "corvane nand2data" "handheld-sim --nand-blocks"; do
  check_help $program C.UTF-8 "usage: "
  check_help $program zh_CN.UTF-8 "用法: "
done
echo "package ok: $(basename "$deb")"
