#!/usr/bin/env bash
# The whole-process benchmark: tessary-cli on large inputs, each job run paired
# with a baseline that does comparable file work with ordinary tools.
#   bench/e2e.sh [--quick] [--runs N] [--rows LIST] [--build DIR] [--work DIR]
#     --quick     inputs of a sixteenth of the size (a smoke run)
#     --runs N    paired runs per row after one warm-up of each (default 5)
#     --rows LIST only these rows, comma-separated: random, game, dense,
#                 writeback, tiny, res, tim, bigarchive, verify (default all)
#     --build DIR the Release build holding tessary-cli (default build)
#     --work DIR  where the inputs are made and kept (default DIR/e2e of the build)
# Started by ./tessary.sh bench e2e, which builds and installs time and imagemagick.
# Prints a Markdown report on stdout, progress on stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
export LC_ALL=C

say() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }
fail() { printf '\033[1;31m== FAILED: %s\033[0m\n' "$*" >&2; exit 1; }

QUICK=0
RUNS=5
ROWS=all
BUILD=$ROOT/build
WORK=""
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) QUICK=1 ;;
    --runs) RUNS=${2:?--runs takes a number}; shift ;;
    --rows) ROWS=${2:?--rows takes a list of rows}; shift ;;
    --build) BUILD=${2:?--build takes a folder}; shift ;;
    --work) WORK=${2:?--work takes a folder}; shift ;;
    *) fail "unknown argument $1 (bench/e2e.sh [--quick] [--runs N] [--rows LIST] [--build DIR] [--work DIR])" ;;
  esac
  shift
done
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || fail "--runs takes a positive number"
BUILD=$(cd "$BUILD" && pwd)
WORK=$(mkdir -p "${WORK:-$BUILD/e2e}" && cd "${WORK:-$BUILD/e2e}" && pwd)
CLI=$BUILD/tessary-cli
CONVERT=/usr/bin/convert  # Debian's ImageMagick
for tool in "$CLI" "$BUILD/bench/tessary-e2e-inputs" "$BUILD/bench/tessary-e2e-write-loop" \
            /usr/bin/time; do
  [ -x "$tool" ] || fail "$tool is missing (./tessary.sh bench e2e builds and installs it)"
done

if [ "$QUICK" -eq 1 ]; then
  IN=$WORK/inputs-quick BIG="64 MiB" DENSE="4 MiB" MANY=6,250 SECTIONS=250 IMAGES=7
else
  IN=$WORK/inputs BIG="1 GiB" DENSE="64 MiB" MANY=100,000 SECTIONS=4,000 IMAGES=100
fi
SCRATCH=$WORK/runs
RESULTS=$WORK/results.tsv

# The inputs, and what the jobs start from: the search of the many TIMs (its
# log is replayed), the list of files an extraction of the tiny archive writes
# (the write loop's work), and the RES text with its encoding table named.
make_inputs() {
  [ -f "$IN/complete" ] && { say "reusing the inputs in $IN"; return 0; }
  say "making the inputs in $IN"
  local scale=()
  [ "$QUICK" -eq 0 ] || scale=(--quick)
  rm -rf "$IN"
  mkdir -p "$IN"
  "$BUILD/bench/tessary-e2e-inputs" "$IN" "${scale[@]}" >/dev/null
  say "searching the many TIMs once for the write-back's log"
  cp "$IN/tims/TIMS.BIN" "$IN/tims/TIMS.orig"
  "$CLI" -q -f stim -o "$IN/tims/found" "$IN/tims/TIMS.BIN" >/dev/null
  local found
  found=$(grep -c '^#Target TIM:' "$IN/tims/found/result.log")
  [ "$found" -eq "${MANY//,/}" ] || fail "the search found $found TIMs, not $MANY"
  say "listing what an extraction of the tiny archive writes"
  "$CLI" -q -f grm -o "$IN/tiny/once" "$IN/tiny/TINY.DAT" >/dev/null
  (cd "$IN/tiny/once" && find . -type f ! -name result.log -printf '%P\t%s\n') > "$IN/tiny/files.list"
  rm -rf "$IN/tiny/once"
  say "extracting the RES text once for the insertion's log"
  "$CLI" -q -f res -o "$IN/res/text" "$IN/res/GAME.res" >/dev/null
  sed -i "1s|.*|#Use Table: $IN/res/enc.tbl\r|" "$IN/res/text/GAME.txt"
  touch "$IN/complete"
}

