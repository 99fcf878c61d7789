#!/usr/bin/env bash
# The benchmark, in one command: installs what is missing, builds an
# optimised scrivlet-cli and the bench programs in build-bench/, writes the
# corpus once, then times scrivlet-cli (default mode and extended reading),
# extended reading's file structure alone (bench-structure), the
# read-and-inflate floor, pdftotext and mutool side by side on each
# corpus item and prints the table (also written to bench/results.md) and
# the PASS/FAIL checks.
#
# Knobs (environment): BENCH_RUNS (5) rounds of runs per item, BENCH_ROUNDS (11)
# rounds of the interleaved linearity runs, BENCH_BUDGET
# (100) seconds after which a measurement stops repeating, BENCH_TIMEOUT (60)
# seconds after which one process is stopped, BENCH_BUILD (build-bench),
# BENCH_RAMDISK (/dev/shm; empty to work in the build folder), BENCH_LINEAR_ONLY
# (1: only the linearity rounds, a quick check while working on speed).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD:-$ROOT/build-bench}
RUNS=${BENCH_RUNS:-5}
ROUNDS=${BENCH_ROUNDS:-11}
BUDGET=${BENCH_BUDGET:-100}
TIMEOUT=${BENCH_TIMEOUT:-60}
CORPUS=$BUILD/corpus
OUT=$BUILD/bench-out
RESULTS=$OUT/results.tsv
REPORT=$ROOT/bench/results.md
started=$(date +%s)

say() { printf '%s\n' "$*" >&2; }

# --- what the run needs --------------------------------------------------
# The project's setup script brings the build's packages; the two baselines
# come with it. Timing needs nothing more: bench-measure reads the children's
# usage itself.
if [ -x "$ROOT/scripts/setup.sh" ]; then
  "$ROOT/scripts/setup.sh" poppler-utils mupdf-tools
else
  missing=()
  for p in g++ cmake zlib1g-dev qt6-base-dev poppler-data poppler-utils mupdf-tools; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
fi

# --- build ---------------------------------------------------------------
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
# Other work may leave the tree briefly unbuildable: try again a few times.
retry() {
  local attempt
  for attempt in 1 2 3 4; do
    if "$@"; then return 0; fi
    [ "$attempt" -lt 4 ] && { say "build failed (attempt $attempt), retrying in 60 s"; sleep 60; }
  done
  return 1
}
configure() { # source folder, build folder, options; the generator is chosen on the first configure only
  local src=$1 dir=$2 gen=()
  shift 2
  [ -f "$dir/CMakeCache.txt" ] || gen=("${generator[@]}")
  cmake -S "$src" -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}
build_all() {
  configure "$ROOT" "$BUILD" -DSCRIVLET_BUILD_GUI=OFF -DSCRIVLET_BUILD_TESTS=OFF -DSCRIVLET_BUILD_BENCH=ON \
    --no-warn-unused-cli || return 1
  cmake --build "$BUILD" -j"$(nproc)" >&2 || return 1
  if [ "$standalone" = 1 ]; then
    configure "$ROOT/bench" "$BUILD/bench-tools" || return 1
    cmake --build "$BUILD/bench-tools" -j"$(nproc)" >&2 || return 1
  fi
}
standalone=1
TOOLS=$BUILD/bench-tools/bin
if grep -Eq '^[^#]*add_subdirectory\(bench\)' "$ROOT/CMakeLists.txt"; then
  standalone=0
  TOOLS=$BUILD/bin
fi
say "Building in $BUILD (Release)"
retry build_all
CLI=$BUILD/bin/scrivlet-cli
MEASURE=$TOOLS/bench-measure
FLOOR=$TOOLS/bench-floor
STRUCTURE=$TOOLS/bench-structure # built with the engine: absent when measuring an older tree

# --- corpus, made once ---------------------------------------------------
if [ ! -f "$CORPUS/manifest.tsv" ] || [ "$TOOLS/bench-makeCorpus" -nt "$CORPUS/manifest.tsv" ]; then
  say "Writing the corpus into $CORPUS"
  rm -rf "$CORPUS"
  "$TOOLS/bench-makeCorpus" "$CORPUS" >&2
