#!/usr/bin/env bash
# Runs clang-tidy 14 with the committed .clang-tidy over the product sources
# (every *.cpp of the product folders and tools/), with the compile commands
# of a build tree, and fails on any finding.
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
if [ ! -f "$BUILD_DIR/compile_commands.json" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
fi
build=$(cd "$BUILD_DIR" && pwd)

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