# timed CMD...: runs CMD with stdout to /dev/null under /usr/bin/time; sets
# TOOK_US (wall-clock microseconds) and PEAK_KB (maximum resident set size).
# On failure, returns 1 with FAILURE saying why.
timed() {
  local start end
  start=$EPOCHREALTIME
  if ! /usr/bin/time -f %M -o "$SCRATCH/peak" "$@" >/dev/null 2>"$SCRATCH/stderr"; then
    FAILURE="$(basename "$1") failed: $(grep -v '^Operation' "$SCRATCH/stderr" | tail -n 1)"
    return 1
  fi
  end=$EPOCHREALTIME
  TOOK_US=$((${end/./} - ${start/./}))
  PEAK_KB=$(tail -n 1 "$SCRATCH/peak")
}

# The rows: job_NAME OUT and base_NAME OUT run in the fresh folder OUT;
# check_NAME OUT, when there, checks the warm-up job's outputs.
job_random() { timed "$CLI" -q -f stim -o "$1" "$IN/random.bin"; }
base_random() { timed cat "$IN/random.bin"; }
job_game() { timed "$CLI" -q -f stim -o "$1" "$IN/game.bin"; }
base_game() { timed cat "$IN/game.bin"; }
check_game() {  # every 4 MiB piece holds one TIM; a few more turn up by chance
  local found pieces=$(($(stat -c %s "$IN/game.bin") / (4 << 20)))
  found=$(find "$1" -name '*.tim' | wc -l)
  [ "$found" -ge "$pieces" ] || { FAILURE="found $found TIMs of $pieces embedded"; return 1; }
}
job_dense() { timed "$CLI" -q -f stim -o "$1" "$IN/dense.bin"; }
base_dense() { timed cat "$IN/dense.bin"; }
job_writeback() {
  cp --reflink=auto "$IN/tims/TIMS.orig" "$IN/tims/TIMS.BIN" && sync
  timed "$CLI" -q -f log -o "$1" "$IN/tims/found/result.log"
}
base_writeback() {
  # shellcheck disable=SC2016 # expanded by the inner shell
  timed bash -c 'find "$1" -name "*.tim" -print0 | xargs -0 cat > /dev/null' _ "$IN/tims/found"
}
check_writeback() {
  cmp -s "$IN/tims/TIMS.orig" "$IN/tims/TIMS.BIN" || { FAILURE="the write-back changed bytes"; return 1; }
}
job_tiny() { timed "$CLI" -q -f grm -o "$1" "$IN/tiny/TINY.DAT"; }
base_tiny() { timed "$BUILD/bench/tessary-e2e-write-loop" "$IN/tiny/files.list" "$1"; }
job_res() { timed "$CLI" -q -f log -o "$1" "$IN/res/text/result.log"; }
base_res() { timed "$CLI" -q -f res -o "$1" "$IN/res/GAME.res"; }
job_tim() { timed "$CLI" -q -f tim -o "$1" "$IN"/tim16/*.TIM; }
base_tim() {
  # shellcheck disable=SC2016 # expanded by the inner shell
  timed bash -c 'convert=$1 out=$2; shift 2
    for f in "$@"; do n=${f##*/}; "$convert" "$f" "$out/${n%.TIM}.bmp"; done' \
    _ "$CONVERT" "$1" "$IN"/tim16/*.TIM
}
check_tim() {
  local made
  made=$(find "$1" -name '*.bmp' | wc -l)
  [ "$made" -eq "$IMAGES" ] || { FAILURE="$made bitmaps of $IMAGES"; return 1; }
}
job_bigarchive() { timed "$CLI" -q -f grm -o "$1" "$IN/big/BIG.DAT"; }
job_verify() { timed "$CLI" verify -q -f stim -o "$1" "$IN/game.bin"; }

# once FUNCTION [check]: FUNCTION in a fresh output folder (a check_ function
# of a job looks at it afterwards), then sync, so that no run pays for the
# writing back of the one before it. The folders stay until the row is done
# (settle): on a file system mounted with online discard, deleting 100,000
# files makes the next run wait for their discards.
once() {
  local out=$SCRATCH/out.$((OUTS += 1)) status=0
  mkdir -p "$out"
  "$1" "$out" || status=1
  if [ $status -eq 0 ] && [ "${2:-}" = check ] && declare -F "check_${1#job_}" >/dev/null; then
    "check_${1#job_}" "$out" || status=1
  fi
  sync
  return $status
}
OUTS=0

# settle: removes the row's output folders, then waits (a minute at most)
# until the disk has been idle for a while, where the system tells
# (/proc/pressure/io), so that the next row does not pay for the removal.
settle() {
  local waited pressure
  rm -rf "${SCRATCH:?}"/out.*
  sync
  [ -r /proc/pressure/io ] || return 0
  for ((waited = 0; waited < 60; waited++)); do
    pressure=$(awk '/^some/ { split($2, f, "="); print f[2] }' /proc/pressure/io)
    awk -v p="$pressure" 'BEGIN { exit !(p < 1.0) }' && return 0
    sleep 1
  done
}

