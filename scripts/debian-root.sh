#!/usr/bin/env bash
# Makes (once) a minimal Debian 12 root to install the package into, kept outside the build tree
# so that `make clean` keeps it and later runs start in seconds. Prints the root's path.
#
#   scripts/debian-root.sh [ROOT]     (default: ~/.cache/kettlebox/debian12-root)
set -euo pipefail
root="${1:-${KB_DEBIAN_ROOT:-$HOME/.cache/kettlebox/debian12-root}}"
mirror="${KB_DEBIAN_MIRROR:-http://deb.debian.org/debian}"

if [ -e "$root/.kb-complete" ]; then
  echo "$root"
  exit 0
fi
command -v debootstrap >/dev/null || { echo "debootstrap is missing (make deps)" >&2; exit 1; }
# A half-made root from an interrupted run is made again from nothing.
rm -rf "$root"
mkdir -p "$root"
start=$(date +%s)
echo "Making a Debian 12 root in $root (once; a few minutes) ..." >&2
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
  { echo "debootstrap failed; see $root.log" >&2; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
touch "$root/.kb-complete"
echo "Debian 12 root made in $(($(date +%s) - start)) s." >&2
echo "$root"