fi
rm -rf "$OUT"
mkdir -p "$OUT"
# The tools run on a copy of the corpus on a RAM disk when there is one, and
# write their text files there: on a disk, replacing thousands of small text
# files times the disk's writeback (and whoever else shares it) more than
# the tools. BENCH_RAMDISK= (empty) runs in the build folder instead.
ram=${BENCH_RAMDISK-/dev/shm}
if [ -n "$ram" ] && [ -d "$ram" ] && [ -w "$ram" ] \
  && [ "$(df --output=avail -k "$ram" | tail -1)" -gt $((2 * $(du -sk "$CORPUS" | cut -f1) + 524288)) ]; then
  WORK=$(mktemp -d "$ram/scrivlet-bench.XXXXXX")
  trap 'rm -rf "$WORK"' EXIT
  place="a RAM disk ($ram)"
else
  WORK=$BUILD/bench-work
  rm -rf "$WORK"
  mkdir -p "$WORK"
  place="the build folder"
fi
say "Working on $place: $WORK"
cp -r "$CORPUS" "$WORK/corpus"
mkdir -p "$WORK/pdftotext" "$WORK/mutool"
find "$WORK/corpus/folder2000" -name '*.pdf' | sort >"$OUT/folder2000.list"
mapfile -t folder_files <"$OUT/folder2000.list"
# Every tool reads from the page cache, none from the disk.
find "$WORK/corpus" -name '*.pdf' -exec cat {} + >/dev/null

jobs=()
"$CLI" --help 2>&1 | grep -q -- '--jobs' && jobs=(--jobs "$(nproc)")
# Each mode is asked for by name: settings beside the program do not choose it.
default=() extended=()
if "$CLI" --help 2>&1 | grep -q -- '--extended'; then
  default=(--no-extended)
  extended=(--extended)
fi

# --- timing --------------------------------------------------------------
printf 'item\ttool\twall\tcpu\trss_kb\tfailed\truns\ttimed_out\n' >"$RESULTS"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# The tools of one item run in rounds, one run of each per round, so that
# the ratios between them compare runs made side by side: the machine's slow
# spells come and go within seconds and would otherwise fall on one tool's
# runs and not on another's. A tool stops repeating once another run would
# take its runs past the budget, or when a run is stopped.
command_of() { # item tool: sets cmd to bench-measure's options and command
  local item=$1 tool=$2 pdf=$C/$1.pdf list=$OUT/folder2000.list
  case $item/$tool in
    folder2000/scrivlet) cmd=(-- "$CLI" --overwrite "${default[@]}" "${jobs[@]}" "$C/folder2000") ;;
    folder2000/extended) cmd=(-- "$CLI" --overwrite "${extended[@]}" "${jobs[@]}" "$C/folder2000") ;;
    folder2000/structure) cmd=(-- "$STRUCTURE" "${folder_files[@]}") ;;
    folder2000/floor) cmd=(--each "$list" -- "$FLOOR" {}) ;;
    folder2000/pdftotext) cmd=(--each "$list" -- pdftotext {} "$WORK/pdftotext/{name}.txt") ;;
    folder2000/mutool) cmd=(--each "$list" -- mutool draw -F txt -o "$WORK/mutool/{name}.txt" {}) ;;
    */scrivlet) cmd=(-- "$CLI" --overwrite "${default[@]}" "${jobs[@]}" "$pdf") ;;
    */extended) cmd=(-- "$CLI" --overwrite "${extended[@]}" "${jobs[@]}" "$pdf") ;;
    */structure) cmd=(-- "$STRUCTURE" "$pdf") ;;
    */floor) cmd=(-- "$FLOOR" "$pdf") ;;
    */pdftotext) cmd=(-- pdftotext "$pdf" "$WORK/pdftotext/$item.txt") ;;
    */mutool) cmd=(-- mutool draw -F txt -o "$WORK/mutool/$item.txt" "$pdf") ;;
  esac
}
timing_runs=$OUT/timing-runs.tsv
: >"$timing_runs"
measure() { # item tool...
  local item=$1 tool round line wall timed_out
  shift
  local -A spent=() done_=()
  for ((round = 1; round <= RUNS; round++)); do
    for tool in "$@"; do
      [ -n "${done_[$tool]:-}" ] && continue
      [ "$round" = 1 ] && say "  $item / $tool"
      command_of "$item" "$tool"
      line=$("$MEASURE" --runs 1 --timeout "$TIMEOUT" --log "$OUT/stderr.log" "${cmd[@]}" 2>>"$OUT/runs.log")
      printf '%s\t%s\t%s\n' "$item" "$tool" "$(tr ' ' '\t' <<<"$line")" >>"$timing_runs"
      read -r wall _ _ _ _ timed_out <<<"$line"
      spent[$tool]=$(awk -v a="${spent[$tool]:-0}" -v b="$wall" 'BEGIN { print a + b }')
      if [ "$timed_out" = 1 ] || awk -v s="${spent[$tool]}" -v w="$wall" -v b="$BUDGET" 'BEGIN { exit !(s + w > b) }'; then
        done_[$tool]=1
      fi
    done
  done
}