# pair NAME JOB BASELINE: one warm-up of each, then RUNS runs of the job and
# its baseline one after the other; a line per run (or the failure) in RESULTS.
pair() {
  local name=$1 run job_us job_kb base_us base_kb
  [ "$ROWS" = all ] || [[ ",$ROWS," == *",$name,"* ]] || return 0
  say "$2 against $3"
  for ((run = 0; run <= RUNS; run++)); do
    once "job_$name" "$([ $run -eq 0 ] && echo check)" || { record "$2" "$3" failed "$FAILURE"; return 0; }
    job_us=$TOOK_US job_kb=$PEAK_KB base_us=- base_kb=-
    if declare -F "base_$name" >/dev/null; then
      once "base_$name" || { record "$2" "$3" failed "baseline: $FAILURE"; return 0; }
      base_us=$TOOK_US base_kb=$PEAK_KB
    fi
    [ $run -eq 0 ] || record "$2" "$3" "$run" "$job_us" "$job_kb" "$base_us" "$base_kb"
  done
  settle
}

record() { (IFS=$'\t'; echo "$*") >> "$RESULTS"; }

machine() {
  local model memory
  model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
  memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
  echo "## Whole-process benchmark ($(date '+%Y-%m-%d %H:%M %Z'))"
  echo
  echo "- machine: $(nproc) cores of ${model:-an unknown processor}, $memory of memory," \
    "kernel $(uname -r)"
  echo "- build: $("$CLI" --version 2>/dev/null | head -n 1), commit" \
    "$(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)"
  echo "- inputs: $([ "$QUICK" -eq 1 ] && echo "quick (a sixteenth)" || echo "full size")," \
    "in the page cache; $RUNS paired runs after one warm-up of each"
  echo
}

# The table: per row the median of the per-run ratios job / baseline, their
# range, the median seconds and the largest peak memory of all runs.
report() {
  python3 - "$RESULTS" <<'EOF'
import statistics, sys

rows = {}
for line in open(sys.argv[1]):
    job, base, run, *rest = line.rstrip("\n").split("\t")
    rows.setdefault((job, base), []).append((run, rest))

print("| Job | Baseline | Job / baseline (median) | [min–max] | Job s | Baseline s | Job peak MiB | Baseline peak MiB |")
print("|---|---|---|---|---|---|---|---|")
for (job, base), runs in rows.items():
    stopped = [(run, rest) for run, rest in runs if run in ("failed", "skipped")]
    if stopped:
        print(f"| {job} | {base} | {stopped[0][0]}: {stopped[0][1][0]} | | | | | |")
        continue
    job_s = [int(r[0]) / 1e6 for _, r in runs]
    job_mib = max(int(r[1]) for _, r in runs) / 1024
    if runs[0][1][2] == "-":
        print(f"| {job} | {base} | | | {statistics.median(job_s):.3f} | | {job_mib:.1f} | |")
        continue
    base_s = [int(r[2]) / 1e6 for _, r in runs]
    base_mib = max(int(r[3]) for _, r in runs) / 1024
    ratios = [j / b for j, b in zip(job_s, base_s)]
    print(f"| {job} | {base} | {statistics.median(ratios):.2f} | [{min(ratios):.2f}–{max(ratios):.2f}]"
          f" | {statistics.median(job_s):.3f} | {statistics.median(base_s):.3f}"
          f" | {job_mib:.1f} | {base_mib:.1f} |")
EOF
}

machine
make_inputs
mkdir -p "$SCRATCH"
settle  # what an interrupted run left, and the disk work of making the inputs
: > "$RESULTS"
pair random "scan $BIG random (\`-f stim\`)" "\`cat\`"
pair game "scan $BIG game-like (\`-f stim\`)" "\`cat\`"
pair dense "scan $DENSE dense with 0x10 words (\`-f stim\`)" "\`cat\`"
pair writeback "write-back of $MANY TIM targets (\`-f log\`)" "\`cat\` of the .tim files"
pair tiny "extract $MANY tiny entries (\`-f grm\`)" "open/write/close of the same files (C)"
pair res "RES insertion, $SECTIONS sections of 1,000 strings (\`-f log\`)" "RES extraction (\`-f res\`)"
if [ -x "$CONVERT" ]; then
  pair tim "$IMAGES mode-2 TIMs 1024 × 512 to BMP (\`-f tim\`)" "ImageMagick \`convert\` per file"
elif [ "$ROWS" = all ] || [[ ",$ROWS," == *",tim,"* ]]; then
  record "$IMAGES mode-2 TIMs 1024 × 512 to BMP (\`-f tim\`)" "ImageMagick \`convert\` per file" \
    skipped "$CONVERT is missing (Debian package imagemagick)"
fi
pair bigarchive "peak memory: extract a $BIG archive (\`-f grm\`)" "—"
pair verify "peak memory: \`verify -f stim\` of $BIG game-like" "—"
rm -rf "$SCRATCH"
report
