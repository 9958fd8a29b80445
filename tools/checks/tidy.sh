#!/usr/bin/env bash
# Runs clang-tidy 14 with the committed .clang-tidy over the product sources
# (every *.cpp of the product folders and tools/), each on its own with the
# compile commands of a build tree, and fails on any finding.
#   tools/checks/tidy.sh [build-dir] [--changed]
# --changed checks only the sources changed by the last commit, and those
# whose header it changed. Compiler warnings are left to the compiler: the
# build's -Werror is lifted here, so clang's own idea of -Wconversion does not
# count as a finding.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
CLANG_TIDY="${CLANG_TIDY:-clang-tidy-14}"
JOBS="${JOBS:-$(nproc)}"
BUILD_DIR=build
changed=0
for arg in "$@"; do
  case "$arg" in
    --changed) changed=1 ;;
    *) BUILD_DIR=$arg ;;
  esac
done
command -v "$CLANG_TIDY" >/dev/null || { echo "tidy: $CLANG_TIDY is missing (tools/setup.sh installs it)"; exit 1; }

# The build compiles its sources several to a unit (cmake/unity.cmake), and
# its compile commands name the units. Each source is checked on its own, with
# the commands of a tree configured without units beside the build, with the
# build's compiler and flags (configured only, never built: seconds).
commands="$BUILD_DIR/tidy-commands"
# shellcheck source=alone_tree.sh
source tools/checks/alone_tree.sh
configureAloneTree "$BUILD_DIR" "$commands" OFF tidy || exit 1
build=$(cd "$commands" && pwd)

product='platform|core|refdata|liveries|airports|feed|simlink|engine|run|tools'
sources=$(git ls-files -- '*.cpp' | grep -E "^($product)/" || true)
if [ "$changed" -eq 1 ]; then
  touched=$(git diff --name-only HEAD~1 HEAD 2>/dev/null || git ls-files)
  stems=$(sed -nE 's/\.(h|cpp)$//p' <<<"$touched" | sort -u)
  sources=$(grep -Fxf <(sed 's/$/.cpp/' <<<"$stems") <<<"$sources" || true)
fi
if [ -z "$sources" ]; then
  echo "tidy: no product source to check"
  exit 0
fi

# A source missing from the compile commands would be checked with flags
# guessed from its neighbours': that is a fault of the build, not a pass.
listed=$(sed -nE 's/^ *"file": "(.*)",?$/\1/p' "$build/compile_commands.json" | sed "s#^$root/##" | sort -u)
missing=$(comm -23 <(sort -u <<<"$sources") <(printf '%s\n' "$listed"))
if [ -n "$missing" ]; then
  echo "tidy: no compile command of their own for:"
  sed 's/^/  /' <<<"$missing"
  exit 1
fi

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# One log per source, so that parallel runs do not interleave their output.
tr '\n' '\0' <<<"$sources" |
  xargs -0 -P "$JOBS" -I{} sh -c '"$0" -p "$1" --quiet --extra-arg=-Wno-error "$2" >"$3/$(echo "$2" | tr / _).log" 2>/dev/null || true' \
    "$CLANG_TIDY" "$build" {} "$logs"

# Headers are reached through the build tree's include folders: name them by
# their place in the source tree.
report=$(cat "$logs"/*.log | sed -E "s#$build/include/[^/]+/##; s#$root/##")
findings=$(grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' <<<"$report" | sort -u || true)
count=$(grep -c . <<<"$findings" || true)
echo "tidy: $(wc -l <<<"$sources") source(s) checked, $count finding(s)"
if [ "$count" -ne 0 ]; then
  printf '%s\n' "$report"
  echo "tidy: findings, one line each:"
  sed 's/^/  /' <<<"$findings"
  exit 1
fi
