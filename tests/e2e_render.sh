#!/usr/bin/env bash
# End to end for vellumar2-render: video size, rate, length and sound track (silent before
# the first track starts, sounding after), the same frames twice, scene selection and
# --from/--to, the contact sheet's tiles, the benchmark's JSON, bad options.
# Runs in a scratch directory holding the show's data set (when it is baked) and two test
# tones standing for the music, so that sound and silence are known.
# Usage: e2e_render.sh BUILD-DIR
set -uo pipefail

build="$(cd "${1:?usage: e2e_render.sh BUILD-DIR}" && pwd)"
render="$build/vellumar2-render"
work="$(mktemp -d)"
failures=0
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
cd "$work" || exit 1
[ -f "$build/show/datas.vlo" ] && ln -s "$build/show/datas.vlo" datas.vlo
for track in discow vellumar2; do
  sox -q -n -r 44100 -c 2 -b 16 tone.wav synth 20 sine 440 vol 0.5 && lame --quiet tone.wav "$track.mp3"
done
rm -f tone.wav
size=320x240

# Bad options: a message naming the fault and status 2.
bad() {  # bad WORD-IN-MESSAGE ARGS...
  local word="$1"
  shift
  "$render" "$@" >out.txt 2>err.txt
  local rc=$?
  [ "$rc" = 2 ] || fail "$* gave status $rc, not 2"
  grep -q -- "$word" err.txt || fail "$*: no message about $word: $(cat err.txt)"
}
bad "unknown option" --frobnicate
bad "nothing to do"
bad "4:3" --out f --size 320x200
bad "4:3" --out f --size 100x75
bad "needs a value" --out
bad "--fps" --out f --fps 0
bad "--fps" --out f --fps 2.5
bad "no scene" --out f --scene nowhere
bad "--to" --out f --from 3 --to 2
bad "--json goes with --bench" --out f --json x.json
bad "--pad" --out f --pad 1920x1080
bad "smaller" --video v.mp4 --pad 300x200
bad "even height" --video v.mp4 --size 324x243
bad "--window" --window --video v.mp4
bad "--every" --out f --every 2
bad "before --from" --out f --from 5 --at 1,6
bad "before --to" --out f --to 3 --at 1,3
"$render" --help >help.txt || fail "--help failed"
for option in --out --video --fps --size --pad --scene --from --to --contact-sheet --every \
              --bench --json --window; do
  grep -q -- "$option" help.txt || fail "--help does not list $option"
done
PATH=/nonexistent "$render" --video v.mp4 --size $size --to 1 >out.txt 2>err.txt
[ $? = 1 ] && grep -q ffmpeg err.txt || fail "a missing ffmpeg is not reported clearly"

# The video: size, frame rate, length, a sound track. Six seconds of the show at 8 fps.
"$render" --quiet --video show.mp4 --size $size --fps 8 --to 6 >video.txt 2>err.txt ||
  fail "--video failed: $(cat err.txt)"
probe() { ffprobe -v error -select_streams "$1" -show_entries "stream=$2" -of csv=p=0 show.mp4; }
[ "$(probe v width,height)" = "320,240" ] || fail "video size $(probe v width,height)"
[ "$(probe v r_frame_rate)" = "8/1" ] || fail "video frame rate $(probe v r_frame_rate)"
[ "$(probe v nb_frames)" = "48" ] || fail "video has $(probe v nb_frames) frames, not 48"
duration="$(probe v duration)"
python3 -c "import sys; sys.exit(abs(float('$duration') - 6) > 0.01)" || fail "video lasts $duration s"
[ "$(probe a codec_type)" = "audio" ] || fail "the video has no sound track"

