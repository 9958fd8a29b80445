#!/usr/bin/env bash
# The program end to end: started from the demonstration folder with the
# stand-in simulator and the stand-in traffic client, it must create a live
# aircraft, move it and remove it (as the simulator's trace shows), fill the
# stands of the user's airport with static aircraft of the matched livery
# within two minutes, and park the live arrival on the free stand among them;
# then end with exit code 0 on SIGTERM, every thread joined. Log.txt
# must hold the start-up banner and no attention line ("==> ") other than
# those on program_e2e_allowlist.txt. It runs in a temporary folder on free
# ports, so it passes beside the demonstration (tools/run.sh) and beside
# another run of itself.
#   program_e2e.sh <build-dir>
set -uo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$(cd "$1" && pwd)"
CLIENT_TOOL="$BUILD/tools/traffic_client/qvl_traffic_client"
ALLOW="$HERE/program_e2e_allowlist.txt"
unset DISPLAY
WORK="$(mktemp -d "${TMPDIR:-/tmp}/qvl-program-e2e.XXXXXX")"
DEMO="$WORK/demo"
PROGRAM=
CLIENT=
KEEP=
# A failed run keeps its folder for a look at Log.txt and the trace.
trap 'kill $CLIENT $PROGRAM 2>/dev/null; [ -n "$KEEP" ] || rm -rf "$WORK"' EXIT

fail() {
  echo "FAIL: $*"
  [ -f "$DEMO/Log.txt" ] && tail -40 "$DEMO/Log.txt"
  KEEP=1
  echo "kept: $WORK"
  exit 1
}

read -r TCP_PORT TRAFFIC_PORT QNH_PORT < <("$CLIENT_TOOL" --free-ports)
[ -n "${QNH_PORT:-}" ] || fail "no free ports"
echo "ports: TCP $TCP_PORT, traffic $TRAFFIC_PORT, QNH $QNH_PORT"
bash "$ROOT/tools/demo.sh" --port "$TCP_PORT" --traffic-port "$TRAFFIC_PORT" --qnh-port "$QNH_PORT" \
  "$BUILD" "$DEMO" || fail "demo kit"
# shellcheck source=/dev/null
source "$DEMO/env.sh"
cd "$DEMO" || fail "no demo folder"
"$BUILD/run/quorvelant" > program.out 2>&1 &
PROGRAM=$!
"$CLIENT_TOOL" --port "$TCP_PORT" --traffic-port "$TRAFFIC_PORT" --qnh-port "$QNH_PORT" \
  --file traffic.txt --shift-time --shift-position --linger 600 > traffic_client.log 2>&1 &
CLIENT=$!

seen() { grep -q "$1" sim/trace.txt 2>/dev/null; }
# Static aircraft carry a callsign ending in "*" and the demonstration's livery.
STATIC='AICreateNonATCAircraft "Airbus A320 Austrian OE-LB" "AUA[0-9]*\*"'
statics() { grep -c "$STATIC" sim/trace.txt 2>/dev/null; }
parked() { grep -q "A12     : AUA789   arrived at stand" Log.txt 2>/dev/null; }
for second in $(seq 240); do
  if [ "$second" -le 120 ] && [ "$(statics)" -lt 8 ]; then :
  elif seen "AICreateNonATCAircraft" && seen "SetDataOnSimObject 402 object" && seen "AIRemoveObject" && parked; then break
  fi
  kill -0 "$PROGRAM" 2>/dev/null || fail "the program ended early: $(cat program.out)"
  sleep 1
  [ "$second" = 120 ] && { [ "$(statics)" -ge 8 ] || fail "$(statics) static aircraft within two minutes, 8 wanted"; }
done
seen "AICreateNonATCAircraft" || fail "no live aircraft created"
seen "SetDataOnSimObject 402 object" || fail "no live aircraft moved"
seen "AIRemoveObject" || fail "no live aircraft removed"
[ "$(statics)" -ge 8 ] || fail "$(statics) static aircraft, 8 wanted"
parked || fail "the arrival did not park on the free stand"

kill -TERM "$PROGRAM"
code=
for _ in $(seq 30); do
  if ! kill -0 "$PROGRAM" 2>/dev/null; then wait "$PROGRAM"; code=$?; break; fi
  sleep 1
done
[ -n "$code" ] || fail "the program did not end within 30 s of SIGTERM"
[ "$code" = 0 ] || fail "exit code $code: $(cat program.out)"
grep -q "Exiting: USER CLOSED SIM" Log.txt || fail "no closing down in Log.txt"

grep -Eq "^.* \(utc\) Quorvelant version [0-9.]+ for " Log.txt || fail "no start-up banner"
patterns=$(grep -v '^#' "$ALLOW" | grep -v '^[[:space:]]*$' | sed 's/[[:space:]]*#.*$//')
unexpected=$(grep '^==> ' Log.txt | grep -Ev -f <(echo "$patterns") || true)
[ -z "$unexpected" ] || fail "attention lines not on the allow-list:
$unexpected"
echo "ok: created, moved and removed; $(statics) static aircraft; the arrival parked; exit code 0 after SIGTERM"
