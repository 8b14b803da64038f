#!/usr/bin/env bash
# The show's speed, by one command: per-scene frame times at 1024 x 768 beside the floor
# of the same context (a frame that only clears, a frame with one full-screen textured
# quad), the loading time by group, and the capture speed (the whole show to MP4 at
# 60 fps against the show's own length). Figures are printed and kept in OUT-DIR.
# Usage: bench/bench_render.sh BUILD-DIR [OUT-DIR]   (run it from a Release build)
set -euo pipefail

build="$(cd "${1:?usage: bench_render.sh BUILD-DIR [OUT-DIR]}" && pwd)"
out="${2:-$build/bench-render}"
mkdir -p "$out"
render="$build/vellumar2-render"
# The show plays from its own directory, where the data set and the music lie.
cd "$build/show"
# The show lists every file it unpacks; the figures are what this script keeps.
figures() { grep -v '^ extracting: ' || true; }

echo "== frame times and loading, 1024x768, 60 fps of show time"
"$render" --quiet --bench --size 1024x768 --json "$out/bench.json" | figures | tee "$out/bench.txt"

echo "== capture of the whole show to MP4, 1024x768 at 60 fps"
start=$(date +%s.%N)
"$render" --quiet --video "$out/show.mp4" --size 1024x768 --fps 60 | figures | tee "$out/capture.txt"
end=$(date +%s.%N)
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/show.mp4")
python3 -c "c = $end - $start; l = $length
print('capture %.1f s for %.1f s of show: %.2f x its length' % (c, l, c / l))" |
  tee -a "$out/capture.txt"
