#!/usr/bin/env bash
# Commands side by side on one recipe file: an import with a restore, and an import with an
# import of an old Access file, started together a few times. Every import that said its
# recipes came in must have them in the file afterwards, or in the backup the replacing
# command made of the file it replaced; the one refused says so in words.
set -uo pipefail
db=$1
access=$2
runs=${KB_CONCURRENT_RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
f="$work/folder"
mkdir "$f"
"$db" init --sample "$f" >/dev/null || fail "could not make the recipe file"

# Recipes of one run, each with a word of that run only.
recipes() {
  for i in $(seq 400); do
    printf 'MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n      Title: Dish %s\n'\
' Categories: Run%s\n      Yield: 2 servings\n\n      1 c  water\n\n  Stir mark%s well.\n\nMMMMM\n\n' \
      "$i" "$1" "$1"
  done
}
# How many recipes of run $2 the recipe file in folder $1 holds.
count() { "$db" find "mark$2" --folder "$1" 2>/dev/null | grep -c "^Run$2"; }
# The same in a backup, looked at in a folder of its own.
countIn() {
  local look="$work/look"
  rm -rf "$look"
  mkdir "$look"
  cp "$1" "$look/Recipe.mdb" || return 1
  count "$look" "$2"
}

acked=0
refused=0
for run in $(seq "$runs"); do
  for other in restore import-access; do
    tag="$run${other%%-*}"
    recipes "$tag" >"$work/run$tag.mmf"
    source=$("$db" backup "$f" 2>/dev/null) || fail "run $tag: no backup to restore"
    # Either one may start first, the other a moment later.
    pause=$(awk -v r="$RANDOM" 'BEGIN { printf "%.3f", (r % 250) / 1000 }')
    first=$((RANDOM % 2))
    (
      [ $first = 0 ] && sleep "$pause"
      exec "$db" import --folder "$f" "$work/run$tag.mmf" >"$work/import.out" 2>"$work/import.err"
    ) &
    importer=$!
    [ $first = 1 ] && sleep "$pause"
    if [ "$other" = restore ]; then
      "$db" restore "$source" "$f" >"$work/other.out" 2>&1
    else
      "$db" import-access "$access" "$f" >"$work/other.out" 2>&1
    fi
    orc=$?
    wait "$importer"
    irc=$?
    for rc in $irc $orc; do
      [ "$rc" -le 1 ] || fail "run $tag: a command ended with $rc"
    done
    if [ $irc = 1 ] || [ $orc = 1 ]; then
      refused=$((refused + 1))
      grep -q -E "process [0-9]+" "$work/import.err" "$work/other.out" ||
        fail "run $tag: refused without saying who has the file: $(cat "$work/import.err" "$work/other.out")"
    fi
    grep -q "400 recipes came in" "$work/import.out" || continue
    acked=$((acked + 1))
    n=$(count "$f" "$tag")
    [ "$n" = 400 ] && continue
    saved=$(sed -n 's/^The replaced file was saved as //p' "$work/other.out")
    [ -n "$saved" ] && [ "$(countIn "$saved" "$tag")" = 400 ] && continue
    fail "run $tag: the import said its 400 recipes came in; $n are in the file and none in a backup"
  done
done
echo "side by side: $acked imports acknowledged, all present; $refused times one command was" \
  "refused with who held the file"
