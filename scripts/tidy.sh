#!/usr/bin/env bash
# clang-tidy over the program's own sources (not the tests or generated code), with the
# repository's .clang-tidy; any finding fails. Needs a configured and built build folder: the
# sources are checked as that build compiles them, so in a unity build (the default) clang-tidy
# reads each generated file that includes several sources, and parses Qt's headers, which is most
# of its time, once for all of them.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
db="$build/compile_commands.json"
[ -f "$db" ] || { echo "tidy: no $db" >&2; exit 2; }
build_abs=$(realpath "$build")
files=()
while IFS= read -r f; do
  case "$f" in
    "$build_abs"/tests/* | "$build_abs"/bench/*) ;;
    "$build_abs"/*/Unity/unity_*.cxx) files+=("$f") ;;
    "$build_abs"/*) ;; # moc and resource code
    "$PWD"/tests/* | "$PWD"/bench/*) ;;
    "$PWD"/*) files+=("$f") ;;
  esac
done < <(grep -o '"file": "[^"]*"' "$db" | sed 's/^"file": "//; s/"$//' | sort -u)
[ "${#files[@]}" -gt 0 ] || { echo "tidy: no program sources in $db" >&2; exit 2; }
run-clang-tidy-14 -quiet -p "$build" -j "$(nproc)" "${files[@]}" \
  2> >(grep -v 'warnings generated' >&2)
