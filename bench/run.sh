#!/usr/bin/env bash
# Release benchmarks of the scene core, then whole-process wall time and peak
# memory of `kinovela-cli info` on the 68 MB .mqo beside `assimp info -r` on
# the same mesh as OBJ, measured in the same run; the previews' frame cost;
# and the frame rate of `kinovela-cli render` on the sample.
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

# The Direct3D preview on the software device (one and two threads) against
# the OpenGL preview on llvmpipe, 500,000 quads at 1280 x 720, their
# repetitions interleaved so that they share whatever else the machine does.
echo
echo "Direct3D preview (software device) against OpenGL (llvmpipe), 1280 x 720:"
render_bench=(env "KINOVELA_BENCH_DATA=$data" "$build/bench/kinovela_render_bench" --benchmark_repetitions=5
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true)
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 640x480x24" "${render_bench[@]}"
else
  "${render_bench[@]}"
fi

# kinovela-cli render on the sample: 60 frames of 640 x 360 written as PNG,
# start-up and reading included.
frames=$(mktemp -d)
trap 'rm -f "$stats"; rm -rf "$frames"' EXIT
echo
line=$(measure "kinovela-cli render, 60 frames" "$build/src/kinovela-cli" render samples/robot_arm.mqo \
  "$frames/f.png" --frames 0-59 --size 640x360)
echo "$line"
awk '{ printf "  %.1f frames per second (best run), %.1f (median run)\n", 60 / $6, 60 / $9 }' <<<"$line"
