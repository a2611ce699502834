#!/usr/bin/env bash
# Turns the raw figures of bench/run.sh into medians: the tables between the
# markers of bench/RESULTS.md (the text around them is kept) and the plot
# bench/results.png.
#
# Usage: bench/report.sh RAW WORK   (RAW: the runs' lines; WORK: scene folders)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
raw=$1
work=$2
results=$root/bench/RESULTS.md
plot=$root/bench/results.png

# "size:triangles" for every scene measured.
counts=""
for dir in "$work"/s*; do
  [[ -s "$dir/triangles" ]] && counts+=" ${dir##*/s}:$(cat "$dir/triangles")"
done

tables=$work/tables.md
awk -v counts="$counts" -v dat="$work/summary.dat" '
function median(key,    n, i, j, v, t) {
  n = count[key]
  if (n == 0) return ""
  for (i = 1; i <= n; i++) v[i] = value[key, i]
  for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
  return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}
function fmt(x) {
  if (x == "" || x == "nan") return "–"
  return x >= 100 ? sprintf("%.0f", x) : (x >= 10 ? sprintf("%.1f", x) : sprintf("%.2f", x))
}
function ratio(a, b) { return (a == "" || b == "" || a == "nan" || b == "nan" || b == 0) ? "–" : sprintf("%.2f", a / b) }
function nz(x) { return x == "" ? "NaN" : x }
function words(n) {
  return n >= 1000000 ? (n / 1000000) " million" : (n / 1000) " thousand"
}
/^# / {
  sub(/^# /, ""); k = $0; sub(/:.*/, "", k); v = $0; sub(/^[^:]*: /, "", v); meta[k] = v; next
}
{
  program = $1; size = $2
  if (!(size in seen)) { seen[size] = 1; if (size != "sample") sizes[++nsizes] = size }
  for (f = 4; f <= NF; f++) {
    split($f, kv, "=")
    if (kv[2] == "nan") continue
    key = program SUBSEP size SUBSEP kv[1]
    value[key, ++count[key]] = kv[2] + 0
    runs[program, size] = count[key]
  }
}
END {
  n = split(counts, pairs, " ")
  for (i = 1; i <= n; i++) { split(pairs[i], p, ":"); triangles[p[1]] = p[2] }
  split(meta["drag"], drag, " ")
  # sizes in increasing order
  for (i = 2; i <= nsizes; i++) for (j = i; j > 1 && sizes[j - 1] + 0 > sizes[j] + 0; j--) { t = sizes[j]; sizes[j] = sizes[j - 1]; sizes[j - 1] = t }

  print "Measured " meta["date"] " on " meta["cpu"] ", " meta["renderer"] ", " meta["f3d"] \
        "; load average at the start " meta["load"] ", at the end " meta["load at end"] "."
  n = runs["vantrel", sizes[1]]
  print (n == 1 ? "Every figure is from 1 run" : "Every figure is the median of " n " runs") \
        "; all programs ran in the same rounds, one after the other, under one Xvfb."
  print ""
  for (i = 1; i <= nsizes; i++) {
    s = sizes[i]
    vs = median("vantrel" SUBSEP s SUBSEP "startup_ms"); fs = median("floor" SUBSEP s SUBSEP "startup_ms")
    ds = median("f3d" SUBSEP s SUBSEP "startup_ms")
    vp = median("vantrel" SUBSEP s SUBSEP "first_ms"); fp = median("floor" SUBSEP s SUBSEP "first_ms")
    vf = median("vantrel" SUBSEP s SUBSEP "frame_ms"); ff = median("floor" SUBSEP s SUBSEP "frame_ms")
    shortt = median("f3d-short" SUBSEP s SUBSEP "startup_ms"); longt = median("f3d-long" SUBSEP s SUBSEP "startup_ms")
    df = (shortt != "" && longt != "") ? (longt - shortt) / (drag[2] - drag[1]) : ""
    vm = median("vantrel" SUBSEP s SUBSEP "rss_mb"); fm = median("floor" SUBSEP s SUBSEP "rss_mb")
    dm = median("f3d" SUBSEP s SUBSEP "rss_mb")
    print "### About " words(s) " triangles (" triangles[s] ")"
    print ""
    print "| | vantrel | floor | f3d | vantrel / floor | f3d / vantrel |"
    print "|---|---:|---:|---:|---:|---:|"
    print "| start-up: launch to end of first frame (ms) | " fmt(vs) " | " fmt(fs) " | " fmt(ds) " | " ratio(vs, fs) " | " ratio(ds, vs) " |"
    print "| start-up as printed: 1000 / first figure (ms) | " fmt(vp) " | " fmt(fp) " | – | " ratio(vp, fp) " | – |"
    print "| steady frame work (ms) | " fmt(vf) " | " fmt(ff) " | " fmt(df) " | " ratio(vf, ff) " | " ratio(df, vf) " |"
    print "| peak memory (MB) | " fmt(vm) " | " fmt(fm) " | " fmt(dm) " | " ratio(vm, fm) " | " ratio(dm, vm) " |"
    print ""
    print triangles[s], nz(vs), nz(fs), nz(ds), nz(vf), nz(ff), nz(df) > dat
  }

  print "### The client-side index array"
  print ""
  print "The floor drawing with glDrawArrays, and with glDrawElements over a client-side index array 0 … N − 1 as the passes of vantrel do (the design requires that array):"
  print ""
  print "| triangles | glDrawArrays (ms) | glDrawElements, client indices (ms) | cost of the array | vantrel (ms) |"
  print "|---:|---:|---:|---:|---:|"
  for (i = 1; i <= nsizes; i++) {
    s = sizes[i]
    a = median("floor" SUBSEP s SUBSEP "frame_ms"); e = median("floor-elements" SUBSEP s SUBSEP "frame_ms")
    v = median("vantrel" SUBSEP s SUBSEP "frame_ms")
    cost = (a != "" && e != "" && a > 0) ? sprintf("%+.0f %%", 100 * (e - a) / a) : "–"
    print "| " triangles[s] " | " fmt(a) " | " fmt(e) " | " cost " | " fmt(v) " |"
  }
  print ""

  print "### Running idle on the sample scene"
  print ""
  print "| | CPU seconds per wall second (10 s) | frame work (ms) | frame work / 40 ms |"
  print "|---|---:|---:|---:|"
  split("vantrel floor", programs, " ")
  for (i = 1; i <= 2; i++) {
    c = median(programs[i] SUBSEP "sample" SUBSEP "cpu"); w = median(programs[i] SUBSEP "sample" SUBSEP "frame_ms")
    print "| " programs[i] " | " (c == "" ? "–" : sprintf("%.3f", c)) " | " fmt(w) " | " (w == "" ? "–" : sprintf("%.3f", w / 40)) " |"
  }
}' "$raw" >"$tables"

