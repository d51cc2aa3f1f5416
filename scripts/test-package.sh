#!/usr/bin/env bash
# Checks the Debian package with lintian, installs it into a fresh Debian 12 root and uses it
# there as a new user would: `apt-get install ./kettlebox_*.deb`, `kettlebox --version`, the menu entry's command
# on a virtual display, a category and a recipe added (scripts/new-user-steps.sh), then
# `apt-get remove`, which must leave the user's recipes in place.
#
#   scripts/test-package.sh PACKAGE.deb [SHOTS_FOLDER]
#
# The bare root is made once by scripts/debian-root.sh and kept under ~/.cache/kettlebox, with
# the downloaded packages; each run works on a throw-away overlay of it, in a mount namespace
# of its own, so nothing is left mounted or changed. Needs root.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "test-package needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
shots_out=$(realpath -m "${2:-$(dirname "$deb")/test-package}")
cache="${KB_CACHE:-$HOME/.cache/kettlebox}"
id=example.kettlebox.Recipe

# What Debian asks of every package: its copyright and changelog, and no error from lintian.
for doc in copyright changelog.Debian.gz; do
  dpkg-deb -c "$deb" | grep -q "\./usr/share/doc/kettlebox/$doc\$" ||
    { echo "FAIL: the package has no /usr/share/doc/kettlebox/$doc"; exit 1; }
done
lintian --fail-on error "$deb" ||
  { echo "FAIL: lintian reports errors on the package"; exit 1; }

t0=$(date +%s)
base=$("$here/debian-root.sh" "$cache/debian12-root")
t_root=$(($(date +%s) - t0))
mkdir -p "$cache/apt-archives/partial" "$cache/apt-lists/partial"

work=$(mktemp -d /tmp/kb-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/upper" "$work/ovl" "$work/root"
cp "$deb" "$work/kettlebox.deb"
cp "$here/new-user-steps.sh" "$work/new-user-steps.sh"

# Everything mounted below goes away with the namespace when the inner script ends.
export base work cache id
unshare --mount --propagation private bash -euo pipefail -c '
  root=$work/root
  if ! mount -t overlay overlay \
      -o "lowerdir=$base,upperdir=$work/upper,workdir=$work/ovl" "$root" 2>/dev/null; then
    cp -a "$base/." "$root/" # no overlay here: a copy does the same, a little slower
  fi
  mount -t proc proc "$root/proc"
  mount -t tmpfs -o mode=755 dev "$root/dev"
  mknod -m 666 "$root/dev/null" c 1 3
  mknod -m 666 "$root/dev/zero" c 1 5
  mknod -m 666 "$root/dev/full" c 1 7
  mknod -m 666 "$root/dev/random" c 1 8
  mknod -m 666 "$root/dev/urandom" c 1 9
  mknod -m 666 "$root/dev/tty" c 5 0
  mkdir -m 1777 "$root/dev/shm"
  mkdir "$root/dev/pts"
  mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
  ln -s pts/ptmx "$root/dev/ptmx"
  mount --bind "$cache/apt-archives" "$root/var/cache/apt/archives"
  mount --bind "$cache/apt-lists" "$root/var/lib/apt/lists"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  cp "$work/kettlebox.deb" "$work/new-user-steps.sh" "$root/tmp/"
  in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }
  s=$(date +%s)
  in_root apt-get update -qq
  in_root apt-get install -y -qq /tmp/kettlebox.deb >"$work/install.log" 2>&1 ||
    { tail -30 "$work/install.log"; echo "FAIL: apt-get install of the package"; exit 1; }
  echo "package installed with its dependencies in $(($(date +%s) - s)) s"
  v=$(in_root kettlebox --version)
  [ "$v" = "kettlebox 2.4" ] || { echo "FAIL: installed kettlebox --version printed \"$v\""; exit 1; }
  echo "installed: $v"
  # What the test drives the display with; not part of what a user needs.
  in_root apt-get install -y -qq --no-install-recommends xvfb xauth xdotool openbox x11-apps \
    >>"$work/install.log" 2>&1 || { tail -30 "$work/install.log"; exit 1; }
  in_root useradd -m -s /bin/bash cook
  exec_line=$(sed -n "s/^Exec=//p" "$root/usr/share/applications/$id.desktop" |
    sed "s/ *%[fFuUdDnNickvm]//g")
  mkdir -m 700 "$root/tmp/cook-run" "$root/tmp/shots"
  chroot "$root" chown cook: /tmp/cook-run /tmp/shots
  s=$(date +%s)
  rc=0
  timeout 300 chroot "$root" runuser -u cook -- env -i HOME=/home/cook USER=cook \
    PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/cook-run \
    xvfb-run -a -s "-screen 0 1024x768x24" bash /tmp/new-user-steps.sh "$exec_line" /tmp/shots ||
    rc=$?
  rm -rf "$work/shots" && cp -r "$root/tmp/shots" "$work/shots"
  [ "$rc" -eq 0 ] || { echo "FAIL: the new user steps ended with $rc"; exit 1; }
  echo "new user steps took $(($(date +%s) - s)) s"
  recipes=$root/home/cook/.local/share/Kettlebox/Recipe.mdb
  before=$(sha256sum <"$recipes")
  in_root apt-get remove -y -qq kettlebox >>"$work/install.log" 2>&1
  [ ! -e "$root/usr/bin/kettlebox" ] || { echo "FAIL: apt-get remove left the program"; exit 1; }
  [ "$(sha256sum <"$recipes")" = "$before" ] ||
    { echo "FAIL: apt-get remove touched the recipe file"; exit 1; }
  echo "apt-get remove kettlebox left the user'"'"'s recipes in place"
'
rm -rf "$shots_out" && mkdir -p "$shots_out"
for f in "$work"/shots/*.xwd; do
  [ -e "$f" ] || continue
  name=$(basename "$f" .xwd)
  if [ -x /usr/bin/convert ]; then
    /usr/bin/convert "xwd:$f" "$shots_out/$name.png" 2>/dev/null || cp "$f" "$shots_out/"
  else
    cp "$f" "$shots_out/"
  fi
done
cp "$work"/shots/*.log "$shots_out/" 2>/dev/null || true
echo "test-package passed in $(($(date +%s) - t0)) s (root ready after ${t_root} s); screenshots in $shots_out"
