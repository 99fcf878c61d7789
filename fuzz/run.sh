#!/usr/bin/env bash
# Builds the fuzzers with clang in build-fuzz/ and runs each in turn for
# SECONDS (default 60), niced, on a working copy of the seed corpus
# (fuzz/corpus-work/, kept between runs). Inputs that crash, leak, hang or
# run out of memory land in fuzz/crashes/<target>/.
#
# Usage: fuzz/run.sh [SECONDS] [TARGET...]     TARGET: convert, extended, profile, fonts
# Extra libFuzzer flags may be given in FUZZ_FLAGS, e.g. to go on after a
# finding: FUZZ_FLAGS="-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1".
set -euo pipefail
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(convert profile fonts)

fuzz=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$fuzz")
build=$root/build-fuzz

"$root/scripts/setup.sh" clang libclang-rt-14-dev
cxx=$(command -v clang++-14 || command -v clang++)

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSCRIVLET_FUZZ=ON -DSCRIVLET_BUILD_GUI=OFF -DSCRIVLET_BUILD_TESTS=OFF \
    -DCMAKE_PROJECT_INCLUDE="$fuzz/addLate.cmake" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target fuzzConvert fuzzConvertExtended fuzzProfile fuzzFonts

status=0
for t in "${targets[@]}"; do
  case $t in
    convert) exe=fuzzConvert; extra=(-dict="$fuzz/pdf.dict") ;;
    extended) exe=fuzzConvertExtended; extra=(-dict="$fuzz/pdf.dict") ;;
    profile) exe=fuzzProfile; extra=() ;;
    fonts) exe=fuzzFonts; extra=() ;;
    *) echo "unknown target: $t" >&2; exit 2 ;;
  esac
  work=$fuzz/corpus-work/$t
  crashes=$fuzz/crashes/$t
  mkdir -p "$work" "$crashes"
  # The regressions stay out: the replay test runs them, and one that still
  # hangs would stop the run at its start.
  cp -n "$fuzz/corpus/$t"/* "$work"/ 2>/dev/null || true
  before=$(find "$crashes" -type f | wc -l)
  echo "== $exe for ${seconds}s; log in $build/$exe.log"
  # FUZZ_FLAGS is split into words on purpose.
  # shellcheck disable=SC2086
  nice -n 10 "$build/bin/$exe" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$crashes/" "${extra[@]}" ${FUZZ_FLAGS:-} "$work" \
    >"$build/$exe.log" 2>&1 || true
  grep -E '^#[0-9]+' "$build/$exe.log" | tail -1 || true
  grep -E '^stat::' "$build/$exe.log" || true
  if [ "$(find "$crashes" -type f | wc -l)" -gt "$before" ]; then
    echo "$exe found something: see $crashes/ and $build/$exe.log" >&2
    status=1
  fi
done
exit $status
