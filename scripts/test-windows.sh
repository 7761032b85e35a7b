#!/usr/bin/env bash
# Cross-builds the parts that need no Qt for 64-bit Windows (./build-windows,
# MinGW-w64) and runs their tests under Wine: common, link without its Qt
# serial layer, backup, repair, converter and Corvane's command line, with
# GoogleTest built from its sources. Their Windows branches run here: wide
# file names, MoveFileExW over an existing target, the wide command line and
# COMn port names.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLVAR_WITH_QT=OFF -DTOLVAR_GTEST_SOURCE=/usr/src/googletest "${launcher[@]}" >/dev/null
cmake --build build-windows -j"$(nproc)" --target engine_tests

# A Wine of our own, set up once; its language is English, its locale's text UTF-8.
export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64)"
[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1
ctest --test-dir build-windows --output-on-failure -j"$(nproc)" -L engine
"${wine%/*}/wineserver" -w 2>/dev/null || true
