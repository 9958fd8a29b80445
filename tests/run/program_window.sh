#!/usr/bin/env bash
# The running program's own window on a display (run under xvfb-run), once
# traffic shows: asked through QVL_WINDOW_PNG, the program writes a PNG of
# its window every couple of seconds; the first one written after the
# stand-in simulator's trace shows the first live aircraft is left in the
# build folder, SIGTERM then ends the program with exit code 0, and the pixel
# probes of ProgramWindowPicture check the picture (the status panel among
# them: the simulator and the traffic client connected, aircraft live). The
# stand-in traffic client and the kit's own download site run beside it. It
# runs in a temporary folder on free ports, so it passes beside the
# demonstration and beside another run of itself.
#   program_window.sh <build-dir>
set -uo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$(cd "$1" && pwd)"
CLIENT_TOOL="$BUILD/tools/traffic_client/qvl_traffic_client"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/qvl-program-window.XXXXXX")"
DEMO="$WORK/demo"
PNG="$WORK/quorvelant_window.png"
PROGRAM=
CLIENT=
SITE_PID=
trap 'kill $CLIENT $PROGRAM $SITE_PID 2>/dev/null; rm -rf "$WORK"' EXIT

fail() { echo "FAIL: $*"; [ -f "$DEMO/Log.txt" ] && tail -30 "$DEMO/Log.txt"; exit 1; }
[ -n "${DISPLAY:-}" ] || fail "no display: run under xvfb-run"

read -r TCP_PORT TRAFFIC_PORT QNH_PORT < <("$CLIENT_TOOL" --free-ports)
[ -n "${QNH_PORT:-}" ] || fail "no free ports"
bash "$ROOT/tools/demo.sh" --port "$TCP_PORT" --traffic-port "$TRAFFIC_PORT" --qnh-port "$QNH_PORT" \
  "$BUILD" "$DEMO" >/dev/null || fail "demo kit"
# shellcheck source=/dev/null
source "$DEMO/env.sh"
# shellcheck source=../../tools/http_site/start_site.sh
source "$ROOT/tools/http_site/start_site.sh"
startSite "$BUILD" "$DEMO"
cd "$DEMO" || fail "no demo folder"
QVL_WINDOW_PNG="$PNG" "$BUILD/run/quorvelant" > program.out 2>&1 &
PROGRAM=$!
"$CLIENT_TOOL" --port "$TCP_PORT" --traffic-port "$TRAFFIC_PORT" --qnh-port "$QNH_PORT" \
  --file traffic.txt --shift-time --shift-position --linger 600 > traffic_client.log 2>&1 &
CLIENT=$!

# A live aircraft that the simulator added: its tail has no "*" (a static
# aircraft's has).
live_added() { grep -Eq '^ *[0-9]+ object [0-9]+ added "[^"]*" "[^"]*[^*"]" by ' sim/trace.txt 2>/dev/null; }
for _ in $(seq 180); do
  live_added && break
  kill -0 "$PROGRAM" 2>/dev/null || fail "the program ended early: $(cat program.out)"
  sleep 0.5
done
live_added || fail "no live aircraft within 90 s"
grep -q "Window picture written" Log.txt || fail "no picture written"
# The status panel shows the aircraft at its next repaint: take a picture
# written a moment after. The program renames each one into place whole, so
# once this one is gone the next to appear is a new one.
sleep 1
rm -f "$PNG"
for _ in $(seq 40); do
  [ -f "$PNG" ] && break
  kill -0 "$PROGRAM" 2>/dev/null || fail "the program ended early: $(cat program.out)"
  sleep 0.25
done
[ -f "$PNG" ] || fail "no picture written after the first live aircraft"
# A copy renamed into place: a run beside this one never sees half a file.
cp "$PNG" "$BUILD/quorvelant_window.png.$$" && mv -f "$BUILD/quorvelant_window.png.$$" "$BUILD/quorvelant_window.png"
kill -TERM "$PROGRAM"
code=
for _ in $(seq 30); do
  if ! kill -0 "$PROGRAM" 2>/dev/null; then wait "$PROGRAM"; code=$?; break; fi
  sleep 1
done
[ "$code" = 0 ] || fail "exit code ${code:-none} after SIGTERM"
QVL_PROGRAM_WINDOW_PNG="$BUILD/quorvelant_window.png" "$BUILD/tests/qvl_run_tests" --gtest_filter='ProgramWindowPicture.*'
