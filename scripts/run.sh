#!/usr/bin/env bash
# Puts the built program, kettlebox-db and the reader of old Access files into a portable
# folder outside the build tree, gives that folder a recipe file when it has none, and starts
# the copy there. The recipes so never live in the build folder, and cleaning the build can't
# touch them.
#
#   scripts/run.sh BUILD_BIN PORTABLE_FOLDER
set -euo pipefail
bin="$1"
folder="$2"

mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
case "$folder/" in
  "$(cd "$bin/.." && pwd)"/*) echo "The portable folder must not be inside the build folder." >&2; exit 2 ;;
esac
# Each program is copied beside itself and renamed over the old one, so a copy that is running
# keeps its file and a failed copy leaves the old one whole.
for prog in kettlebox kettlebox-db kettlebox-mdbread; do
  install -m 755 "$bin/$prog" "$folder/.$prog.new"
  mv -f "$folder/.$prog.new" "$folder/$prog"
done

if [ ! -e "$folder/Recipe.mdb" ]; then
  if [ -f "$bin/Recipe.mdb" ]; then
    # Earlier versions kept the recipes beside the built program: carry them over, and leave
    # the old file where it is.
    echo "Copying your recipes from $bin/Recipe.mdb to $folder."
    cp -p "$bin/Recipe.mdb" "$folder/.Recipe.mdb.new"
    mv -n "$folder/.Recipe.mdb.new" "$folder/Recipe.mdb"
    rm -f "$folder/.Recipe.mdb.new"
  else
    echo "No Recipe.mdb in $folder: making one with sample recipes."
    "$folder/kettlebox-db" init --sample "$folder"
  fi
fi
echo "Your recipes: $folder/Recipe.mdb"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is set. Start the program under a virtual display with:"
  echo "  xvfb-run -a $folder/kettlebox"
  exit 0
fi
exec "$folder/kettlebox"
