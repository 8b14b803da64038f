#!/usr/bin/env bash
# Faults and bad input, played through the whole show headless (the offline renderer runs
# the show's own loading, scenes and release on the virtual clock). Each case ends with the
# program's status, its messages and the disk checked: nothing lost, nothing written
# outside the working directory, the working directories removed.
# Usage: e2e_faults.sh BUILD-DIR
set -uo pipefail

build="$(cd "${1:?usage: e2e_faults.sh BUILD-DIR}" && pwd)"
render="$build/vellumar2-render"
archive="$build/show/datas.vlo"
work="$(mktemp -d)"
failures=0
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
if [ ! -f "$archive" ]; then
  echo "the show's data set is not baked; nothing to test"
  exit 0
fi
export SDL_AUDIODRIVER=dummy

# play CASE-DIR ARGS...: runs the renderer there, quietly, writing nothing but its log;
# sets rc. One second of the named scene after loading is enough to meet every file.
play() {
  local dir="$1"
  shift
  (cd "$dir" && "$render" --quiet --bench --size 320x240 --fps 4 "$@" >out.txt 2>err.txt)
  rc=$?
}
fresh() {  # fresh NAME [no-archive]: a case directory holding the show's files
  local dir="$work/$1"
  mkdir -p "$dir"
  [ "${2:-}" = "no-archive" ] || cp "$archive" "$dir/datas.vlo"
  cp "$build"/show/*.mp3 "$dir/" 2>/dev/null
  echo "$dir"
}
# listing DIR: every path below DIR, sorted
listing() { (cd "$1" && find . | sort); }
working_dirs_gone() {  # working_dirs_gone DIR CASE
  for d in maps pict text; do
    [ -e "$1/$d" ] && fail "$2: the working directory $d is still there"
  done
}
# A copy of the archive with one member replaced by the given bytes (a file path) or
# removed (an empty path).
rezip() {  # rezip DIR MEMBER REPLACEMENT
  local dir="$1" member="$2" replacement="$3" unpack="$work/unpack-$RANDOM"
  mkdir -p "$unpack" && (cd "$unpack" && unzip -q "$archive")
  if [ -n "$replacement" ]; then cp "$replacement" "$unpack/$member"; else rm -f "$unpack/$member"; fi
  rm -f "$dir/datas.vlo"
  (cd "$unpack" && zip -q -r "$dir/datas.vlo" maps pict text)
  rm -rf "$unpack"
}

# 1. No archive: status 1, a message, nothing written.
dir="$(fresh missing no-archive)"
before="$(listing "$dir")"
play "$dir" --scene night-flight --to 1
[ "$rc" = 1 ] || fail "no archive: status $rc, not 1"
[ -s "$dir/err.txt" ] || fail "no archive: no message"
after="$(listing "$dir" | grep -v -e '^./out.txt$' -e '^./err.txt$')"
[ "$before" = "$after" ] || fail "no archive: files were written: $(diff <(echo "$before") <(echo "$after"))"

# 2. A picture missing, and one corrupt, inside the archive: reported, the show goes on.
dir="$(fresh picture)"
head -c 3000 /dev/urandom >"$work/garbage.jpg"
rezip "$dir" text/by.jpg "$work/garbage.jpg"
play "$dir" --scene night-flight --to 1
[ "$rc" = 0 ] || fail "corrupt picture: status $rc: $(tail -3 "$dir/err.txt")"
grep -q -- "-=(Status)=-: text/by.jpg" "$dir/err.txt" || fail "corrupt picture: not reported"
working_dirs_gone "$dir" "corrupt picture"
rezip "$dir" text/title.jpg ""
play "$dir" --scene night-flight --to 1
[ "$rc" = 0 ] || fail "missing picture: status $rc"
grep -q -- "-=(Status)=-: text/title.jpg" "$dir/err.txt" || fail "missing picture: not reported"

# 3. Truncated scene, lighting and model files: the show goes on.
for member in maps/jungle.3ds maps/jungle.vlo maps/raptor.ryx maps/palace.vlo maps/girl.ryx; do
  dir="$(fresh "trunc-${member//\//-}")"
  full="$work/full-${member//\//-}"
  (cd "$work" && unzip -p "$archive" "$member" >"$full") || { fail "$member is not in the archive"; continue; }
  head -c $(($(stat -c %s "$full") / 3)) "$full" >"$full.cut"
  rezip "$dir" "$member" "$full.cut"
  case "$member" in
    *jungle* | *raptor*) scene=jungle ;;
    *palace*) scene=palace ;;
    *) scene=bath ;;
  esac
  play "$dir" --scene "$scene" --to 1
  [ "$rc" = 0 ] || fail "truncated $member: status $rc: $(tail -3 "$dir/err.txt")"
  working_dirs_gone "$dir" "truncated $member"
done

# 4. The music missing, then corrupt, then no sound device: a silent show, status 0.
dir="$(fresh music)"
rm -f "$dir"/*.mp3
play "$dir" --scene scroll --to 1
[ "$rc" = 0 ] || fail "missing music: status $rc"
head -c 50000 /dev/urandom >"$dir/discow.mp3"
head -c 50000 /dev/urandom >"$dir/vellumar2.mp3"
play "$dir" --scene scroll --to 1
[ "$rc" = 0 ] || fail "corrupt music: status $rc"
SDL_AUDIODRIVER=nonexistent play "$dir" --scene scroll --to 1
[ "$rc" = 0 ] || fail "no sound device: status $rc"

# 5. A person's own files in the working directories stay; only what was extracted goes.
dir="$(fresh own)"
mkdir -p "$dir/text/notes" && echo mine >"$dir/text/mine.txt" && echo deep >"$dir/text/notes/deep.txt"
play "$dir" --scene credits --to 1
[ "$rc" = 0 ] || fail "own files: status $rc"
[ "$(cat "$dir/text/mine.txt" 2>/dev/null)" = mine ] || fail "own file text/mine.txt was lost"
[ "$(cat "$dir/text/notes/deep.txt" 2>/dev/null)" = deep ] || fail "own file text/notes/deep.txt was lost"
[ -e "$dir/text/by.jpg" ] && fail "own files: the extracted text/by.jpg is still there"

# 6. Entries that point outside the working directory are refused; nothing lands outside.
dir="$(fresh hostile)"
mkdir -p "$work/hostile-src/text"
(cd "$work/hostile-src" && echo x >text/ok.txt && echo evil >evil.txt &&
  python3 - "$dir/datas.vlo" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "a") as z:
    z.writestr("../escaped.txt", "evil")
    z.writestr("/tmp/vellumar-absolute-escape.txt", "evil")
    z.writestr("text/..\\..\\backslash.txt", "evil")
PY
)
rm -f /tmp/vellumar-absolute-escape.txt
play "$dir" --scene night-flight --to 1
[ "$rc" = 0 ] || fail "hostile entries: status $rc: $(tail -3 "$dir/err.txt")"
[ -e "$work/escaped.txt" ] && fail "an entry escaped with .."
[ -e /tmp/vellumar-absolute-escape.txt ] && fail "an absolute entry was written"
[ -e "$work/backslash.txt" ] && fail "an entry escaped with backslashes"
working_dirs_gone "$dir" "hostile entries"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all fault cases passed"
