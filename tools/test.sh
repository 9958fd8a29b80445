#!/usr/bin/env bash
# Sets up, builds and runs every test suite.
#   tools/test.sh [build-dir] [extra cmake args...]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
shift || true
tools/setup.sh "$BUILD_DIR" "$@"
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "$(nproc)" --timeout 300
