#!/usr/bin/env bash
# Builds everything and runs every test: once in a normal build, once more
# with AddressSanitizer and UndefinedBehaviorSanitizer (leaks included). In
# between, the Debian package of the normal build is made and tried out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
# The Debian package, from the same build: built, installed, used, removed.
scripts/package-test.sh

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSCRIVLET_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j"$jobs")
