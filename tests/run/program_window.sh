#!/usr/bin/env bash
# The running program's own window on a display (run under xvfb-run): asked
# through QVL_WINDOW_PNG, the program writes a PNG of its window, which is
# left in the build folder; SIGTERM then ends it with exit code 0, and the
# pixel probes of ProgramWindowPicture check the picture. It runs in a
# temporary folder on free ports, so it passes beside the demonstration and
# beside another run of itself.
#   program_window.sh <build-dir>
set -uo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$(cd "$1" && pwd)"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/qvl-program-window.XXXXXX")"
DEMO="$WORK/demo"
PNG="$WORK/quorvelant_window.png"
PROGRAM=
trap 'kill $PROGRAM 2>/dev/null; rm -rf "$WORK"' EXIT

fail() { echo "FAIL: $*"; [ -f "$DEMO/Log.txt" ] && tail -30 "$DEMO/Log.txt"; exit 1; }
[ -n "${DISPLAY:-}" ] || fail "no display: run under xvfb-run"

read -r TCP_PORT TRAFFIC_PORT QNH_PORT < <("$BUILD/tools/traffic_client/qvl_traffic_client" --free-ports)
[ -n "${QNH_PORT:-}" ] || fail "no free ports"
bash "$ROOT/tools/demo.sh" --port "$TCP_PORT" --traffic-port "$TRAFFIC_PORT" --qnh-port "$QNH_PORT" \
  "$BUILD" "$DEMO" >/dev/null || fail "demo kit"
# shellcheck source=/dev/null
source "$DEMO/env.sh"
cd "$DEMO" || fail "no demo folder"
QVL_WINDOW_PNG="$PNG" "$BUILD/run/quorvelant" > program.out 2>&1 &
PROGRAM=$!
for _ in $(seq 60); do
  grep -q "Window picture" Log.txt 2>/dev/null && break
  kill -0 "$PROGRAM" 2>/dev/null || fail "the program ended early: $(cat program.out)"
  sleep 0.5
done
grep -q "Window picture written" Log.txt || fail "no picture written"
# A copy renamed into place: a run beside this one never sees half a file.
cp "$PNG" "$BUILD/quorvelant_window.png.$$" && mv -f "$BUILD/quorvelant_window.png.$$" "$BUILD/quorvelant_window.png"
kill -TERM "$PROGRAM"
code=
for _ in $(seq 30); do
  if ! kill -0 "$PROGRAM" 2>/dev/null; then wait "$PROGRAM"; code=$?; break; fi
  sleep 1
done
[ "$code" = 0 ] || fail "exit code ${code:-none} after SIGTERM"
QVL_PROGRAM_WINDOW_PNG="$PNG" "$BUILD/tests/qvl_run_tests" --gtest_filter='ProgramWindowPicture.*'
