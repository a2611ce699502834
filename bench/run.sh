#!/usr/bin/env bash
# `make bench`: times vantrel, the floor program and f3d on scenes of about
# 10 thousand to 4 million triangles, all under one Xvfb, round after round so
# that every program sees the same machine; then bench/report.sh writes
# bench/RESULTS.md and bench/results.png.
#
# Usage: bench/run.sh [BUILD_DIR]
# Environment: BENCH_RUNS (rounds, default 5), BENCH_SIZES (triangle counts,
# default "10000 100000 1000000 4000000").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${BENCH_RUNS:-5}
sizes=${BENCH_SIZES:-"10000 100000 1000000 4000000"}
work=$build/bench/work
launch=$build/bench/vantrel-bench-launch
floor=$build/bench/vantrel-floor
viewer=$build/vantrel
gen=$build/tools/gen-scene/vantrel-gen-scene

for tool in "$launch" "$floor" "$viewer" "$gen"; do
  [[ -x "$tool" ]] || { echo "bench: $tool is missing; build first (make build)" >&2; exit 1; }
done
for tool in f3d gnuplot; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (make bench installs it)" >&2; exit 1; }
done

# One Xvfb for the whole measurement.
if [[ -z "${VANTREL_BENCH_IN_XVFB:-}" ]]; then
  VANTREL_BENCH_IN_XVFB=1 exec "$root/scripts/with-display" "$0" "$build"
fi

# A folder per scene, with the texture and the shaders the programs read.
prepare_scene() {
  local dir=$1 triangles=$2
  mkdir -p "$dir"
  if [[ ! -s "$dir/triangles" ]]; then
    (cd "$dir" && "$gen" --triangles "$triangles" --ply scene.ply) >"$dir/gen.log"
    sed -n 's/^World.obj: [0-9]* vertices, \([0-9]*\) triangles$/\1/p' "$dir/gen.log" >"$dir/triangles"
  fi
  cp "$root"/data/*.sh "$dir/"
}

# f3d plays back a left-button drag of N mouse moves; each move renders a frame.
write_drag() {
  local file=$1 moves=$2
  {
    echo "# StreamVersion 1.1"
    echo "LeftButtonPressEvent 320 240 0 0 0 0 0"
    for ((i = 1; i <= moves; i++)); do echo "MouseMoveEvent $((320 + 3 * i)) 240 0 0 0 0 0"; done
    echo "LeftButtonReleaseEvent $((320 + 3 * moves)) 240 0 0 0 0 0"
  } >"$file"
}

# Frames per run: enough for a steady median, few where frames take a second.
frames_for() { if (($1 >= 2000000)); then echo "8 3"; elif (($1 >= 500000)); then echo "12 3"; else echo "25 5"; fi; }

raw=$work/raw.txt
mkdir -p "$work"
: >"$raw"
echo "bench: preparing scenes in $work"
for n in $sizes; do prepare_scene "$work/s$n" "$n"; done
mkdir -p "$work/sample"
cp "$root"/data/World.obj "$root"/data/tex2.bmp "$root"/data/*.sh "$work/sample/"
short=2 long=12
write_drag "$work/drag-short.log" $short
write_drag "$work/drag-long.log" $long

record() {  # record PROGRAM SIZE RUN -- launcher arguments...
  local program=$1 size=$2 run=$3 line
  shift 4
  if line=$("$launch" "$@"); then
    echo "$program $size $run $line" >>"$raw"
  else
    echo "bench: $program on $size failed in round $run" >&2
  fi
}

{
  echo "# date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "# cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//') ($(nproc) cores)"
  echo "# renderer: $(glxinfo 2>/dev/null | sed -n 's/^OpenGL renderer string: //p')"
  echo "# f3d: $(f3d --version 2>/dev/null | head -n1)"
  echo "# load: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "# drag: $short $long"
} >>"$raw"
if awk '{exit !($1 > 1.0)}' /proc/loadavg; then
  echo "bench: warning: load average $(cut -d' ' -f1 /proc/loadavg); figures will be noisy" >&2
fi

for ((run = 1; run <= runs; run++)); do
  for n in $sizes; do
    dir=$work/s$n
    read -r frames skip < <(frames_for "$n")
    echo "bench: round $run/$runs, $n triangles"
    record vantrel "$n" "$run" -- --dir "$dir" --after "evo " --frames "$frames" --skip "$skip" -- "$viewer"
    record floor "$n" "$run" -- --dir "$dir" --frames "$frames" --skip "$skip" -- "$floor"
    record floor-elements "$n" "$run" -- --dir "$dir" --frames "$frames" --skip "$skip" -- "$floor" --elements
    record f3d "$n" "$run" -- --dir "$dir" --exit -- f3d --output "$work/f3d.png" --resolution 640,480 scene.ply
    for drag in short long; do
      record "f3d-$drag" "$n" "$run" -- --dir "$dir" --exit -- f3d --output "$work/f3d.png" \
        --resolution 640,480 --interaction-test-play="$work/drag-$drag.log" scene.ply
    done
  done
  # Running idle on the sample scene: CPU seconds per wall second over 10 s.
  record vantrel sample "$run" -- --dir "$work/sample" --after "evo " --frames 30 --skip 5 --cpu-seconds 10 -- "$viewer"
  record floor sample "$run" -- --dir "$work/sample" --frames 30 --skip 5 --cpu-seconds 10 -- "$floor"
done
echo "# load at end: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$raw"

bash "$root/bench/report.sh" "$raw" "$work"
