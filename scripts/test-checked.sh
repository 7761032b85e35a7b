#!/usr/bin/env bash
# The checked build (./build-checked, clang): the engine's tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, any finding fatal, then
# every fuzz target under both for FUZZ_SECONDS (default 30) each, starting
# from its seed corpus in tests/fuzz/corpus. A fuzzer's finding is left in
# build-checked/fuzz/NAME/ with the input that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh checked
seconds="${FUZZ_SECONDS:-30}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CXX=clang++ cmake -S . -B build-checked -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_SANITIZE=ON -DTOLVAR_FUZZ=ON \
  "${launcher[@]}" >/dev/null
cmake --build build-checked -j"$(nproc)" --target engine_tests

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-checked --output-on-failure -j"$(nproc)" -L engine

# Files the targets write go to memory where the machine offers it.
scratch="$(mktemp -d -p "$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")"
trap 'rm -rf "$scratch"' EXIT
for fuzzer in build-checked/fuzz_*; do
  [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
  name="${fuzzer##*/fuzz_}"
  found="build-checked/fuzz/$name"
  rm -rf "$found" && mkdir -p "$found/corpus"
  echo "Fuzzing $name for ${seconds} s"
  if ! TMPDIR="$scratch" "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=40000 \
      -artifact_prefix="$found/" -print_final_stats=1 "$found/corpus" "tests/fuzz/corpus/$name" \
      >"$found/log.txt" 2>&1; then
    tail -n 60 "$found/log.txt"
    echo "fuzz_$name found a fault: see $found" >&2
    exit 1
  fi
  grep -E "^stat::number_of_executed_units|^Done" "$found/log.txt" || true
done
