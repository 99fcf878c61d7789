#!/usr/bin/env bash
# Converts every hostile test file with scrivlet-cli, in the default mode and
# with extended reading, and checks its peak memory and time: at most 64 MB
# above converting a one-page file in the same mode, plus what one page's
# content may inflate to (10 MB by default, 256 MB with extended reading).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh time
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target scrivlet-cli makeHostile
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/tools/makeHostile "$work" >/dev/null
measure() { # mode file -> "maxrss_kb seconds"
  /usr/bin/time -f '%M %e' -o "$work/.time" build/bin/scrivlet-cli --jobs 1 --overwrite "$1" "$2" >/dev/null 2>&1 || true
  tail -n 1 "$work/.time" # after a "Command exited with non-zero status" line
}
fail=0
for mode in --no-extended --extended; do
  read -r base _ < <(measure "$mode" "$work/prev-self.pdf")
  content_mb=10
  [ "$mode" = --extended ] && content_mb=256
  limit=$((base + (64 + content_mb) * 1024))
  printf '\n%s\n%-40s %10s %8s %s\n' "scrivlet-cli $mode" file 'peak (MB)' seconds check
  for f in "$work"/*.pdf; do
    read -r kb secs < <(measure "$mode" "$f")
    ok=PASS
    [ "$kb" -le "$limit" ] || { ok=FAIL; fail=1; }
    printf '%-40s %10s %8s %s\n' "$(basename "$f")" "$(awk "BEGIN{printf \"%.1f\", $kb/1024}")" "$secs" "$ok"
  done
  echo "one-page baseline: $((base / 1024)) MB; limit: $((limit / 1024)) MB"
done
exit $fail
