#!/usr/bin/env bash
# Runs inside the virtual display; see process_test.sh.
set -uo pipefail
work=$1
title='Kettlebox Recipe V2.4__https://kettlebox.example'
fail() { echo "FAIL: $*"; exit 1; }

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
win=""
for _ in $(seq 100); do
  win=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || fail "the first start showed no window"
echo "first window: $win"

# Minimised, then started again: the running window comes back, the second start ends.
xdotool windowminimize --sync "$win" || fail "could not minimise"
start=$(date +%s%N)
timeout 20 "$work/kettlebox" >"$work/second.log" 2>&1
rc=$?
took=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$rc" -eq 0 ] || fail "the second start ended with $rc"
echo "second start ended after ${took} ms"
visible=""
for _ in $(seq 50); do
  visible=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1)
  [ -n "$visible" ] && break
  sleep 0.1
done
[ "$visible" = "$win" ] || fail "the running window did not come back"
count=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l)
[ "$count" -eq 1 ] || fail "$count windows are showing"
kill -0 "$first" 2>/dev/null || fail "the first instance ended"

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
kill "$wm" 2>/dev/null
echo "processes: second start and close button behave"
