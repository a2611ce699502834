#!/usr/bin/env bash
# Bad input files, one table: each case starts from the sample scene and
# spoils one file (World.obj, tex2.bmp, a shader, debug.txt), runs the real
# viewer, and checks that it prints the case's message, keeps drawing frames,
# ends with status 0 on Escape, and never holds much more memory than the
# sample scene does (so no count in a file makes it allocate what the file
# does not hold).
set -euo pipefail
source "$VANTREL_SOURCE_DIR/scripts/lib/viewer.sh"
data="$VANTREL_SOURCE_DIR/data"
work=$(mktemp -d)
trap 'viewer_cleanup; rm -rf "$work"' EXIT

# ---- bytes ----

# le32 N...: each value as 4 little-endian bytes (two's complement).
le32() {
  local v
  for v in "$@"; do
    v=$(( v & 0xffffffff ))
    printf "\\x$(printf %02x $(( v & 255 )))\\x$(printf %02x $(( v >> 8 & 255 )))"
    printf "\\x$(printf %02x $(( v >> 16 & 255 )))\\x$(printf %02x $(( v >> 24 & 255 )))"
  done
}
le16() { printf "\\x$(printf %02x $(( $1 & 255 )))\\x$(printf %02x $(( $1 >> 8 & 255 )))"; }
# repeat N BYTE: N copies of one byte (given as two hex digits).
repeat() { head -c "$1" /dev/zero | tr '\0' "\\$(printf %03o $(( 16#$2 )))"; }

# world [V T M LAST_INDEX RECORDS]: one triangle, with the counts given: V at
# 0, three vertices at 4, T at 40, three indices at 44 (the last one given),
# M at 56, then RECORDS texture vertices and one texture triangle (72 bytes
# with no texture vertices).
world() {
  local v=${1:-3} t=${2:-1} m=${3:-0} last_index=${4:-2} records=${5:-0} k
  le32 "$v"
  le32 0 0 0 0x3f800000 0 0 0 0x3f800000 0  # (0,0,0) (1,0,0) (0,1,0)
  le32 "$t" 0 1 "$last_index" "$m"
  for ((k = 0; k < records; k++)); do le32 0 0; done
  le32 0 0 0
}

# bmp W H BITS COMPRESSION COLOURS < pixels: a BITMAPINFOHEADER file with a
# palette of COLOURS grey entries; the pixel bytes come from standard input.
bmp() {
  local w=$1 h=$2 bits=$3 compression=$4 colours=$5 pixels
  pixels=$(mktemp)
  cat >"$pixels"
  local offset=$(( 54 + 4 * colours )) size
  size=$(stat -c %s "$pixels")
  printf 'BM'
  le32 $(( offset + size )) 0 "$offset" 40 "$w" "$h"
  le16 1
  le16 "$bits"
  le32 "$compression" "$size" 2835 2835 "$colours" 0
  local c
  for ((c = 0; c < colours; c++)); do le32 $(( c * 0x010101 )); done
  cat "$pixels"
  rm -f "$pixels"
}

# ---- cases: each spoils the sample scene in the current folder ----

world_file() { "$@" >World.obj; }
cut_world() { world "${@:2}" >World.obj && truncate -s "$1" World.obj; }
tex() { "$@" >tex2.bmp; }
with_nul() { head -c 300 "$data/shader.sh"; printf '\0'; tail -c +301 "$data/shader.sh"; }

