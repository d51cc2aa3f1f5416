#!/usr/bin/env bash
# clang-tidy over the program's own sources (not the tests or generated code), with the
# repository's .clang-tidy; any finding fails. Needs a configured build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
[ -f "$build/compile_commands.json" ] || { echo "tidy: no $build/compile_commands.json" >&2; exit 2; }
files=$(git ls-files '*.cpp' | grep -vE '^(tests|bench)/')
# shellcheck disable=SC2086
run-clang-tidy-14 -quiet -p "$build" -j "$(nproc)" $(printf '%s\n' $files | sed "s|^|$PWD/|") \
  2> >(grep -v 'warnings generated' >&2)
