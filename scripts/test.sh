#!/usr/bin/env bash
# Runs every test: the unit and integration tests in a release build, the same
# tests built with AddressSanitizer and UBSan, and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
# ccache keys on paths relative to the clone, so every clone shares its cache.
export CCACHE_BASEDIR="$PWD"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOLMO_BENCH=OFF
cmake --build build -j "$jobs"
# The Debian package of this build, for the package tests (tests/package).
bash scripts/package.sh build
(cd build && ctest --output-on-failure -j "$jobs")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOLMO_SANITIZE=ON -DKOLMO_BENCH=OFF
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure -j "$jobs")

# Fuzz smoke run: every target over its seed corpus and fresh inputs.
CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLMO_FUZZ=ON
cmake --build build-fuzz -j "$jobs"
for target in build-fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target"); name=${name#fuzz_}
  corpus=fuzz/corpus/$name
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  # A crash, leak or timeout input is kept under build-fuzz/ (ignored by git), never in the source tree.
  artifacts=build-fuzz/artifacts/$name
  mkdir -p "$artifacts"
  echo "fuzz $name"
  "$target" -artifact_prefix="$artifacts/" -runs=20000 -max_total_time=60 -timeout=10 "$work" 2>&1 | tail -n 2
  rm -rf "$work"
done
echo "all tests passed"
