#!/usr/bin/env bash
# Without a usable display the viewer says what failed in one line and exits
# with status 1: with no X display at all SDL cannot start, and with SDL's
# dummy video driver the OpenGL window cannot be opened.
set -euo pipefail
source "$VANTREL_SOURCE_DIR/scripts/lib/viewer.sh"
work=$(mktemp -d)
trap 'viewer_cleanup; rm -rf "$work"' EXIT

# check_failure NAME PATTERN ENV...: runs the viewer with the environment
# changed by ENV (arguments for env) and checks its output and status.
check_failure() {
  local name=$1 pattern=$2
  shift 2
  local status=0
  (cd "$work" && exec env "$@" timeout 30 "$VANTREL_BIN") >"$work/out.log" 2>"$work/err.log" || status=$?
  local lines
  lines=$(wc -l <"$work/out.log")
  if [[ $status -ne 1 || $lines -ne 1 ]] || ! grep -Eq "$pattern" "$work/out.log"; then
    echo "FAIL ($name): status $status (expected 1), $lines output lines (expected 1 matching $pattern)" >&2
    echo "--- standard output:" >&2
    cat "$work/out.log" >&2
    echo "--- standard error:" >&2
    cat "$work/err.log" >&2
    exit 1
  fi
  echo "ok ($name): $(cat "$work/out.log")"
}

check_failure "no display" '^Error: SDL_Init failed: .+$' \
  -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u SDL_VIDEO_DRIVER
check_failure "no OpenGL window" '^Error: SDL_SetVideoMode failed: .+$' \
  SDL_VIDEODRIVER=dummy SDL_VIDEO_DRIVER=dummy
