#!/usr/bin/env bash
# The store under faults. A write loop killed with SIGKILL at random moments: afterwards the
# file passes its integrity check and holds every write that was acknowledged. Then every
# write point of one add and of one update fails in turn, with EIO and with ENOSPC, through
# strace's fault injection: each leaves the file as it was and says so in a clear message.
# Last, an import into a new category with writes of the search index failing.
set -uo pipefail
writer=$1
db=$2
runs=${KB_FAULT_RUNS:-24}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"

# ---- kill -9 during a write loop
"$writer" init "$work" >/dev/null || fail "could not make the recipe file"
: >"$work/acks"
for run in $(seq "$runs"); do
  "$writer" loop "$work" "r${run}w" >>"$work/acks" 2>/dev/null &
  pid=$!
  sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.3f", 0.15 + (r % 600) / 1000 }')"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  "$writer" check "$work" "$work/acks" >"$work/check" 2>&1 ||
    { cat "$work/check"; fail "kill -9 run $run lost an acknowledged write or damaged the file"; }
done
echo "kill -9: $runs runs, $(grep -c '^ACK ' "$work/acks") acknowledged writes, all present"

# ---- injected I/O errors
if ! command -v strace >/dev/null || ! strace -f -qq -o /dev/null true 2>/dev/null; then
  echo "SKIP: strace can't trace here (not installed, or ptrace refused)"
  exit 77
fi
base="$work/base"
mkdir "$base"
"$writer" init "$base" >/dev/null || fail "could not make the recipe file"
before=$("$writer" dump "$base" 2>/dev/null) || fail "could not read the recipe file"
calls="pwrite64,write,fsync,fdatasync,openat,unlink,ftruncate"
d="$work/injected"
reset() { rm -rf "$d"; cp -a "$base" "$d"; }
# The calls that touch the recipe file or its journal, in order.
paths() { echo -P "$d/Recipe.mdb" -P "$d/Recipe.mdb-journal"; }

failed=0
absorbed=0
messages=()
for op in add update; do
  name=Crumble
  [ "$op" = update ] && name=Pilaf
  reset
  # shellcheck disable=SC2046
  strace -f -qq -e trace="$calls" $(paths) -o "$work/trace" "$writer" "$op" "$d" "$name" >/dev/null ||
    fail "the $op does not go through without faults"
  for call in ${calls//,/ }; do
    # Opens that make a file are write points; opens that only read are not.
    points=$(grep -E "^([0-9]+ +)?${call}\(" "$work/trace" |
      awk -v call="$call" 'call != "openat" || /O_CREAT/ { print NR }')
    for when in $points; do
      errs="EIO ENOSPC"
      # Under the sanitizers every process is slow: each point fails with one of the two in
      # turn, so that both are still tried and every point is.
      if [ "${KB_FAULT_ONE_ERROR:-0}" = 1 ]; then
        point=$((${point:-0} + 1))
        errs=$([ $((point % 2)) = 0 ] && echo EIO || echo ENOSPC)
      fi
      for err in $errs; do
        reset
        # shellcheck disable=SC2046
        out=$(strace -f -qq -o /dev/null -e trace="$call" -e inject="$call":error="$err":when="$when" \
          $(paths) "$writer" "$op" "$d" "$name" 2>&1)
        rc=$?
        after=$("$writer" dump "$d" 2>/dev/null)
        what="$op, $call #$when failing with $err"
        case $rc in
        1)
          [ "$after" = "$before" ] || fail "$what: the file changed although the save failed"
          case $out in
          FAILED:*) ;;
          *) fail "$what: no message: $out" ;;
          esac
          # A failed open leaves only "full or failing" to say; other calls tell which.
          if [ "$err" = ENOSPC ]; then
            said='disk is full|disk may be full'
          else
            said='disk reported an error|disk may be full or failing'
          fi
          grep -q -E "$said" <<<"$out" || fail "$what: misleading message: $out"
          messages+=("$out")
          failed=$((failed + 1))
          ;;
        0)
          # The engine got past this one (a retried call): then the save must be whole.
          [ "$out" = SAVED ] || fail "$what: claimed nothing: $out"
          [ "$after" != "$before" ] || fail "$what: reported saved, but nothing changed"
          grep -q -e "Crumble" -e "Changed" <<<"$after" || fail "$what: the change is missing"
          absorbed=$((absorbed + 1))
          ;;
        *) fail "$what: ended with $rc: $out" ;;
        esac
      done
    done
  done
