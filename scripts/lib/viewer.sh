# Shell helpers for driving the real viewer in an X display: start it in a
# folder, wait for frames, find its window, take screenshots, send input, quit.
# Source this file; it expects DISPLAY to be set. VANTREL_BIN names the binary.

VIEWER_PID=""
VIEWER_LOG=""
VIEWER_ERRLOG=""

# viewer_start DIR LOG [ERRLOG]: runs the viewer with DIR as working directory.
# Standard output goes to LOG; standard error too, unless ERRLOG is given
# (library warnings on stderr would otherwise interleave with its lines).
viewer_start() {
  local dir=$1 log=$2 errlog=${3:-$2}
  VIEWER_LOG=$log
  VIEWER_ERRLOG=$errlog
  # Made here, not by the background redirection, so it exists at once.
  : >"$log"
  if [[ "$errlog" == "$log" ]]; then
    (cd "$dir" && exec "$VANTREL_BIN") >"$log" 2>&1 &
  else
    (cd "$dir" && exec "$VANTREL_BIN") >"$log" 2>"$errlog" &
  fi
  VIEWER_PID=$!
}

# viewer_fail MESSAGE: reports a failed check with the last lines the viewer
# wrote, and exits 1.
viewer_fail() {
  echo "FAIL: $*" >&2
  if [[ -n "$VIEWER_LOG" ]]; then
    echo "--- standard output (last lines):" >&2
    tail -n 20 "$VIEWER_LOG" >&2 || true
  fi
  if [[ -n "$VIEWER_ERRLOG" && "$VIEWER_ERRLOG" != "$VIEWER_LOG" ]]; then
    echo "--- standard error (last lines):" >&2
    tail -n 20 "$VIEWER_ERRLOG" >&2 || true
  fi
  exit 1
}

# Number of frame-rate lines so far: the lines after "evo ..." (start-up ends there).
viewer_frame_count() {
  [[ -f "$VIEWER_LOG" ]] || { echo 0; return; }
  awk 'seen && /^([0-9.e+-]+|inf)$/ {n++} /^evo / {seen=1} END {print n+0}' "$VIEWER_LOG"
}

# viewer_wait_frames N [TIMEOUT_S]: waits until N more frame lines have appeared.
viewer_wait_frames() {
  local want=$(( $(viewer_frame_count) + $1 )) limit=${2:-60}
  local deadline=$(( SECONDS + limit ))
  while (( $(viewer_frame_count) < want )); do
    if ! kill -0 "$VIEWER_PID" 2>/dev/null; then
      echo "viewer exited early; its output:" >&2
      tail -n 30 "$VIEWER_LOG" >&2
      return 1
    fi
    if (( SECONDS > deadline )); then
      echo "viewer drew no $1 frames within ${limit}s" >&2
      return 1
    fi
    sleep 0.05
  done
}

# The viewer's window id (searched by its caption).
viewer_window() {
  local id
  for _ in $(seq 1 100); do
    # --all: xdotool otherwise matches the pid OR the name.
    id=$(xdotool search --all --pid "$VIEWER_PID" --name '^Vantrel$' 2>/dev/null | head -n1)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.05
  done
  xdotool search --name '^Vantrel$' 2>/dev/null | head -n1
}

# viewer_screenshot OUT.ppm: the window's picture as a binary PPM.
viewer_screenshot() {
  local out=$1 wid x y w h
  wid=$(viewer_window)
  [[ -n "$wid" ]] || { echo "no viewer window" >&2; return 1; }
  # The window's own dump comes in its DirectColor visual, which xwdtopnm
  # turns blue; the root window's TrueColor dump, cut to the window, does not.
  read -r x y w h < <(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
    /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}')
  xwd -silent -root | xwdtopnm 2>/dev/null | pnmcut -left "$x" -top "$y" -width "$w" -height "$h" >"$out"
}

# viewer_hold KEY FRAMES: holds a key down for about FRAMES frames.
viewer_hold() {
  local key=$1 frames=$2
  xdotool keydown "$key"
  viewer_wait_frames "$frames"
  xdotool keyup "$key"
  viewer_wait_frames 2
}

# viewer_quit: presses Escape and returns the viewer's exit status.
viewer_quit() {
  xdotool keydown Escape
  sleep 0.2
  xdotool keyup Escape
  viewer_wait_exit
}

# viewer_close: asks the window to close as a window manager's close button
# does (WM_DELETE_WINDOW) and returns the viewer's exit status. Needs
# VANTREL_CLOSE_WINDOW, the test helper vantrel-close-window.
viewer_close() {
  local wid
  wid=$(viewer_window)
  [[ -n "$wid" ]] || { echo "no viewer window" >&2; return 1; }
  "$VANTREL_CLOSE_WINDOW" "$wid" || return 1
  viewer_wait_exit
}

# viewer_wait_exit [TIMEOUT_S]: waits for the viewer to end; returns its status.
viewer_wait_exit() {
  local limit=${1:-20} deadline
  deadline=$(( SECONDS + limit ))
  while kill -0 "$VIEWER_PID" 2>/dev/null; do
    if (( SECONDS > deadline )); then
      echo "viewer did not exit within ${limit}s" >&2
      kill -9 "$VIEWER_PID" 2>/dev/null
      wait "$VIEWER_PID" 2>/dev/null
      return 124
    fi
    sleep 0.05
  done
  local status=0
  wait "$VIEWER_PID" || status=$?
  VIEWER_PID=""
  return $status
}

# Ends a viewer left running (for an EXIT trap).
viewer_cleanup() {
  [[ -n "$VIEWER_PID" ]] && kill -9 "$VIEWER_PID" 2>/dev/null
  return 0
}
