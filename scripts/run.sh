#!/usr/bin/env bash
# Starts the built program; makes a starter recipe file beside it when there is none.
set -euo pipefail
bin="$1"
if [ ! -e "$bin/Recipe.mdb" ]; then
  echo "No Recipe.mdb beside the program: making one with sample recipes."
  "$bin/kettlebox-db" init --sample "$bin"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is set. Start the program under a virtual display with:"
  echo "  xvfb-run -a $bin/kettlebox"
  exit 0
fi
exec "$bin/kettlebox"
