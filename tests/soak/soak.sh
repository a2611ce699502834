#!/usr/bin/env bash
# Soak: the viewer on the sample scene, driven for SOAK_SECONDS (default 600)
# by random held keys and mouse motion from xdotool, chosen from SOAK_SEED.
# Escape is never among the keys; every key is released at the end, and the
# viewer is then quit with Escape. Passes when:
#   - frame lines keep coming (at least SOAK_MIN_FPS a second, sampled about
#     every 5 s),
#   - no OpenGL error, "...ERROR" or "Error:" line is printed, and after
#     start-up every line is a frame-rate figure,
#   - resident memory (VmRSS) after the warm-up (a minute, or a third of a
#     shorter run) never grows more than SOAK_RSS_TOLERANCE_KB above it,
#   - the view moved during the run and stands still once every key is up,
#   - Escape ends the viewer with status 0.
# Needs DISPLAY (run it under scripts/with-display) and VANTREL_BIN.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
source "$here/scripts/lib/viewer.sh"

seconds=${SOAK_SECONDS:-600}
seed=${SOAK_SEED:-7}
min_fps=${SOAK_MIN_FPS:-5}
tolerance_kb=${SOAK_RSS_TOLERANCE_KB:-8192}
warmup=$(( seconds / 3 < 60 ? seconds / 3 : 60 ))
keys=(Up Down Left Right q w e d f r z x a s l)

work=$(mktemp -d)
release_all() { xdotool keyup "${keys[@]}" 2>/dev/null || true; }
trap 'release_all; viewer_cleanup; rm -rf "$work"' EXIT

fail() { viewer_fail "soak: $*"; }

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$VIEWER_PID/status"; }

mkdir "$work/run"
cp "$here/data/World.obj" "$here/data/tex2.bmp" "$here/data/vshader.sh" "$here/data/emptyshader.sh" \
  "$here/data/shader.sh" "$work/run"
viewer_start "$work/run" "$work/out.log" "$work/err.log"
viewer_wait_frames 10 || fail "the viewer did not start drawing"
viewer_screenshot "$work/first.ppm" || fail "no screenshot at the start"

RANDOM=$seed
start=$SECONDS
next_sample=$(( start + 5 ))
last_frames=$(viewer_frame_count)
last_sample=0
base_kb=""
peak_kb=0
rss_at_warmup=""
samples=()
actions=0

# One random action of at most about a second: hold one or two keys, or move
# the mouse a few times, or both at once.
act() {
  local held=("${keys[RANDOM % ${#keys[@]}]}")
  (( RANDOM % 3 == 0 )) && held+=("${keys[RANDOM % ${#keys[@]}]}")
  case $(( RANDOM % 3 )) in
    0 | 1)
      xdotool keydown "${held[@]}"
      sleep "0.$(( RANDOM % 9 + 1 ))"
      xdotool keyup "${held[@]}"
      ;;
  esac
  if (( RANDOM % 2 == 0 )); then
    local k
    for ((k = 0; k < 5; k++)); do
      xdotool mousemove_relative -- $(( RANDOM % 81 - 40 )) $(( RANDOM % 61 - 30 ))
      sleep 0.04
    done
  fi
}

while (( SECONDS - start < seconds )); do
  kill -0 "$VIEWER_PID" 2>/dev/null || fail "the viewer ended during the soak"
  act
  actions=$((actions + 1))
  if (( SECONDS >= next_sample )); then
    now=$(( SECONDS - start ))
    frames=$(viewer_frame_count)
    rss=$(rss_kb)
    samples+=("${now}s: ${rss} kB, $frames frames")
    if (( frames - last_frames < min_fps * (now - last_sample) )); then
      fail "only $(( frames - last_frames )) frames from ${last_sample}s to ${now}s"
    fi
    last_frames=$frames
    last_sample=$now
    if [[ -z "$rss_at_warmup" ]] && (( now >= warmup )); then
      rss_at_warmup=$rss
      base_kb=$rss
    fi
    [[ -n "$base_kb" ]] && (( rss > peak_kb )) && peak_kb=$rss
    next_sample=$(( SECONDS + 5 ))
  fi
done

release_all
viewer_wait_frames 5 || fail "no frames after the keys were released"
# The input reached the viewer: the view moved. With every key up, it stays.
viewer_screenshot "$work/last.ppm" || fail "no screenshot at the end"
cmp -s "$work/first.ppm" "$work/last.ppm" && fail "the view never changed: the input did not arrive"
viewer_wait_frames 10 || fail "no frames after the keys were released"
viewer_screenshot "$work/still.ppm" || fail "no screenshot at the end"
cmp -s "$work/last.ppm" "$work/still.ppm" || fail "the view still moves after every key was released"
final_kb=$(rss_kb)
(( final_kb > peak_kb )) && peak_kb=$final_kb
status=0
viewer_quit || status=$?
(( status == 0 )) || fail "Escape ended the viewer with status $status"

printf '%s\n' "${samples[@]}" >"$work/samples.txt"
[[ -n "$rss_at_warmup" ]] || fail "the run was too short to pass its warm-up of ${warmup}s"

# Errors: labelled OpenGL errors, the error lines of gluErrorString, the
# missing-uniform lines and every "Error:" line.
gl_errors='invalid (enumerant|value|operation|framebuffer operation)|stack (over|under)flow|out of memory|table too large|texture too large'
bad=$(grep -nE "ERROR|Error:|$gl_errors" "$work/out.log" | head -n 5 || true)
[[ -z "$bad" ]] || fail "error lines: $bad"
# After start-up, nothing but frame-rate figures.
stray=$(awk 'seen && !/^([0-9.e+-]+|inf)$/ {print NR ": " $0} /^evo / {seen=1}' "$work/out.log" | head -n 5)
[[ -z "$stray" ]] || fail "lines among the frame lines: $stray"

growth=$(( peak_kb - rss_at_warmup ))
frames=$(viewer_frame_count)
echo "soak: ${seconds}s, seed $seed, $actions input actions, $frames frames"
echo "soak: VmRSS ${rss_at_warmup} kB at ${warmup}s, ${final_kb} kB at the end, peak after warm-up ${peak_kb} kB (+${growth} kB)"
if (( growth > tolerance_kb )); then
  cat "$work/samples.txt" >&2
  fail "memory grew by ${growth} kB after the warm-up (tolerance ${tolerance_kb} kB)"
fi
echo "ok: soak"