# The tables replace what lies between the markers; the rest of the file stays.
begin="<!-- bench: begin -->"
end="<!-- bench: end -->"
if [[ ! -f "$results" ]] || ! grep -qF "$begin" "$results"; then
  printf '# Benchmark results\n\nWritten by `make bench` (bench/run.sh); plot: [results.png](results.png).\n\n%s\n%s\n' \
    "$begin" "$end" >"$results"
fi
awk -v begin="$begin" -v end="$end" -v tables="$tables" '
  $0 == begin { print; while ((getline line < tables) > 0) print line; skip = 1; next }
  $0 == end { skip = 0 }
  !skip { print }
' "$results" >"$results.new"
mv "$results.new" "$results"

gnuplot <<EOF
set terminal pngcairo size 1100,460 font ",10"
set output "$plot"
set datafile missing "NaN"
set logscale xy
set grid
set key top left
set xlabel "triangles"
set format x "%.0s%c"
set format y "%g"
set multiplot layout 1,2
set title "Start-up: launch to end of first frame"
set ylabel "ms"
plot "$work/summary.dat" using 1:2 with linespoints lw 2 title "vantrel", \
     "" using 1:3 with linespoints lw 2 title "floor", \
     "" using 1:4 with linespoints lw 2 title "f3d"
set title "Steady frame work"
set ylabel "ms"
plot "$work/summary.dat" using 1:5 with linespoints lw 2 title "vantrel", \
     "" using 1:6 with linespoints lw 2 title "floor", \
     "" using 1:7 with linespoints lw 2 title "f3d"
unset multiplot
EOF
echo "bench: wrote $results and $plot"
