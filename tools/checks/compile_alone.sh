#!/usr/bin/env bash
# Compiles on its own each test source that the build compiles in a unit
# after another source, and fails on any error; a tree configured with
# -DQVL_UNITY=OFF compiles them so.
#   tools/checks/compile_alone.sh [build-dir]
# The build compiles a suite's sources eight to a unit (cmake/unity.cmake),
# where a source also sees the includes, using-declarations and file-local
# names of the sources before it in its unit; one that compiles only there
# breaks the build without units. The first source of a unit sees none of
# them, and a source outside any unit is compiled on its own by the build
# itself; clang-tidy (tools/checks/tidy.sh) compiles every product source on
# its own, and the benchmarks and the fuzz targets are one source each. What
# is left are the later sources of the tests' units, read from the build
# tree's unit files and checked here with the compiler's syntax-only pass
# (no code generated), with the tree's compiler and flags, from the compile
# commands of a tree without units configured beside it (configured only,
# never built: seconds). A tree that treats warnings as errors has them
# fail here too.
# With clang (CI gives it the sanitizer tree's) GoogleTest's header, which
# is most of what a test source parses, is parsed once into a precompiled
# header and read from there by every source that includes it itself: what
# a source sees is what its own first include gave it, so nothing is hidden
# that a build without units would miss. One precompiled header is made for
# each set of flags that the sources are compiled with (their include
# folders apart).
# JOBS sources are compiled at once (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
JOBS="${JOBS:-$(nproc)}"
BUILD_DIR="${1:-build}"
[ -f "$BUILD_DIR/CMakeCache.txt" ] || { echo "compile_alone: $BUILD_DIR is no configured build tree"; exit 1; }

[ -d "$BUILD_DIR/tests" ] || { echo "compile_alone: $BUILD_DIR builds no tests"; exit 0; }

# The sources after the first of each unit of the test suites.
later=$(mktemp)
entries=$(mktemp)
logs=$(mktemp -d)
trap 'rm -rf "$later" "$entries" "$logs"' EXIT
find "$BUILD_DIR/tests" -path '*/Unity/unity_*' -name '*.cxx' -print0 |
  xargs -0 -r awk 'FNR == 1 { n = 0 } /^#include "/ { if (n++ > 0) print substr($0, 11, length($0) - 11) }' |
  sort -u >"$later"
if [ ! -s "$later" ]; then
  echo "compile_alone: $BUILD_DIR compiles its test sources without units, each on its own"
  exit 0
fi

commands="$BUILD_DIR/alone-commands"
# shellcheck source=alone_tree.sh
source tools/checks/alone_tree.sh
configureAloneTree "$BUILD_DIR" "$commands" ON compile_alone || exit 1

# Each entry of compile_commands.json as three lines: folder, command,
# source. The command is JSON text: \\ and \" are undone (the backslashes
# that remain are the shell's, for the eval below).
sed -nE 's/^ *"(directory|command|file)": "(.*)",?$/\2/p' "$commands/compile_commands.json" |
  sed -e 's/\\\\/\x01/g' -e 's/\\"/"/g' -e 's/\x01/\\/g' |
  awk -v list="$later" '
    BEGIN { while ((getline source < list) > 0) wanted[source] = 1 }
    { field[NR % 3] = $0 }
    NR % 3 == 0 && (field[0] in wanted) { print field[1]; print field[2]; print field[0]; delete wanted[field[0]] }
    END { for (source in wanted) print "compile_alone: no compile command for " source > "/dev/stderr" }
  ' >"$entries"
count=$(($(wc -l <"$entries") / 3))
if [ "$count" -ne "$(wc -l <"$later")" ]; then
  echo "compile_alone: $commands lacks compile commands for sources the build compiles in units"
  exit 1
fi

# clang reads GoogleTest's header from a precompiled one, made once for each
# set of flags (the command without its include folders, object and source).
pchs="$logs/pch"
mkdir -p "$pchs"
compiler=$(sed -nE 's/^CMAKE_CXX_COMPILER:[A-Z]+=(.*)$/\1/p' "$BUILD_DIR/CMakeCache.txt")
if [[ "$(basename "$compiler")" == clang* ]]; then
  echo '#include <gtest/gtest.h>' >"$pchs/gtest.h"
  withPch=$(mktemp)
  trap 'rm -rf "$later" "$entries" "$logs" "$withPch"' EXIT
  while IFS= read -r folder && IFS= read -r command && IFS= read -r source; do
    if grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<gtest/gtest\.h>' "$source"; then
      flags=$(sed -E 's# -o [^ ]+ -c [^ ]+$##; s# -I[^ ]+##g' <<<"$command")
      pch="$pchs/$(md5sum <<<"$flags" | cut -c1-16).pch"
      if [ ! -f "$pch" ]; then
        (cd "$folder" && eval "$flags -x c++-header $pchs/gtest.h -o $pch") ||
          { echo "compile_alone: GoogleTest's header does not precompile with: $flags"; exit 1; }
      fi
      command="$command -include-pch $pch"
    fi
    printf '%s\n%s\n%s\n' "$folder" "$command" "$source"
  done <"$entries" >"$withPch"
  mv "$withPch" "$entries"
fi

# Each source's messages go to a log of its own, kept when it fails, so that
# parallel compiles do not interleave their output. The arguments of each
# compile: the logs' folder, then the entry's folder, command and source.
xargs -d '\n' -n 3 -P "$JOBS" sh -c '
  log="$1/$(echo "$4" | tr / _).log"
  if (cd "$2" && eval "$3 -fsyntax-only") >"$log" 2>&1; then rm -f "$log"; fi
' sh "$logs" <"$entries"
failed=$(find "$logs" -name '*.log' | wc -l)
echo "compile_alone: $count test source(s) compiled on their own, $(find "$pchs" -name '*.pch' | wc -l) precompiled header(s), $failed failed"
if [ "$failed" -ne 0 ]; then
  cat "$logs"/*.log | sed "s#$root/##g"
  exit 1
fi
