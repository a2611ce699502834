#!/usr/bin/env bash
# The viewer started in an empty folder: a 640 x 480 window titled "Vantrel",
# its start-up lines, then one frame-rate line per frame with frames at least
# 40 ms apart, and Escape ends it with status 0.
set -euo pipefail
source "$VANTREL_SOURCE_DIR/scripts/lib/viewer.sh"
work=$(mktemp -d)
trap 'viewer_cleanup; rm -rf "$work"' EXIT

fail() { viewer_fail "$@"; }

mkdir "$work/run"
start_ns=$(date +%s%N)
viewer_start "$work/run" "$work/out.log" "$work/err.log"
viewer_wait_frames 30 || fail "the viewer did not draw 30 frames"

# The window is found by its owner, so a wrong caption shows as a wrong name.
wid=$(xdotool search --pid "$VIEWER_PID" 2>/dev/null | head -n1)
[[ -n "$wid" ]] || fail "no window belongs to the viewer"
name=$(xdotool getwindowname "$wid")
[[ "$name" == "Vantrel" ]] || fail "window title is '$name', expected 'Vantrel'"
size=$(xwininfo -id "$wid" | awk '/^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print w "x" h}')
[[ "$size" == "640x480" ]] || fail "window is $size, expected 640x480"

status=0
viewer_quit || status=$?
end_ns=$(date +%s%N)
[[ $status -eq 0 ]] || fail "Escape ended the viewer with status $status, expected 0"

expected_startup='Init: SDL
Init: CpGl
loading objects
Failed to load image
Failed to open file
no error
Failed to open file vshader.sh
Failed to load shaders
evo 34894'
startup=$(head -n 9 "$work/out.log")
[[ "$startup" == "$expected_startup" ]] ||
  fail "start-up lines differ: $(diff <(echo "$expected_startup") <(echo "$startup") || true)"

# Every later line is 1000 / (whole milliseconds) in the default stream
# format (six significant digits), or inf for a frame under 1 ms.
bad=$(tail -n +10 "$work/out.log" | awk '
  $0 == "inf" { next }
  !/^[0-9]+(\.[0-9]+)?(e[+-][0-9]+)?$/ { print NR + 9 ": " $0; next }
  { n = int(1000 / $0 + 0.5); if (n < 1 || sprintf("%.6g", 1000 / n) != $0) print NR + 9 ": " $0 }')
[[ -z "$bad" ]] || fail "lines that are no frame-rate figure: $bad"

frames=$(tail -n +10 "$work/out.log" | wc -l)
(( frames >= 30 )) || fail "only $frames frame-rate lines"
# Frames begin at least 40 ms apart, so the run, seen from outside, lasted
# at least (frames - 1) x 40 ms.
elapsed_ms=$(( (end_ns - start_ns) / 1000000 ))
(( elapsed_ms >= (frames - 1) * 40 )) ||
  fail "$frames frames in ${elapsed_ms} ms: frames came less than 40 ms apart"

echo "ok: window Vantrel 640x480, start-up lines, $frames frame lines in ${elapsed_ms} ms, Escape -> 0"
