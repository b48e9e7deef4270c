#!/usr/bin/env bash
# Release benchmarks of the scene core, then whole-process wall time and peak
# memory of `kinovela-cli info` on the 68 MB .mqo beside `assimp info -r` on
# the same mesh as OBJ, measured in the same run.
#   bench/run.sh [RUNS]     (RUNS whole-process runs of each tool, default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

scripts/deps.sh --bench
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKINOVELA_TESTS=OFF -DKINOVELA_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"

data=bench/data
[[ -f $data/quads.mqo && -f $data/quads.obj && -f $data/sheet.png ]] || python3 bench/make_bench_data.py "$data"

KINOVELA_BENCH_DATA=$data "$build/bench/kinovela_bench"

stats=$(mktemp)
trap 'rm -f "$stats"' EXIT

# Best and median wall time, and peak resident memory, of a whole command.
measure() {
  local label=$1
  shift
  local times=() rss=0
  for ((i = 0; i < runs; i++)); do
    local out
    /usr/bin/time -o "$stats" -f "%e %M" "$@" >/dev/null 2>&1
    out=$(tail -n 1 "$stats")
    times+=("${out% *}")
    local r=${out#* }
    ((r > rss)) && rss=$r
  done
  local sorted
  sorted=$(printf '%s\n' "${times[@]}" | sort -n)
  printf '%-32s best %6.2f s   median %6.2f s   peak RSS %7.1f MB\n' "$label" \
    "$(head -n 1 <<<"$sorted")" "$(sed -n "$(((runs + 1) / 2))p" <<<"$sorted")" "$(awk -v r="$rss" 'BEGIN { print r / 1024 }')"
}

echo
echo "Whole process, $runs runs each:"
measure "kinovela-cli info quads.mqo" "$build/src/kinovela-cli" info "$data/quads.mqo"
measure "assimp info -r quads.obj" assimp info "$data/quads.obj" -r

# The preview's frame cost: first with the driver's drawing switched off
# (the program's and the GL front end's work), then with llvmpipe drawing.
if [[ -x $build/bench/kinovela_gl_bench ]] && command -v xvfb-run >/dev/null; then
  echo
  echo "OpenGL frames, driver drawing off (GALLIUM_NOOP=1):"
  GALLIUM_NOOP=1 xvfb-run -a -s "-screen 0 640x480x24" "$build/bench/kinovela_gl_bench"
  echo
  echo "OpenGL frames, llvmpipe:"
  xvfb-run -a -s "-screen 0 640x480x24" "$build/bench/kinovela_gl_bench"
fi