# name | setup | a line the output must hold (a fixed string)
cases=(
  "sample_scene|:|objects loaded"
  "world_empty|: >World.obj|Error: World.obj: vertex count is cut short at byte 0: it needs 4 bytes, the file has 0 left"
  "world_cut_in_vertex_count|cut_world 2|Error: World.obj: vertex count is cut short at byte 0"
  "world_cut_in_vertices|cut_world 20|Error: World.obj: vertex section is cut short at byte 4: it needs 36 bytes, the file has 16 left"
  "world_cut_in_triangle_count|cut_world 42|Error: World.obj: triangle count is cut short at byte 40"
  "world_cut_in_indices|cut_world 50|Error: World.obj: index section is cut short at byte 44: it needs 12 bytes, the file has 6 left"
  "world_cut_in_texture_vertex_count|cut_world 58|Error: World.obj: texture-vertex count is cut short at byte 56"
  "world_cut_in_texture_vertices|cut_world 68 3 1 2 2 2|Error: World.obj: texture-vertex section is cut short at byte 60: it needs 16 bytes, the file has 8 left"
  "world_cut_in_texture_triangles|cut_world 71|Error: World.obj: texture-triangle section is cut short at byte 60: it needs 12 bytes, the file has 11 left"
  "world_negative_vertex_count|world_file world -1|Error: World.obj: vertex count at byte 0 is negative (-1)"
  "world_negative_triangle_count|world_file world 3 -5|Error: World.obj: triangle count at byte 40 is negative (-5)"
  "world_vertex_bytes_overflow_32_bits|world_file world 0x15555556|Error: World.obj: vertex section is cut short at byte 4: it needs 4294967304 bytes"
  "world_index_count_overflows|world_file world 3 0x2aaaaaab|Error: World.obj: triangle count at byte 40 is too large (715827883 triangles"
  "world_texture_vertex_bytes_overflow|world_file world 3 1 0xffffffff|Error: World.obj: texture-vertex section is cut short at byte 60: it needs 34359738360 bytes"
  "world_index_equal_to_vertex_count|world_file world 3 1 0 3|names vertex 3, but there are only 3 vertices"
  "world_huge_vertex_count_tiny_file|world_file le32 0x7fffffff 0 0|Error: World.obj: vertex section is cut short at byte 4: it needs 25769803764 bytes, the file has 8 left"
  "world_is_a_folder|rm World.obj && mkdir World.obj|Error: World.obj: cannot be read: it is not a regular file"
  "tex_not_a_bmp|echo 'P3 1 1 255 0 0 0' >tex2.bmp|Failed to load image"
  "tex_cut_short|head -c 100000 $data/tex2.bmp >tex2.bmp|Failed to load image"
  "tex_one_by_one|tex bmp 1 1 24 0 0 < <(printf '\\x10\\x80\\xf0\\x00')|image loaded"
  "tex_palette|tex bmp 4 2 8 0 4 < <(printf '\\x00\\x01\\x02\\x03\\x03\\x02\\x01\\x00')|image loaded"
  "tex_32_bit|tex bmp 2 2 32 0 0 < <(repeat 16 7f)|image loaded"
  "tex_wider_than_1024|tex bmp 1100 2 24 0 0 < <(repeat 6600 40)|image loaded"
  "tex_run_length_coded|tex bmp 4 2 8 1 4 < <(printf '\\x04\\x01\\x00\\x00\\x04\\x02\\x00\\x01')|image loaded"
  "tex_header_claims_855_million_rows|tex bmp 3 0x33000005 8 0 4 < <(repeat 20 01)|Failed to load image"
  "shader_missing_vertex|rm vshader.sh|Failed to open file vshader.sh"
  "shader_missing_light_pass|rm emptyshader.sh|Failed to open file emptyshader.sh"
  "shader_missing_scene_pass|rm shader.sh|Failed to open file shader.sh"
  "shader_empty_vertex|: >vshader.sh|Failed to load shaders"
  "shader_empty_scene_pass|: >shader.sh|Failed to load shaders"
  "shader_with_nul_byte|with_nul >shader.sh|Failed to load shaders"
  "shader_does_not_compile|echo 'void main() { this is not glsl; }' >shader.sh|Failed to load shaders"
  "shader_does_not_link|echo 'vec4 Colour() { return vec4(1.0); }' >shader.sh|Link Error"
  "shader_lacks_uniforms|echo 'void main() { gl_FragColor = vec4(1.0); }' >shader.sh|caaa ERROR!!!!!!!"
  "debug_log_is_a_folder|mkdir debug.txt|Error: cannot create debug.txt: shader logs are not kept"
)

failures=0
baseline_kb=""
results=()

# run_case NAME SETUP MESSAGE: runs the viewer on the spoiled scene.
run_case() {
  local name=$1 setup=$2 message=$3 dir="$work/$1"
  mkdir "$dir"
  cp "$data/World.obj" "$data/tex2.bmp" "$data/vshader.sh" "$data/emptyshader.sh" "$data/shader.sh" "$dir"
  (cd "$dir" && eval "$setup") || { results+=("$name: FAIL (setup)"); return 1; }
  local out="$work/$name.out" err="$work/$name.err" why="" status=0 peak_kb=0
  viewer_start "$dir" "$out" "$err"
  if viewer_wait_frames 5 60; then
    peak_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$VIEWER_PID/status" 2>/dev/null || echo 0)
    viewer_quit || status=$?
  else
    status=$?
    viewer_cleanup
    why="drew no frames"
  fi
  [[ -z "$why" && $status -ne 0 ]] && why="ended with status $status"
  [[ -z "$why" ]] && ! grep -qF -- "$message" "$out" && why="no line '$message'"
  if [[ -z "$why" && "$name" == sample_scene ]]; then
    baseline_kb=$peak_kb
  elif [[ -z "$why" ]] && (( peak_kb > baseline_kb + 64 * 1024 )); then
    why="peak memory ${peak_kb} kB, the sample scene needs ${baseline_kb} kB"
  fi
  if [[ -n "$why" ]]; then
    results+=("$name: FAIL ($why)")
    { echo "--- $name: $why; last output:"; tail -n 15 "$out"; echo "--- standard error:"; tail -n 15 "$err"; } >&2
    return 1
  fi
  results+=("$name: ok (peak ${peak_kb} kB)")
}

for row in "${cases[@]}"; do
  IFS='|' read -r name setup message <<<"$row"
  run_case "$name" "$setup" "$message" || failures=$((failures + 1))
done

printf '%s\n' "${results[@]}"
(( failures == 0 )) || { echo "FAIL: $failures of ${#cases[@]} bad-input cases" >&2; exit 1; }
echo "ok: ${#cases[@]} bad-input cases"
