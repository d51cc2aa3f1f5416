#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the layout, the two validators, --version and --help
# without a display, and the installed program started by a user who can't write to its
# folder, who is given the starter file in the data folder.
set -uo pipefail
build=$1
id=$2
fail() { echo "FAIL: $*"; exit 1; }

work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install failed"; }

share="$prefix/share"
for f in bin/kettlebox bin/kettlebox-db "share/applications/$id.desktop" \
  "share/metainfo/$id.metainfo.xml" share/man/man1/kettlebox.1.gz \
  share/man/man1/kettlebox-db.1.gz share/kettlebox/Recipe.mdb libexec/kettlebox/kettlebox-mdbread \
  share/doc/kettlebox/copyright share/doc/kettlebox/changelog.Debian.gz \
  "share/icons/hicolor/scalable/apps/$id.svg"; do
  [ -s "$prefix/$f" ] || fail "$f is missing"
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$share/icons/hicolor/${size}x${size}/apps/$id.png"
  file "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is not $size x $size"
done
for page in kettlebox kettlebox-db; do
  man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null | grep . && fail "$page.1 warns"
done

# Debian 12's desktop-file-validate has nothing to say, not even a hint.
desktop-file-validate "$share/applications/$id.desktop" 2>&1 | grep . && fail "desktop-file-validate"
# The web site isn't reachable from here (nor from CI), so its addresses go unchecked.
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" >"$work/as.log" 2>&1 ||
  { cat "$work/as.log"; fail "appstreamcli validate"; }

# Both programs answer without any display.
for prog in kettlebox kettlebox-db; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$prog" --version) ||
    fail "$prog --version failed"
  [ "$out" = "$prog 2.4" ] || fail "$prog --version printed \"$out\""
  env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$prog" --help >"$work/help" ||
    fail "$prog --help failed"
  grep -q "^usage: $prog" "$work/help" || fail "$prog --help has no usage line"
done

# A user who can't write to the program's folder: as root, the user nobody; otherwise the
# folder is made read-only. The recipe file goes to the data folder, a copy of the starter.
home="$work/home"
mkdir -p "$home"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "SKIP: no setpriv"; exit 77; }
  chown nobody "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  chmod a-w "$prefix/bin"
fi
mkdir -m 700 "$home/run"
[ "$(id -u)" -eq 0 ] && chown nobody "$home/run"
"${as_user[@]}" env HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME= TMPDIR="$home/run" \
  QT_QPA_PLATFORM=offscreen "$prefix/bin/kettlebox" >"$work/run.log" 2>&1 &
pid=$!
recipes="$home/.local/share/Kettlebox/Recipe.mdb"
for _ in $(seq 100); do
  [ -s "$recipes" ] && break
  sleep 0.1
done
sleep 0.5
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ -s "$recipes" ] || { cat "$work/run.log"; fail "no recipe file in the data folder"; }
cmp -s "$recipes" "$share/kettlebox/Recipe.mdb" || fail "the data folder's file isn't the starter"
[ "$(stat -c %a "$recipes")" = 600 ] || fail "the recipe file is readable by others"
[ -e "$prefix/bin/Recipe.mdb" ] && fail "a recipe file was made beside the program"

# Root may write to the program's folder, yet an installed copy keeps root's recipes in root's
# data folder too, and leaves nothing beside the program.
if [ "$(id -u)" -eq 0 ]; then
  roothome="$work/roothome"
  mkdir -p "$roothome/run"
  chmod 700 "$roothome/run"
  env HOME="$roothome" XDG_RUNTIME_DIR="$roothome/run" XDG_DATA_HOME= TMPDIR="$roothome/run" \
    QT_QPA_PLATFORM=offscreen "$prefix/bin/kettlebox" >"$work/root.log" 2>&1 &
  pid=$!
  recipes="$roothome/.local/share/Kettlebox/Recipe.mdb"
  for _ in $(seq 100); do
    [ -s "$recipes" ] && break
    sleep 0.1
  done
  sleep 0.5
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  [ -s "$recipes" ] || { cat "$work/root.log"; fail "root's copy has no recipe file in its data folder"; }
  left=$(ls -A "$prefix/bin" | grep -v -x -e kettlebox -e kettlebox-db)
  [ -n "$left" ] && fail "root's copy left $left beside the program"
fi
echo "install: layout, validators, --version, --help and the data folder hold"