# The sound: silent before the first track starts, sounding after (the renderer names the
# start time); silent throughout when the show starts no music in these six seconds.
ffmpeg -v error -i show.mp4 -vn -f s16le -ac 1 -ar 8000 sound.raw || fail "no sound decoded"
start="$(sed -n 's/^music: discow.mp3 from \([0-9.]*\) s.*/\1/p' video.txt | head -1)"
python3 - "$start" <<'PY' || fail "sound track wrong (first track from '${start:-none}' s)"
import struct, sys
data = open("sound.raw", "rb").read()
s = struct.unpack("<%dh" % (len(data) // 2), data)
def loudest(a, b):
    part = s[int(a * 8000):int(b * 8000)]
    return max((abs(v) for v in part), default=0)
start = sys.argv[1]
if start:
    t = float(start)
    ok = (t < 0.2 or loudest(0, t - 0.1) < 300) and (t > 5.5 or loudest(t + 0.2, 6) > 4000)
else:
    ok = loudest(0, 6) < 300
print("first track at", start or "none", "ok" if ok else "WRONG")
sys.exit(0 if ok else 1)
PY

# Printed times are seconds of the show whatever --from is, as --at takes them: the first
# track starts at the same second. Loading ends there; its last frame stays up for the 4 s
# wait (the frames of the wait are that frame), and the first scene comes after it.
if [ -n "$start" ]; then
  python3 -c "import sys; sys.exit(not 4.5 < float('$start') < 6)" || fail "first track at $start s"
  times="$(python3 -c "t=$start; print(','.join('%.3f' % x for x in (t - 0.125, t + 0.5, t + 3.75, t + 4.25)))")"
  "$render" --quiet --size $size --fps 8 --from 3 --to 11 --at "$times" --out wait >wait.txt 2>&1 ||
    fail "--from 3 --at $times failed: $(cat wait.txt)"
  later="$(sed -n 's/^music: discow.mp3 from \([0-9.]*\) s.*/\1/p' wait.txt | head -1)"
  [ "$later" = "$start" ] || fail "with --from 3 the first track starts at '$later' s, not $start s"
  sums=()
  for f in wait/*.png; do sums+=("$(convert "$f" rgba:- | md5sum)"); done
  [ "${#sums[@]}" = 4 ] || fail "the wait's --at wrote ${#sums[@]} frames, not 4"
  [ "${sums[0]}" = "${sums[1]}" ] && [ "${sums[1]}" = "${sums[2]}" ] ||
    fail "the frames of the wait after loading are not its last loading frame"
  # Without the data set the loading and the first scene may both be black.
  if [ -f datas.vlo ]; then
    [ "${sums[2]}" != "${sums[3]}" ] || fail "no first scene 4 s after the first track starts"
  fi
fi

# Padded onto a wider video, the picture sits in the middle with black on both sides.
"$render" --quiet --video pad.mp4 --size $size --pad 428x240 --fps 8 --to 1 >/dev/null 2>&1 ||
  fail "--pad failed"
[ "$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 pad.mp4 | head -1)" = "428,240" ] ||
  fail "--pad gave $(ffprobe -v error -show_entries stream=width,height -of csv=p=0 pad.mp4)"

# An odd height fits a padded video, with the picture one pixel above the middle.
"$render" --quiet --video odd.mp4 --size 324x243 --pad 432x244 --fps 8 --to 0.5 >/dev/null 2>&1 ||
  fail "--size 324x243 --pad 432x244 failed"
[ "$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 odd.mp4 | head -1)" = "432,244" ] ||
  fail "--pad 432x244 gave $(ffprobe -v error -show_entries stream=width,height -of csv=p=0 odd.mp4)"

# One scene, from its second 1 to 2 at 10 fps: exactly frames 10 to 19.
"$render" --quiet --scene balls --from 1 --to 2 --fps 10 --size $size --out scene >/dev/null 2>&1 ||
  fail "--scene balls failed"
expected="$(for i in $(seq 10 19); do printf 'frame-%06d.png\n' "$i"; done)"
[ "$(ls scene)" = "$expected" ] || fail "--scene --from --to wrote: $(ls scene | tr '\n' ' ')"
# Chosen frames alone: the run ends after the last of them, not with the scene.
"$render" --quiet --scene balls --fps 10 --size $size --at 0.5,1.2 --out chosen >chosen.txt 2>&1 ||
  fail "--scene balls --at failed"
[ "$(ls chosen | tr '\n' ' ')" = "frame-000005.png frame-000012.png " ] ||
  fail "--at 0.5,1.2 wrote: $(ls chosen | tr '\n' ' ')"
grep -q "^13 frames (1.30 s of show)" chosen.txt || fail "--at 0.5,1.2 ran: $(cat chosen.txt)"
# A scene of the second track hears it from the start at the show's volume.
"$render" --quiet --scene scroll --to 1 --size $size --video scroll.mp4 >scroll.txt 2>&1 ||
  fail "--scene scroll --video failed"
grep -q "music: vellumar2.mp3 from 0.000 s, volume 140" scroll.txt || fail "scroll's music: $(cat scroll.txt)"

# The same command twice gives the same pictures.
for run in a b; do
  "$render" --quiet --size $size --fps 10 --to 3 --at 0.5,1.5,2.9 --out "same-$run" >/dev/null 2>&1 ||
    fail "run $run failed"
done
[ "$(ls same-a | wc -l)" = 3 ] || fail "--at wrote $(ls same-a | wc -l) frames, not 3"
for f in same-a/*.png; do
  [ "$(convert "$f" rgba:- | md5sum)" = "$(convert "same-b/${f#same-a/}" rgba:- | md5sum)" ] ||
    fail "$f differs between two runs"
done

# Contact sheet: a tile every second of five seconds, eight to a row.
"$render" --quiet --size $size --fps 10 --to 5 --contact-sheet sheet.png --every 1 >sheet.txt 2>&1 ||
  fail "--contact-sheet failed"
grep -q "contact sheet: 5 tiles" sheet.txt || fail "contact sheet: $(cat sheet.txt)"
[ "$(identify -format %wx%h sheet.png)" = "984x166" ] || fail "sheet is $(identify -format %wx%h sheet.png)"

# Benchmark: the figures and their JSON.
"$render" --quiet --bench --size $size --scene balls --json bench.json >bench.txt 2>&1 || fail "--bench failed"
python3 - <<'PY' || fail "bench JSON: $(cat bench.json)"
import json
b = json.load(open("bench.json"))
keys = {"frames", "median_ms", "p95_ms", "p99_ms", "max_ms", "median_fps"}
assert b["scenes"] and all(keys <= set(s) and s["name"] for s in b["scenes"])
assert keys <= set(b["show"]) and b["show"]["frames"] > 0
assert "total_ms" in b["loading"] and "groups" in b["loading"]
assert b["floor"]["clear_ms"] > 0 and b["floor"]["quad_ms"] > 0
PY

# The window at real time for a second, where a display can be had.
if command -v Xvfb >/dev/null; then
  for n in $(seq 131 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    for i in $(seq 50); do DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    DISPLAY=":$n" SDL_AUDIODRIVER=dummy timeout 60 "$render" --window --size $size --to 1 \
      >window.txt 2>&1 || fail "--window failed: $(cat window.txt)"
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    break
  done
fi

[ "$failures" = 0 ] && echo "e2e_render: all passed" || echo "e2e_render: $failures failures"
[ "$failures" = 0 ]
