#!/usr/bin/env bash
# Closing the viewer's window (the close request a window manager sends)
# ends it with status 0, after the frame in progress.
set -euo pipefail
source "$VANTREL_SOURCE_DIR/scripts/lib/viewer.sh"
work=$(mktemp -d)
trap 'viewer_cleanup; rm -rf "$work"' EXIT

fail() { viewer_fail "$@"; }

[[ -x "${VANTREL_CLOSE_WINDOW:-}" ]] || fail "VANTREL_CLOSE_WINDOW does not name the close helper"
mkdir "$work/run"
viewer_start "$work/run" "$work/out.log" "$work/err.log"
viewer_wait_frames 3 || fail "the viewer did not draw 3 frames"

status=0
viewer_close || status=$?
[[ $status -eq 0 ]] || fail "closing the window ended the viewer with status $status, expected 0"
# The frame in progress was finished: output ends with its frame-rate line.
last=$(tail -n 1 "$work/out.log")
[[ "$last" =~ ^([0-9.e+-]+|inf)$ ]] || fail "output ends with '$last', not a frame-rate line"

echo "ok: closing the window ended the viewer with status 0"
