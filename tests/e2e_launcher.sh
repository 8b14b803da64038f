#!/usr/bin/env bash
# End to end under Xvfb: the launcher, its close box, the "Fire !" button, the full-screen
# window with the frame centred at 4:3, and Escape / Alt+F4 ending the show.
# Usage: e2e_launcher.sh BUILD-DIR
set -uo pipefail

build="$(cd "${1:?usage: e2e_launcher.sh BUILD-DIR}" && pwd)"
program="$build/vellumar2"
closer="$build/tests/x11close"
work="$(mktemp -d)"
failures=0
xvfb_pid=""
show_pid=""

cleanup() {
  [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# What the screen and the program were doing, for a window that did not come.
describe() {
  xwininfo -root -tree 2>&1 | sed -n '1,12p'
  echo "pointer: $(xdotool getmouselocation 2>&1)"
  [ -n "$show_pid" ] && grep -E "^State" "/proc/$show_pid/status" 2>/dev/null
  [ -n "$show_pid" ] && echo "waiting in: $(cat "/proc/$show_pid/wchan" 2>/dev/null)"
  echo "program output:"
  cat "$work/out.log"
}

start_xvfb() {  # start_xvfb WIDTH HEIGHT
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  local n
  for n in $(seq 91 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    # -noreset: the server would otherwise reset whenever its last client (often a short-lived
    # xdotool) leaves, taking a program that is just connecting down with it.
    Xvfb ":$n" -screen 0 "${1}x${2}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null
  done
  echo "cannot start Xvfb"
  exit 1
}

start_show() {
  # The show plays from a directory of its own holding the baked data set.
  cp "$build"/show/datas.vlo "$build"/show/*.mp3 "$work"/ 2>/dev/null
  mkdir -p -m 700 "$work/run"
  (cd "$work" && XDG_RUNTIME_DIR="$work/run" SDL_AUDIODRIVER=dummy exec "$program" >"$work/out.log" 2>&1) &
  show_pid=$!
}

# wait_window NAME-REGEX SECONDS: prints the window id.
wait_window() {
  local i id
  for i in $(seq $(($2 * 10))); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)"
    [ -n "$id" ] && echo "$id" && return 0
    sleep 0.1
  done
  return 1
}

# wait_exit SECONDS: sets status to the program's exit status, or "timeout".
wait_exit() {
  local i
  status=timeout
  for i in $(seq $(($1 * 10))); do
    if ! kill -0 "$show_pid" 2>/dev/null; then
      wait "$show_pid"
      status=$?
      show_pid=""
      return 0
    fi
    sleep 0.1
  done
}

geometry() {  # geometry WINDOW: prints "x y width height"
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}

# The window system may map the launcher before it is moved into place: give it a moment.
wait_placed() {  # wait_placed WINDOW: sets x y w h
  local i
  for i in $(seq 30); do
    read -r x y w h <<<"$(geometry "$1")"
    [ "$x $y" = "100 100" ] && return 0
    sleep 0.1
  done
}

launcher_title='^Vellumar 2 - Ovalith - 2003$'
show_title='^Vellumar 2$'

# pixel IMAGE X Y: prints "r g b"
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}
is_black() { [ "$(pixel "$@")" = "0 0 0" ]; }

run_at() {  # run_at WIDTH HEIGHT
  local W=$1 H=$2
  echo "== screen ${W}x${H}"
  start_xvfb "$W" "$H"

  # 1. The launcher's close box ends the program: status 0, no show window.
  # The first start of a fresh machine may still be filling caches (fonts, shaders): it gets
  # longer than the others.
  start_show
  if id="$(wait_window "$launcher_title" 60)"; then
    wait_placed "$id"
    [ "$x $y" = "100 100" ] || fail "launcher at ($x, $y), not (100, 100)"
    [ "$w" -gt 250 ] && [ "$h" -gt 80 ] || fail "launcher is ${w}x${h}"
    "$closer" "$id"
    wait_exit 20
    [ "$status" = "0" ] || fail "closing the launcher gave status $status"
    grep -q . "$work/out.log" && { echo "program output:"; cat "$work/out.log"; }
    xdotool search --name "$show_title" >/dev/null 2>&1 && fail "a show window appeared"
  else
    fail "no launcher window"
    describe
  fi

  # 2. Enter and Escape do nothing in the launcher; a click on "Fire !" starts the show.
  start_show
  if id="$(wait_window "$launcher_title" 20)"; then
    wait_placed "$id"
    xdotool mousemove 150 150 key Return key Escape
    sleep 0.5
    kill -0 "$show_pid" 2>/dev/null || fail "Enter or Escape ended the launcher"
    xdotool search --onlyvisible --name "$show_title" >/dev/null 2>&1 &&
      fail "Enter or Escape started the show"
    # The button's centre: (11 + 281 / 2, 89 + 23 / 2) in the client area.
    xdotool mousemove 251 201 click 1
    if sid="$(wait_window "$show_title" 20)"; then
      read -r x y w h <<<"$(geometry "$sid")"
      [ "$x $y $w $h" = "0 0 $W $H" ] || fail "show window is ${w}x${h} at ($x, $y), not the screen"
      sleep 1.5
      import -window root "$work/screen.png" 2>/dev/null
      # The picture stands centred at 4:3; black bars fill the rest.
      local pw=$((H * 4 / 3)) left=0
      [ "$pw" -gt "$W" ] && pw=$W
      left=$(((W - pw) / 2))
      if [ "$left" -gt 0 ]; then
        is_black "$work/screen.png" $((left / 2)) $((H / 2)) || fail "no black bar on the left"
        is_black "$work/screen.png" $((W - left / 2)) $((H / 2)) || fail "no black bar on the right"
        is_black "$work/screen.png" $((left - 2)) 10 || fail "the picture spills into the left bar"
      fi
      local lit=0 px
      for px in $((left + pw / 4)) $((W / 2)) $((left + pw * 3 / 4)); do
        is_black "$work/screen.png" "$px" $((H / 2)) || lit=$((lit + 1))
      done
      [ "$lit" -ge 2 ] || fail "the picture is missing from the centre"
      cp "$work/screen.png" "$build/tests/e2e-screen-${W}x${H}.png" 2>/dev/null
      xdotool key Escape
      wait_exit 30
      [ "$status" = "0" ] || fail "Escape gave status $status"
      for d in maps pict text; do
        [ -e "$work/$d" ] && fail "the working directory $d is still there"
      done
    else
      fail "no show window after the click"
      describe
    fi
  else
    fail "no launcher window"
    describe
  fi
  [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null && show_pid=""
}

run_at 1024 768
run_at 1920 1080

# 3. Alt+F4 on the show window ends the show like Escape. The pointer still stands where the
# last run clicked "Fire !": the launcher appears under it, and a click without any motion,
# at once, the one that gives the window its focus, must still press the button.
echo "== Alt+F4"
start_show
if id="$(wait_window "$launcher_title" 20)"; then
  wait_placed "$id"
  xdotool click 1
  if sid="$(wait_window "$show_title" 20)"; then
    sleep 0.5
    xdotool key alt+F4
    wait_exit 20
    [ "$status" = "0" ] || fail "Alt+F4 gave status $status"
  else
    fail "no show window"
    describe
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all end-to-end checks passed"
