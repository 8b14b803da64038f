#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on seeds made from the show's own files.
#
#   fuzz/run.sh FUZZ-BUILD-DIR SHOW-DIR [SECONDS]
#
# FUZZ-BUILD-DIR was configured with CC=clang CXX=clang++ -DVELLUMAR_FUZZ=ON and built
# (target fuzz); SHOW-DIR holds a baked datas.vlo (the normal build's show directory).
# Seeds: the baked scene, lighting and model files and pictures, the archive itself, and
# the 3DS files of Debian's assimp-testmodels when installed. Each target runs SECONDS
# (default 60) in a private temporary directory; a crash leaves its input under
# FUZZ-BUILD-DIR/findings/ and makes the script fail.
set -uo pipefail

build="$(cd "${1:?usage: fuzz/run.sh FUZZ-BUILD-DIR SHOW-DIR [SECONDS]}" && pwd)"
show="$(cd "${2:?usage: fuzz/run.sh FUZZ-BUILD-DIR SHOW-DIR [SECONDS]}" && pwd)"
seconds="${3:-60}"
work="$(mktemp -d /tmp/vellumar-fuzz-XXXXXX)"
trap 'rm -rf "$work"' EXIT
findings="$build/findings"
mkdir -p "$findings"

# Seeds.
mkdir -p "$work/data" "$work/seed_3ds" "$work/seed_vlo" "$work/seed_ryx" "$work/seed_jpeg" "$work/seed_archive"
(cd "$work/data" && unzip -q "$show/datas.vlo")
cp "$work"/data/maps/*.3ds "$work/seed_3ds/" 2>/dev/null
cp /usr/share/assimp/models/3DS/*.3ds /usr/share/assimp/models/3DS/*.3DS "$work/seed_3ds/" 2>/dev/null
# Lighting files are large; their first kilobytes are what the small fixed scene reads.
for f in "$work"/data/maps/*.vlo; do [ -e "$f" ] && head -c 4096 "$f" >"$work/seed_vlo/$(basename "$f")"; done
head -c 256 /dev/zero >"$work/seed_vlo/zeros"
cp "$work"/data/maps/*.ryx "$work/seed_ryx/" 2>/dev/null
# A few pictures of each size class, not all of them: the corpus is about shapes of files.
ls "$work"/data/*/*.jpg 2>/dev/null | sort | awk 'NR % 4 == 1' | head -12 | xargs -r cp -t "$work/seed_jpeg/"
cp "$show/datas.vlo" "$work/seed_archive/"
(cd "$work/data" && zip -q -r "$work/seed_archive/small.zip" text/by.jpg text/tpart.jpg 2>/dev/null)

status=0
run() {  # run TARGET SEED-DIR [libFuzzer options]
  local target="$1" seeds="$2"
  shift 2
  if [ ! -x "$build/fuzz/$target" ]; then
    echo "fuzz: $target is not built"
    status=1
    return
  fi
  mkdir -p "$work/corpus_$target" "$work/run_$target"
  echo "== $target, ${seconds} s"
  (cd "$work/run_$target" &&
    "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -artifact_prefix="$findings/$target-" -print_final_stats=1 "$@" \
      "$work/corpus_$target" "$seeds" >"$work/$target.log" 2>&1)
  local rc=$?
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)" "$work/$target.log"
  if [ $rc -ne 0 ]; then
    echo "fuzz: $target failed (status $rc); its log:"
    tail -60 "$work/$target.log"
    status=1
  fi
}

run fuzz_scene_loader "$work/seed_3ds" -max_len=262144
run fuzz_vertex_lighting "$work/seed_vlo" -max_len=8192
run fuzz_models "$work/seed_ryx" -max_len=262144
run fuzz_jpeg "$work/seed_jpeg" -max_len=131072
run fuzz_archive "$work/seed_archive" -max_len=262144
exit $status
