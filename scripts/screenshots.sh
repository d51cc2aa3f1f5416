#!/usr/bin/env bash
# Takes the screenshots the AppStream metainfo names, of the built program with the sample
# recipes on a virtual display; publish them at the addresses in the metainfo's <image>s.
#
#   scripts/screenshots.sh [BUILD_BIN] [OUT]   (defaults: build/bin, data/screenshots)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(realpath "${1:-$here/../build/bin}")
out=$(realpath -m "${2:-$here/../data/screenshots}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin/kettlebox" "$work/"
"$bin/kettlebox-db" init --sample "$work" >/dev/null
mkdir -p "$out"
mkdir -m 700 "$work/run"

cat >"$work/steps.sh" <<'STEPS'
set -uo pipefail
work=$1 out=$2
openbox >/dev/null 2>&1 &
sleep 1
"$work/kettlebox" >"$work/log" 2>&1 &
pid=$!
win=""
for _ in $(seq 150); do
  win=$(xdotool search --onlyvisible --name 'Kettlebox Recipe V2.4' 2>/dev/null | head -n 1)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "no window"; cat "$work/log"; exit 1; }
xdotool windowmove --sync "$win" 0 0
sleep 1
click() { xdotool mousemove --sync --window "$win" "$1" "$2" click 1; sleep 0.5; }
click 130 156 # the first recipe of the last category, which starts open
xdotool mousemove 900 700
sleep 0.5
import -window "$win" "$out/main.png" || exit 1
click 287 45 # ADD
click 60 84  # the first category
click 460 90
xdotool type --delay 20 "Lemon Pancakes"
click 460 121
xdotool type --delay 20 "Grandma"
click 480 200
xdotool type --delay 20 "2 cups flour"
xdotool key Return
xdotool type --delay 20 "1 lemon, zest and juice"
xdotool mousemove 900 700
sleep 0.5
import -window "$win" "$out/add.png" || exit 1
kill "$pid"
STEPS
# A temporary folder of its own keeps this copy apart from any other running for this user.
TMPDIR="$work" XDG_RUNTIME_DIR="$work/run" xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/steps.sh" "$work" "$out"
for f in main add; do
  echo "$out/$f.png: $(identify -format '%w x %h' "$out/$f.png")"
done
