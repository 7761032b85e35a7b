#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine (run as root or
# with sudo available). Does nothing when everything is there already.
#   scripts/install-deps.sh            the build and its tests
#   scripts/install-deps.sh checked    also clang's sanitizers and libFuzzer (scripts/test-checked.sh)
#   scripts/install-deps.sh windows    also MinGW-w64, GoogleTest's sources and Wine (scripts/test-windows.sh)
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev qt6-translations-l10n qt6-tools-dev qt6-l10n-tools
  libgtest-dev libcli11-dev fonts-noto-cjk dpkg-dev file desktop-file-utils)
for extra in "$@"; do
  case "$extra" in
    checked) packages+=(clang libclang-rt-dev) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix googletest wine64) ;;
    *) echo "install-deps.sh: unknown set $extra" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
# Wait for another apt run (an update, a second install) instead of failing.
apt=(apt-get -o DPkg::Lock::Timeout=600)
$sudo "${apt[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
