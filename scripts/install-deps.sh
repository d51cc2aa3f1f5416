#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and `make run` need; only the missing ones.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format clang-tidy ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev qt6-image-formats-plugins
  libsqlcipher-dev libssl-dev libseccomp-dev
  mdbtools-dev mdbtools
  sqlcipher libzip-dev zlib1g-dev
  libbenchmark-dev
  xvfb xauth openbox xdotool
  poppler-utils strace
  desktop-file-utils appstream dpkg-dev file man-db debootstrap imagemagick lintian
  fonts-dejavu-core fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
