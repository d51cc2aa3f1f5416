#!/usr/bin/env bash
# Runs on a virtual display as a new user of an installed copy: starts the program with the
# menu entry's command, adds a category and a recipe with the mouse and keyboard, starts it
# again and prints that recipe, which proves it was stored. Leaves screenshots (X window
# dumps) in SHOTS. See scripts/test-package.sh.
#
#   new-user-steps.sh "EXEC LINE" SHOTS
set -uo pipefail
exec_line=$1
shots=$2
title='Kettlebox Recipe V2.4__https://kettlebox.example'
data="$HOME/.local/share/Kettlebox"
fail() { echo "FAIL: $*"; exit 1; }
shot() { xwd -root -silent >"$shots/$1.xwd" || true; }
# A message box has a visual of its own that a dump of the root leaves black: dumped by itself.
shot_box() { xwd -id "$(xdotool getactivewindow)" -silent >"$shots/$1.xwd" || true; }
click() { xdotool mousemove --sync --window "$win" "$1" "$2" click 1; sleep 0.4; }
type_text() { xdotool type --delay 20 "$1"; sleep 0.2; }
key() { xdotool key "$@"; sleep 0.5; }
wait_window() {
  win=""
  for _ in $(seq 150); do
    win=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1)
    [ -n "$win" ] && return 0
    sleep 0.1
  done
  return 1
}
start() {
  # The Exec line is run as the menu would: split into words, no field codes in it.
  # shellcheck disable=SC2086
  $exec_line >>"$shots/program.log" 2>&1 &
  pid=$!
  wait_window || fail "no window after starting \"$exec_line\""
  sleep 1
}
close() {
  click 698 16 # the close caption button
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill "$pid"
  fail "the close button did not end the program"
}

mkdir -p "$shots"
openbox >/dev/null 2>&1 &
sleep 1

start
[ -f "$data/Recipe.mdb" ] || fail "the first start gave the user no recipe file in $data"
shot 1-first-start

# A category: the "Add Category" button, a name in the input box, OK on the message.
click 50 42
sleep 0.5
type_text "Breakfast"
key Return
sleep 1
shot_box 2-category-created
key Return

# A recipe: ADD, the category in the tree, the four fields, Save, Yes, OK, Cancel.
click 287 45
click 60 84 # the first category under the root
click 460 90
type_text "Pancakes"
click 460 121
type_text "A. Cook"
click 480 200
type_text "2 cups flour"
key Return
type_text "1 cup milk"
click 480 340
type_text "Mix and fry."
shot 3-recipe-typed
click 620 88
sleep 1.5
shot_box 4-confirm
key alt+y
key Return
click 636 121
shot 5-added
close

# Started again: the recipe is in the tree; printed, it lands in the data folder.
start
click 80 101 # the recipe under its category
shot 6-restarted
click 455 45
sleep 1.5
shot 7-printed
grep -q "^Name: Pancakes" "$data/print.txt" 2>/dev/null || fail "the printed recipe is not Pancakes"
grep -q "^1 cup milk" "$data/print.txt" || fail "the ingredients were not stored"
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
echo "new user: category and recipe added, stored and printed from $data"
