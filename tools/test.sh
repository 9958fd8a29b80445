#!/usr/bin/env bash
# Sets up, builds and runs every test suite.
#   tools/test.sh [--no-build] [--target T]... [--ctest ARG]... [build-dir] [extra cmake args...]
# CI builds each configuration once and runs its tests in parts, hence:
#   --no-build    runs the tests of the build tree as it stands
#   --target T    builds only target T (e.g. qvl_threaded_tests); pick its
#                 tests with --ctest, the others are not built
#   --ctest ARG   one more argument for ctest, e.g. --ctest -LE --ctest e2e
# ctest runs $QVL_TEST_JOBS tests at once when that is set, else one per core.
set -euo pipefail
cd "$(dirname "$0")/.."
build=1
SETUP_ARGS=()
CTEST_ARGS=()
while [[ "${1:-}" == --* ]]; do
  case "$1" in
    --no-build) build=0; shift ;;
    --target | --ctest)
      [ $# -ge 2 ] || { echo "test: $1 wants a value" >&2; exit 2; }
      if [ "$1" = --target ]; then SETUP_ARGS+=(--target "$2"); else CTEST_ARGS+=("$2"); fi
      shift 2 ;;
    *) echo "test: unknown option $1" >&2; exit 2 ;;
  esac
done
BUILD_DIR="${1:-build}"
shift || true
if [ "$build" = 1 ]; then
  tools/setup.sh "${SETUP_ARGS[@]}" "$BUILD_DIR" "$@"
fi
status=0
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "${QVL_TEST_JOBS:-$(nproc)}" --timeout 300 \
  "${CTEST_ARGS[@]}" || status=$?
# The window tests that need a display skip themselves in their suites when
# there is none. With xvfb-run installed (tools/setup.sh installs it, and CI
# has it) the tests named *_on_xvfb run each of them again on a virtual
# display of their own; without it they are not run at all.
if [ -z "${DISPLAY:-}" ]; then
  if command -v xvfb-run >/dev/null 2>&1; then
    echo "test: no display: the window tests skipped above are run on Xvfb by the tests named *_on_xvfb"
  else
    echo "test: no display and no xvfb-run: the window tests skipped above did not run" \
      "(install xvfb or set DISPLAY)"
  fi
fi
exit "$status"
