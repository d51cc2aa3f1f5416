#!/usr/bin/env bash
# Removes the build folders given, but never a recipe file: any *.mdb inside them (a recipe
# file left there by an earlier version, a copy, a backup) stays, with the folders that hold it.
#
#   scripts/clean.sh FOLDER...
set -euo pipefail
kept=()
for dir in "$@"; do
  [ -d "$dir" ] || continue
  while IFS= read -r -d '' f; do kept+=("$f"); done \
    < <(find "$dir" -iname '*.mdb' \( -type f -o -type l \) -print0)
  find "$dir" -depth -mindepth 1 ! -type d ! -iname '*.mdb' -delete
  find "$dir" -depth -type d -empty -delete
done
if [ ${#kept[@]} -gt 0 ]; then
  echo "Kept these recipe files (move them out of the build folder, e.g. to ~/Kettlebox):"
  printf '  %s\n' "${kept[@]}"
fi