done
echo "injected errors: $failed failed writes left the file as it was with a clear message;" \
  "$absorbed were got past by the engine and saved whole"
printf '%s\n' "${messages[@]}" | sort | uniq -c

# ---- an import that makes a category, with the search index's journal failing
# The full-text engine must never be written in a transaction that also makes a table: a failed
# write there crashed the whole program. The recipes come in; the index is made again later.
idx="$work/index-base"
mkdir "$idx"
"$db" init --sample "$idx" >/dev/null || fail "could not make the recipe file"
"$db" find soup --folder "$idx" >/dev/null || fail "could not build the search index"
for i in $(seq 30); do
  printf 'MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n      Title: Stew %s\n'\
' Categories: Stews\n      Yield: 4 servings\n\n      2 c  carrots\n\n  Boil %s minutes.\n\nMMMMM\n\n' \
    "$i" "$i"
done >"$work/stews.mmf"
for when in 4 9 14 19 24 29 34 39 44; do
  rm -rf "$d"
  cp -a "$idx" "$d"
  strace -f -qq -o /dev/null -e trace=pwrite64 -e inject=pwrite64:error=ENOSPC:when="$when" \
    -P "$d/Recipe.index-journal" -P "$d/Recipe.index-wal" "$db" import --folder "$d" "$work/stews.mmf" >/dev/null 2>&1
  rc=$?
  [ $rc -le 1 ] || fail "import with index write #$when failing ended with $rc"
  found=$("$db" find stew --folder "$d" 2>&1 | grep -c '^Stews')
  if [ $rc = 0 ]; then
    [ "$found" = 30 ] || fail "import with index write #$when failing: $found of 30 found"
  else
    [ "$found" = 0 ] || fail "import with index write #$when failing: failed, yet $found found"
  fi
done
echo "index journal failing during an import: no crash, every reported recipe found"

# ---- an import's words against what it did, with the disk failing
# A failure said must leave the file as it was, and "came in" must mean the recipes are there:
# a commit whose folder sync failed afterwards is in the file, and says the disk did not
# confirm it. A file the disk fails to open for writing is not called read-only.
"$db" import --folder "$idx" "$work/stews.mmf" >/dev/null 2>&1 || fail "could not import"
printf 'MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n      Title: Pie %s\n Categories: Pies\n\n  Bake.\n\nMMMMM\n\n' 1 2 3 4 5 \
  >"$work/pies.mmf"
rm -rf "$d"
cp -a "$idx" "$d"
strace -f -qq -o "$work/trace" -e trace=fsync,fdatasync "$db" import --folder "$d" "$work/pies.mmf" \
  >/dev/null 2>&1 || fail "the import does not go through without faults"
syncs=$(grep -c -E '^([0-9]+ +)?f(data)?sync\(' "$work/trace")
for when in $(seq "$syncs") open:EIO open:ENOSPC; do
  rm -rf "$d"
  cp -a "$idx" "$d"
  if [ "${when%%:*}" = open ]; then
    what="the recipe file failing to open with ${when#open:}"
    out=$(strace -f -qq -o /dev/null -e trace=openat -e inject=openat:error="${when#open:}":when=1 \
      -P "$d/Recipe.mdb" "$db" import --folder "$d" "$work/pies.mmf" 2>&1)
  else
    what="sync #$when failing"
    out=$(strace -f -qq -o /dev/null -e trace=fsync,fdatasync -e inject=fsync,fdatasync:error=EIO:when="$when" \
      "$db" import --folder "$d" "$work/pies.mmf" 2>&1)
  fi
  rc=$?
  pies=$("$db" find pie --folder "$d" 2>&1 | grep -c '^Pies')
  case $rc in
  0) [ "$pies" = 5 ] || fail "import with $what: said the recipes came in, $pies of 5 are there" ;;
  1)
    [ "$pies" = 0 ] || fail "import with $what: said nothing was imported, $pies are there"
    ! grep -q 'read-only' <<<"$out" || fail "import with $what: called read-only: $out"
    ;;
  *) fail "import with $what ended with $rc" ;;
  esac
done
echo "import with each sync or the open failing: its words match what is in the file"
