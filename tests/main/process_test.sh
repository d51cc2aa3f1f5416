#!/usr/bin/env bash
# The real program as processes on a virtual display: a second start brings the running window
# back and ends without a window of its own; the close caption button ends the program.
set -euo pipefail
kettlebox=$1
kettlebox_db=$2
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$kettlebox" "$work/kettlebox"
"$kettlebox_db" init --sample "$work" >/dev/null
mkdir -m 700 "$work/run"

# The program must show real windows on the virtual display, whatever platform the caller chose.
XDG_RUNTIME_DIR="$work/run" env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$here/process_steps.sh" "$work"
