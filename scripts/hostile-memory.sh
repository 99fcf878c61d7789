#!/usr/bin/env bash
# Converts every hostile test file with scrivlet-cli and checks its peak
# memory and time: at most 64 MB above converting a one-page file, plus the
# 10 MB that one stream may inflate to.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh time
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target scrivlet-cli makeHostile
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/tools/makeHostile "$work" >/dev/null
measure() { # file -> "maxrss_kb seconds"
  /usr/bin/time -f '%M %e' -o "$work/.time" build/bin/scrivlet-cli --jobs 1 --overwrite "$1" >/dev/null 2>&1 || true
  tail -n 1 "$work/.time" # after a "Command exited with non-zero status" line
}
read -r base _ < <(measure "$work/prev-self.pdf")
limit=$((base + (64 + 10) * 1024))
printf '%-32s %10s %8s %s\n' file 'peak (MB)' seconds check
fail=0
for f in "$work"/*.pdf; do
  read -r kb secs < <(measure "$f")
  ok=PASS
  [ "$kb" -le "$limit" ] || { ok=FAIL; fail=1; }
  printf '%-32s %10s %8s %s\n' "$(basename "$f")" "$(awk "BEGIN{printf \"%.1f\", $kb/1024}")" "$secs" "$ok"
done
echo "one-page baseline: $((base / 1024)) MB; limit: $((limit / 1024)) MB"
exit $fail