C=$WORK/corpus
if [ "${BENCH_LINEAR_ONLY:-0}" != 1 ]; then
  say "Timing (median of up to $RUNS interleaved runs, $BUDGET s budget per measurement)"
  tools=(scrivlet)
  [ ${#extended[@]} -gt 0 ] && tools+=(extended)
  [ -x "$STRUCTURE" ] && tools+=(structure)
  tools+=(floor pdftotext mutool)
  # book1000-objstm is book1000 with its objects in object streams: the
  # default mode refuses it (its cell shows the failed runs), extended
  # reading reads it.
  for item in folder2000 book1000 book1000-objstm stream8mb drawing8mb objects200k pages30k; do
    measure $item "${tools[@]}"
  done
  # Per item and tool the medians of its runs, in bench-measure's format;
  # failures and stops as in its last run.
  sort -t$'\t' -k1,2 -s "$timing_runs" | awk -F'\t' -v OFS='\t' '
  function med(list,    v, n, i, j, x) {
    n = split(list, v, " ")
    for (i = 2; i <= n; i++) { x = v[i]; for (j = i - 1; j >= 1 && v[j] + 0 > x + 0; j--) v[j + 1] = v[j]; v[j + 1] = x }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  function flush() { if (key != "") print key, med(w), med(c), int(med(r)), failed, runs, stopped }
  {
    k = $1 OFS $2
    if (k != key) { flush(); key = k; w = c = r = ""; runs = 0 }
    w = w " " $3; c = c " " $4; r = r " " $5; failed = $6; stopped = $8; runs++
  }
  END { flush() }' >>"$RESULTS"
fi
# The linearity checks compare costs per page and per object between items,
# so their runs are interleaved, one run of each per round for several
# rounds, and each item's fastest run is taken: the machine's slow spells
# (other work, a busy host) come and go within seconds and would otherwise
# fall on some items and not on others. scrivlet-cli runs one file at a time here (--jobs 1),
# as the baselines do. Also in each round: what the file system alone costs
# per file of the folder (open, read and close the PDF; create, write and
# close a text file), measured by the floor in one process over the folder
# and over a single file.
say "Linearity (fastest of $ROUNDS interleaved rounds)"
mkdir -p "$WORK/files-only"
linear_runs=$OUT/linear-runs.tsv
: >"$linear_runs"
once() { # item tool -- command...
  local item=$1 tool=$2 line
  shift 3
  line=$("$MEASURE" --runs 1 --timeout "$TIMEOUT" --log "$OUT/stderr.log" -- "$@" 2>>"$OUT/runs.log")
  printf '%s\t%s\t%s\n' "$item" "$tool" "$(tr ' ' '\t' <<<"$line")" >>"$linear_runs"
}
for ((round = 1; round <= ROUNDS; round++)); do
  for item in tiny book200 book1000 objects40k objects200k pages6k pages30k; do
    pdf=$C/$item.pdf
    [ -f "$pdf" ] || pdf=$C/scale/$item.pdf
    once $item linear -- "$CLI" --overwrite "${default[@]}" --jobs 1 "$pdf"
  done
  once folder2000 linear -- "$CLI" --overwrite "${default[@]}" --jobs 1 "$C/folder2000"
  once folder2000 files-only -- "$FLOOR" --files-only "$WORK/files-only" "${folder_files[@]}"
  once tiny files-only -- "$FLOOR" --files-only "$WORK/files-only" "$C/scale/tiny.pdf"
done
# Per item and tool the run of least CPU time, in the format of the other
# results: other work on the machine only ever adds time.
awk -F'\t' -v OFS='\t' '
{
  k = $1 OFS $2
  if (!(k in n)) order[++count] = k
  n[k]++; f[k] += $6; t[k] += $8
  if (!(k in best) || $4 + 0 < cpu[k]) { best[k] = $3 OFS $4 OFS $5; cpu[k] = $4 + 0 }
}
END { for (i = 1; i <= count; i++) { k = order[i]; print k, best[k], f[k], n[k], t[k] } }
' "$linear_runs" >>"$RESULTS"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
elapsed=$(($(date +%s) - started))

# --- report --------------------------------------------------------------
commit=$(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)
[ -n "$(git -C "$ROOT" status --porcelain -- engine app cli platform 2>/dev/null)" ] \
  && commit="$commit + uncommitted changes in engine/ app/ cli/ platform/"
cpu_model=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
mem=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)

awk -F'\t' -v OFS='\t' \
  -v nproc="$(nproc)" -v cpu="$cpu_model" -v mem="$mem" -v runs="$RUNS" -v budget="$BUDGET" \
  -v timeout="$TIMEOUT" -v rounds="$ROUNDS" -v load1="$load_before" -v load2="$load_after" -v elapsed="$elapsed" \
  -v cli_version="$("$CLI" --version 2>/dev/null)" -v commit="$commit" -v jobs="${jobs[*]}" -v place="$place" '
FILENAME == ARGV[3] { # the timing runs, one line per run: the k-th run of each tool of an item was made in round k
  k = $1 SUBSEP $2
  round_wall[k, ++rounds_of[k]] = $3; round_cpu[k, rounds_of[k]] = $4; next
}
FNR == 1 { next }
FILENAME == ARGV[1] { # manifest
  files[$1] = $2; pages[$1] = $3; objects[$1] = $4; largest[$1] = $6; next
}
{
  key = $1 SUBSEP $2
  wall[key] = $3; cpu_s[key] = $4; rss[key] = $5; failed[key] = $6; nruns[key] = $7; stopped[key] = $8
}
function cell(item, tool,    k, s) {
  k = item SUBSEP tool
  if (!(k in wall)) return "–"
  if (stopped[k]) return sprintf("> %d s (stopped)", timeout)
  s = sprintf("%.3f / %.3f / %.1f", wall[k], cpu_s[k], rss[k] / 1024)
  if (failed[k] > 0) s = s " (" failed[k] " failed)"
  return s
}
# The median of the ratios of the runs made side by side, round by round:
# a slow spell of the machine then weighs on both sides of a ratio. A tool
# stopped, and the book in object streams against the default mode of the
# other book (measured apart), take the ratio of the medians.
function ratio(item, a, b, field,    ka, kb, va, vb, n, i, x, j, v, m) {
  ka = item SUBSEP a; kb = item SUBSEP b
  if (b == "scrivlet" && (item in twin)) kb = twin[item] SUBSEP b
  if (!(ka in wall) || !(kb in wall) || stopped[kb] || (failed[ka] > 0 && !stopped[ka]) || failed[kb] > 0) return "–"
  va = field == "wall" ? wall[ka] : cpu_s[ka]
  vb = field == "wall" ? wall[kb] : cpu_s[kb]
  if (vb <= 0) return "–"
  if (stopped[ka]) return sprintf("> %.1f", va / vb)
  if ((item in twin) && b == "scrivlet") return sprintf("%.2f", va / vb)
  n = 0
  for (i = 1; i <= rounds_of[ka] && i <= rounds_of[kb]; i++) {
    vb = field == "wall" ? round_wall[kb, i] : round_cpu[kb, i]
    if (vb <= 0) continue
    x = (field == "wall" ? round_wall[ka, i] : round_cpu[ka, i]) / vb
    for (j = n; j >= 1 && v[j] > x; j--) v[j + 1] = v[j]
    v[j + 1] = x; n++
  }
  if (n == 0) return "–"
  m = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  return sprintf("%.2f", m)
}
function runs_of(item,    t, s, k, i) {
  s = ""
  split("scrivlet extended structure floor pdftotext mutool", t, " ")
  for (i = 1; i <= 6; i++) { k = item SUBSEP t[i]; if (k in nruns) s = s (s == "" ? "" : "/") nruns[k] }
  return s
}
function unit_cost(item, unit, raw,    c) { # CPU seconds per unit, the start-up cost taken off
  c = cpu_s[item SUBSEP "linear"] - fixed
  if (!raw && files[item] > 1) c -= files[item] * per_file # and what the file system costs per file
  if (c < 0) c = 0
  return c / (unit == "page" ? pages[item] : objects[item])
}
# A ratio check on every item that has both measurements: "max" when the
# ratio must stay at or below the limit, "min" when at or above it, "none"
# for a ratio reported without one; CPU times, the steadier figure on a
# shared machine.
function check_ratio(title, a, b, limit, way,    i, x, r, s, ok, any) {
  s = ""; ok = 1; any = 0
  for (i = 1; i <= n; i++) {
    x = it[i]
    r = ratio(x, a, b, "cpu")
    if (r == "–") continue
    any = 1
    s = s sprintf("%s%s %s", (s == "" ? "" : ", "), x, r)
    sub(/^> /, "", r)
    if (way == "max" ? r + 0 > limit : way == "min" && r + 0 < limit) ok = 0
  }
  if (any && way == "none") printf "INFO %s (CPU): %s\n", title, s
  else if (any) printf "%s %s (CPU, limit %s %s): %s\n", (ok ? "PASS" : "FAIL"), title, (way == "max" ? "<=" : ">="), limit, s
}
function check(title, list, unit,    names, n, i, lo, hi, v, s, verdict) {
  n = split(list, names, " ")
  lo = -1; hi = 0; s = ""
  for (i = 1; i <= n; i++) {
    v = unit_cost(names[i], unit, 0)
    if (lo < 0 || v < lo) lo = v
    if (v > hi) hi = v
    s = s sprintf("%s%s %.1f µs", (i > 1 ? ", " : ""), names[i], v * 1e6)
    if (files[names[i]] > 1)
      s = s sprintf(" (%.1f µs before the file system'"'"'s cost of its %d files is taken off)", unit_cost(names[i], unit, 1) * 1e6, files[names[i]])
  }
  verdict = (lo > 0 && hi / lo <= 1.25) ? "PASS" : "FAIL"
  printf "%s %s: CPU per %s %s; largest/smallest %.2f (limit 1.25)\n", verdict, title, unit, s, (lo > 0 ? hi / lo : 0)
}
END {
  items = "folder2000 book1000 book1000-objstm stream8mb drawing8mb objects200k pages30k"
  n = split(items, it, " ")
  # The same book with and without object streams: the default mode reads
  # only the latter, so extended reading of the former is compared with it.
  twin["book1000-objstm"] = "book1000"
  expected_failure["book1000-objstm" SUBSEP "scrivlet"] = 1
  fixed = cpu_s["tiny" SUBSEP "linear"]
  per_file = 0
  if ((("folder2000" SUBSEP "files-only") in cpu_s) && (("tiny" SUBSEP "files-only") in cpu_s) && files["folder2000"] > 1)
    per_file = (cpu_s["folder2000" SUBSEP "files-only"] - cpu_s["tiny" SUBSEP "files-only"]) / (files["folder2000"] - 1)
  if (per_file < 0) per_file = 0
  printf "# Scrivlet benchmark\n\n"
  printf "Machine: %s cores, %s, %s memory; load average %s before, %s after.\n\n", nproc, cpu, mem, load1, load2
  printf "Program: %s at %s, run as `scrivlet-cli --overwrite --no-extended%s PATH` (default mode) and `scrivlet-cli --overwrite --extended%s PATH` (extended reading); the floor, pdftotext and mutool run as one process at a time. Files are read and written on %s. Whole run: %d s.\n\n", cli_version, commit, (jobs == "" ? "" : " " jobs), (jobs == "" ? "" : " " jobs), place, elapsed
  printf "Each cell: median wall s / CPU s (user+sys, all threads) / peak RSS MB (2^20 bytes), of up to %d runs made in rounds, one run of each tool per round; a measurement stops repeating once its runs pass %d s, and a process is stopped after %d s. Structure: bench-structure, extended reading with each content stream read by the default mode'"'"'s line analysis instead of placing glyphs, one process (folder2000: over all its files). Runs gives the counts for default/extended/structure/floor/pdftotext/mutool.\n\n", runs, budget, timeout
  printf "| Item | Pages | Objects | scrivlet-cli | scrivlet-cli --extended | structure | floor | pdftotext | mutool | Runs |\n"
  printf "|---|---:|---:|---|---|---|---|---|---|---|\n"
  for (i = 1; i <= n; i++) {
    x = it[i]
    printf "| %s%s | %d | %d | %s | %s | %s | %s | %s | %s | %s |\n", x, (files[x] > 1 ? " (" files[x] " files)" : ""), pages[x], objects[x], \
      cell(x, "scrivlet"), cell(x, "extended"), cell(x, "structure"), cell(x, "floor"), cell(x, "pdftotext"), cell(x, "mutool"), runs_of(x)
  }
  printf "\nRatios (wall, then CPU in brackets; each the median of the ratios of the runs made in the same round; book1000-objstm'"'"'s extended / default and structure / default are against book1000'"'"'s default mode, which cannot read the object streams, as the ratio of the medians):\n\n"
  printf "| Item | scrivlet / floor | pdftotext / scrivlet | mutool / scrivlet | extended / default | structure / default | extended / floor | pdftotext / extended | mutool / extended |\n|---|---:|---:|---:|---:|---:|---:|---:|---:|\n"
  for (i = 1; i <= n; i++) {
    x = it[i]
    printf "| %s | %s (%s) | %s (%s) | %s (%s) | %s (%s) | %s (%s) | %s (%s) | %s (%s) | %s (%s) |\n", x, \
      ratio(x, "scrivlet", "floor", "wall"), ratio(x, "scrivlet", "floor", "cpu"), \
      ratio(x, "pdftotext", "scrivlet", "wall"), ratio(x, "pdftotext", "scrivlet", "cpu"), \
      ratio(x, "mutool", "scrivlet", "wall"), ratio(x, "mutool", "scrivlet", "cpu"), \
      ratio(x, "extended", "scrivlet", "wall"), ratio(x, "extended", "scrivlet", "cpu"), \
      ratio(x, "structure", "scrivlet", "wall"), ratio(x, "structure", "scrivlet", "cpu"), \
      ratio(x, "extended", "floor", "wall"), ratio(x, "extended", "floor", "cpu"), \
      ratio(x, "pdftotext", "extended", "wall"), ratio(x, "pdftotext", "extended", "cpu"), \
      ratio(x, "mutool", "extended", "wall"), ratio(x, "mutool", "extended", "cpu")
  }
  printf "\nfolder2000: scrivlet-cli runs once on the folder; the floor, pdftotext and mutool run once per file."
  if (("folder2000" SUBSEP "linear") in wall)
    printf " With --jobs 1 (fastest of the linearity rounds), scrivlet-cli takes %s on the folder (scrivlet / floor %s, CPU %s).", \
      cell("folder2000", "linear"), sprintf("%.2f", wall["folder2000" SUBSEP "linear"] / wall["folder2000" SUBSEP "floor"]), \
      sprintf("%.2f", cpu_s["folder2000" SUBSEP "linear"] / cpu_s["folder2000" SUBSEP "floor"])
  printf "\n"
  printf "\n## Checks\n\n```\n"
  for (i = 1; i <= n; i++) {
    x = it[i]
    limit = 2 * largest[x] / 1048576 + 16
    for (m = 1; m <= 2; m++) {
      tool = m == 1 ? "scrivlet" : "extended"
      k = x SUBSEP tool
      if (!(k in rss) || failed[k] > 0) continue
      printf "%s peak memory%s %s: %.1f MB, limit %.1f MB (2 x largest inflated stream %.2f MB + 16 MB)\n", \
        (rss[k] / 1024 <= limit ? "PASS" : "FAIL"), (m == 1 ? "" : ", extended,"), x, rss[k] / 1024, limit, largest[x] / 1048576
    }
  }
  check_ratio("default / floor", "scrivlet", "floor", 1.3, "max")
  # Reading modern files may cost at most half again what the default mode
  # costs; the glyphs extended reading then places, which the default mode
  # does not, are held to pdftotext and mutool.
  check_ratio("structure / default", "structure", "scrivlet", 1.5, "max")
  check_ratio("extended / default", "extended", "scrivlet", 0, "none")
  check_ratio("pdftotext / extended", "pdftotext", "extended", 5, "min")
  check_ratio("mutool / extended", "mutool", "extended", 5, "min")
  printf "Start-up cost taken off before dividing: %.1f ms CPU (scrivlet-cli on a one-line, one-page file).\n", fixed * 1000
  printf "File system cost per file taken off a folder: %.1f µs CPU (open, read and close the PDF, create, write and close a text file: bench-floor --files-only over the folder in one process, less its run on one file).\n", per_file * 1e6
  printf "Linearity: scrivlet-cli --jobs 1, the least CPU time of %d interleaved rounds per item.\n", rounds
  check("linear cost, 40-line pages, small files to large", "folder2000 book200 book1000", "page")
  check("linear cost, short pages", "pages6k pages30k", "page")
  check("linear cost, objects", "objects40k objects200k", "object")
  failures = 0
  for (k in failed) if (failed[k] > 0 && !stopped[k] && !(k in expected_failure)) failures++
  if (failures) printf "WARNING %d measurements had processes that exited with an error (see %s)\n", failures, "bench-out/stderr.log"
  printf "```\n"
}' "$CORPUS/manifest.tsv" "$RESULTS" "$timing_runs" >"$OUT/results.md"

cp "$OUT/results.md" "$REPORT"
cat "$OUT/results.md"
