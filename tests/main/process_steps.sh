#!/usr/bin/env bash
# Runs inside the virtual display; see process_test.sh.
set -uo pipefail
work=$1
title='Kettlebox Recipe V2.4__https://kettlebox.example'
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log")"; cat "$log"; }
  done
  exit 1
}
# A program left running by a failed step would make every later run skip.
trap 'kill $(jobs -p) 2>/dev/null' EXIT
# Prints the first visible window whose name matches, waiting up to 30 seconds for one (a
# sanitized build on a loaded machine starts slowly).
window() {
  local w=""
  for _ in $(seq 300); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$w" ] && break
    sleep 0.1
  done
  echo "$w"
}

# One program per user: a copy the developer is running would take the hand-over.
if pgrep -u "$(id -u)" -x kettlebox >/dev/null; then
  echo "SKIP: another copy of the program is running for this user"
  exit 77
fi

openbox >/dev/null 2>&1 &
wm=$!
sleep 1

"$work/kettlebox" >"$work/first.log" 2>&1 &
first=$!
win=$(window "$title")
[ -n "$win" ] || fail "the first start showed no window"
echo "first window: $win"

# A drag on the drawn caption bar moves the window exactly as far as the pointer went, in many
# small steps or in a few large ones.
for steps in 10 2; do
  eval "$(xdotool getwindowgeometry --shell "$win")"
  x0=$X y0=$Y
  xdotool mousemove --sync $((X + 300)) $((Y + 12))
  sleep 0.2
  xdotool mousedown 1
  sleep 0.1
  for _ in $(seq "$steps"); do
    xdotool mousemove_relative --sync -- $((60 / steps)) $((40 / steps))
    sleep 0.05
  done
  sleep 0.2
  xdotool mouseup 1
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$win")"
  [ $((X - x0)),$((Y - y0)) = 60,40 ] ||
    fail "a drag of 60,40 in $steps steps moved the window by $((X - x0)),$((Y - y0))"
done
echo "caption drag: the window follows the pointer exactly"

# Minimised, then started again: the running window comes back, the second start ends.
xdotool windowminimize --sync "$win" || fail "could not minimise"
start=$(date +%s%N)
timeout 20 "$work/kettlebox" >"$work/second.log" 2>&1
rc=$?
took=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$rc" -eq 0 ] || fail "the second start ended with $rc"
echo "second start ended after ${took} ms"
[ "$(window "$title")" = "$win" ] || fail "the running window did not come back"
count=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l)
[ "$count" -eq 1 ] || fail "$count windows are showing"
kill -0 "$first" 2>/dev/null || fail "the first instance ended"

# The running program holds the lock beside its file; a copy with another TMPDIR, or one too
# long for a socket path, still finds the running window and ends.
[ -f "$work/Recipe.mdb.lock" ] || fail "the running program holds no lock beside its file"
long="$work/$(printf 't%.0s' $(seq 120))"
for tmp in "$work/othertmp" "$long"; do
  mkdir -p "$tmp"
  TMPDIR="$tmp" timeout 20 "$work/kettlebox" >"$work/tmpdir.log" 2>&1
  rc=$?
  [ "$rc" -eq 0 ] || fail "a start with TMPDIR of ${#tmp} bytes ended with $rc"
  count=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l)
  [ "$count" -eq 1 ] || fail "$count windows are showing after a start with another TMPDIR"
done
echo "another TMPDIR: handed over"
lockinfo=$(tail -n +3 "$work/Recipe.mdb.lock")

# The close caption button (21 x 21 at 688, 6 of the window) ends the program.
xdotool mousemove --sync --window "$win" 698 16 click 1
for _ in $(seq 100); do
  kill -0 "$first" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$first" 2>/dev/null; then
  kill "$first"
  fail "the close button did not end the program"
fi
wait "$first"
rc=$?
[ "$rc" -eq 0 ] || fail "the program ended with $rc"
[ ! -e "$work/Recipe.mdb.lock" ] || fail "the lock outlived the program"

# A lock left by a crash is taken over.
"$work/kettlebox" >"$work/crash.log" 2>&1 &
crashed=$!
for _ in $(seq 100); do
  [ -f "$work/Recipe.mdb.lock" ] && xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 && break
  sleep 0.1
done
kill -9 "$crashed"
wait "$crashed" 2>/dev/null
[ -f "$work/Recipe.mdb.lock" ] || fail "no lock was left to take over"
"$work/kettlebox" >"$work/after.log" 2>&1 &
after=$!
[ -n "$(window "$title")" ] || fail "a lock left by a crash kept the program from starting"
kill "$after"
wait "$after" 2>/dev/null
echo "stale lock: taken over"

# A lock held by a program this one can't reach (another user, say): said in words, no window.
sleep 60 &
holder=$!
printf '%s\nsleep\n%s\n' "$holder" "$lockinfo" >"$work/Recipe.mdb.lock"
"$work/kettlebox" >"$work/held.log" 2>&1 &
held=$!
box=$(window '^Kettlebox$')
[ -n "$box" ] || { kill "$held" "$holder"; fail "no message for a file open elsewhere"; }
[ -z "$(xdotool search --onlyvisible --name "$title" 2>/dev/null)" ] || fail "a window opened"
${KB_SCREENSHOT:+import -window root "$KB_SCREENSHOT"}
xdotool windowactivate --sync "$box" key Return
wait "$held"
rc=$?
kill "$holder" 2>/dev/null
[ "$rc" -eq 1 ] || fail "the start on a file open elsewhere ended with $rc"
echo "file open elsewhere: said so and ended"

kill "$wm" 2>/dev/null
echo "processes: second start and close button behave"
