#!/usr/bin/env bash
# A model and an image converted with vantrel-convert, then shown by the
# viewer: it loads the converted World.obj (its "Vertex Count:" and "Index
# Count:" lines match --info) and tex2.bmp, nothing is in front of the
# starting camera, and turning the camera towards the spot --fit uses (about
# 150 degrees to the left) brings the model into the middle of the window.
set -euo pipefail
source "$VANTREL_SOURCE_DIR/scripts/lib/viewer.sh"
convert=${VANTREL_CONVERT_BIN:-$VANTREL_BINARY_DIR/tools/convert/vantrel-convert}
work=$(mktemp -d)
trap 'viewer_cleanup; rm -rf "$work"' EXIT

fail() { viewer_fail "$@"; }

[[ -x "$convert" ]] || fail "no vantrel-convert at $convert"
mkdir "$work/run"
cd "$work"

# Two meshes in one OBJ: a block and a tower beside it, as quads.
cat >model.obj <<'EOF'
o block
v 0 0 0
v 4 0 0
v 4 2 0
v 0 2 0
v 0 0 3
v 4 0 3
v 4 2 3
v 0 2 3
f 1 4 3 2
f 5 6 7 8
f 1 2 6 5
f 4 8 7 3
f 1 5 8 4
f 2 3 7 6
o tower
v 5 0 0
v 6 0 0
v 6 6 0
v 5 6 0
v 5 0 1
v 6 0 1
v 6 6 1
v 5 6 1
f 9 12 11 10
f 13 14 15 16
f 9 10 14 13
f 12 16 15 11
f 9 13 16 12
f 10 11 15 14
EOF

# A 2 x 2 uncompressed TGA, top row first: red, green / blue, white.
printf '\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x02\x00\x18\x20' >image.tga
printf '\x00\x00\xff\x00\xff\x00\xff\x00\x00\xff\xff\xff' >>image.tga

"$convert" --fit model.obj run/World.obj >convert.log 2>&1 || fail "conversion failed: $(cat convert.log)"
"$convert" --texture image.tga run/tex2.bmp >texture.log 2>&1 || fail "texture failed: $(cat texture.log)"
"$convert" --info run/World.obj >info.log 2>&1 || fail "--info refused the output: $(cat info.log)"
vertices=$(awk -F': ' '$1 == "vertices" {print $2}' info.log)
indices=$(awk -F': ' '$1 == "indices" {print $2}' info.log)
[[ "$vertices" == 16 && "$indices" == 72 ]] || fail "--info says $vertices vertices, $indices indices: $(cat info.log)"
cp "$VANTREL_SOURCE_DIR"/data/vshader.sh "$VANTREL_SOURCE_DIR"/data/emptyshader.sh \
  "$VANTREL_SOURCE_DIR"/data/shader.sh run/

viewer_start "$work/run" "$work/out.log" "$work/err.log"
viewer_wait_frames 5 || fail "the viewer did not draw 5 frames"
grep -qx "Vertex Count: $vertices" out.log || fail "the viewer did not print 'Vertex Count: $vertices'"
grep -qx "Index Count: $indices" out.log || fail "the viewer did not print 'Index Count: $indices'"
grep -qx "image loaded" out.log || fail "the viewer did not load tex2.bmp"
grep -q "^Error: World.obj" out.log && fail "the viewer refused World.obj"

# Lit pixels (any channel above 40) in the middle 80 x 80 of the window.
lit_in_middle() {
  viewer_screenshot "$work/shot.ppm" || fail "no screenshot"
  pamcut -left 280 -top 200 -width 80 -height 80 "$work/shot.ppm" | pamdepth 255 |
    ppmhist -noheader | awk '$1 > 40 || $2 > 40 || $3 > 40 {n += $NF} END {print n + 0}'
}
before=$(lit_in_middle)
(( before == 0 )) || fail "$before lit pixels straight ahead of the starting camera, where nothing stands"

# 0.3 degrees per pixel: 502 pixels to the left face (-170, 300) from the origin.
xdotool mousemove_relative -- -251 0
viewer_wait_frames 2 || fail "no frames after the first turn"
xdotool mousemove_relative -- -251 0
viewer_wait_frames 5 || fail "no frames after the second turn"
after=$(lit_in_middle)
(( after > 400 )) || fail "only $after lit pixels in the middle after turning towards the fitted model"

status=0
viewer_quit || status=$?
[[ $status -eq 0 ]] || fail "the viewer exited with status $status"
echo "ok: $vertices vertices, $indices indices loaded; $after lit pixels of 6400 in the middle after the turn"
