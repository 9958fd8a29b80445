#!/usr/bin/env bash
# The program end to end: started from the demonstration folder with the
# stand-in simulator and the stand-in traffic client, its first start must
# scan the kit's generated Community folder and write LiveriesScanned.xml,
# and scan the kit's airport packages: the stand files of the add-on
# airport (airports/my_thirdparty/LZIB.xml) and of the user's airport
# (airports/my_simaddon/LOWW.xml), the scan log, tblo/tblo.zip, and
# SCAN_AIRPORTS switched off; it must create a live aircraft with a livery of that folder, move it and
# remove it (as the simulator's trace shows), fill the stands of the user's
# airport with static aircraft of the matched livery within two minutes, and
# fly the live arrival in from its approach (created in the air, every height
# in the trace above 0 until it touches down) and park it on the free stand
# among them; then end with exit code
# 0 on SIGTERM, every thread joined. Log.txt must hold the start-up banner and
# no attention line ("==> ") other than those on program_e2e_allowlist.txt.
# The kit's own download site (versions.json naming what the kit staged)
# answers the version check: both starts find the program, the data files
# and the scan rules up to date and leave the staged data files as they were.
# A second start of the same kit reads what the first scans wrote and scans
# nothing. It runs in a temporary folder on free ports, so it passes beside
# the demonstration (tools/run.sh) and beside another run of itself.
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
SITE_PID=
KEEP=
# A failed run keeps its folder for a look at Log.txt and the trace.
trap 'kill $CLIENT $PROGRAM $SITE_PID 2>/dev/null; [ -n "$KEEP" ] || rm -rf "$WORK"' EXIT

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
# shellcheck source=../../tools/http_site/start_site.sh
source "$ROOT/tools/http_site/start_site.sh"
startSite "$BUILD" "$DEMO"
[ -n "$SITE_PID" ] || fail "the kit's download site did not start"
cd "$DEMO" || fail "no demo folder"
# The staged data files, which an up-to-date check must leave alone.
staged_sums() { cksum input/*.enc; }
STAGED_SUMS=$(staged_sums)
"$BUILD/run/quorvelant" > program.out 2>&1 &
PROGRAM=$!
"$CLIENT_TOOL" --port "$TCP_PORT" --traffic-port "$TRAFFIC_PORT" --qnh-port "$QNH_PORT" \
  --file traffic.txt --shift-time --shift-position --linger 600 > traffic_client.log 2>&1 &
CLIENT=$!

# The generated Community folder and the titles a scan of it gives.
COMMUNITY="$DEMO/sim/packages/Community"
mapfile -t TITLES < <(cut -f5 "$DEMO/sim/livery_tree.expected/LiveriesScanned.txt")
((${#TITLES[@]})) || fail "the generated Community folder gives no livery"

seen() { grep -q "$1" sim/trace.txt 2>/dev/null; }
# Static aircraft carry a callsign ending in "*" and the demonstration's livery.
STATIC='AICreateNonATCAircraft "Airbus A320 Austrian OE-LB" "AUA[0-9]*\*"'
statics() { grep -c "$STATIC" sim/trace.txt 2>/dev/null; }
parked() { grep -q "A12     : AUA789   arrived at stand" Log.txt 2>/dev/null; }
# The arrival flies a 90-second approach 30 seconds behind the feed, then
# rolls out and taxis: it parks some four and a half minutes after the start.
for second in $(seq 360); do
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

# The arrival was created in the air and flew down: every height the trace
# gives it before its touchdown is above 0, the first one well up on the
# approach.
ARRIVAL=$(sed -n 's/^ *[0-9]* object \([0-9]*\) added "[^"]*" "AUA789" by .*/\1/p' sim/trace.txt | head -1)
[ -n "$ARRIVAL" ] || fail "the arrival AUA789 was never created"
read -r before_touchdown lowest first touched < <(awk -v id="$ARRIVAL" '
  $2 == "object" && $3 == id && $4 == "on" && $5 == "ground" { touched = 1; exit }
  $2 == "object" && $3 == id && $4 == "data" && $5 == "402" && $10 == "alt" {
    if (n == 0) first = $11
    if (n == 0 || $11 < lowest) lowest = $11
    n++
  }
  END { print n + 0, lowest + 0, first + 0, touched + 0 }' sim/trace.txt)
[ "$touched" = 1 ] || fail "the arrival never touched down (object $ARRIVAL)"
[ "$before_touchdown" -gt 0 ] || fail "the trace gives the arrival no height before its touchdown"
awk -v h="$first" 'BEGIN { exit !(h >= 500) }' || fail "the arrival was created at $first ft, not on its approach"
awk -v h="$lowest" 'BEGIN { exit !(h > 0) }' || fail "the arrival was at $lowest ft before its touchdown"

# The first start found no LiveriesScanned.xml, so it scanned the generated
# folder, wrote the file, and the live aircraft took their liveries from it.
logged() { grep -qF -- "$1" Log.txt; }
logged "liveries scan automatic starts" || fail "the first start did not scan the liveries"
logged "Automatic AIG scan found folder: '$COMMUNITY/" || fail "the scan found no AI package in $COMMUNITY"
grep -Eq "^[0-9]+ liveries? found in $COMMUNITY/" Log.txt || fail "the scan counted no liveries in $COMMUNITY"
[ -f output/LiveriesScanned.xml ] || fail "the scan wrote no output/LiveriesScanned.xml"
live_from_tree=
for title in "${TITLES[@]}"; do
  grep -qF "t=\"$title\"" output/LiveriesScanned.xml || fail "output/LiveriesScanned.xml lacks '$title'"
  # A live aircraft's tail has no "*" (the static ones' have).
  grep -F "AICreateNonATCAircraft \"$title\" \"" sim/trace.txt | grep -qv '\*" ' && live_from_tree=yes
done
[ -n "$live_from_tree" ] || fail "no live aircraft created with a livery of the generated folder"

# The first start's airports scan emptied the airport folders and generated
# the stand files of the kit's airport packages, the user's one among them,
# with the stands the expectation names; the park airport read that stand
# file and the learned file beside it.
EXPECTED_AIRPORTS="$DEMO/sim/airport_tree.expected"
logged "airports scan automatic  starts" || fail "the first start did not scan the airports"
logged "airports scan ends" || fail "the airports scan did not end"
[ -f output/info/AirportsScanLog.txt ] || fail "the airports scan wrote no output/info/AirportsScanLog.txt"
[ -f airports/my_thirdparty/LZIB.xml ] || fail "the airports scan generated no airports/my_thirdparty/LZIB.xml"
[ -s "$EXPECTED_AIRPORTS/stand_files.txt" ] || fail "the kit holds no expected stand files"
while IFS=$'\t' read -r file count _helipads ids; do
  [ -f "$file" ] || fail "the airports scan generated no $file"
  written=$(grep -c '<parkpos ' "$file")
  [ "$written" = "$count" ] || fail "$file holds $written stands, $count wanted"
  for id in ${ids//,/ }; do
    grep -qF "<parkpos id=\"$id\"" "$file" || fail "$file lacks stand $id"
  done
  grep -qF "Generated $(basename "$file"): $count position" output/info/AirportsScanLog.txt ||
    fail "the scan log does not tell that $(basename "$file") was generated"
done < "$EXPECTED_AIRPORTS/stand_files.txt"
[ -f tblo/tblo.zip ] || fail "the airports scan packed no tblo/tblo.zip"
grep -aqF "LZIB.xml" tblo/tblo.zip || fail "tblo/tblo.zip does not hold LZIB.xml"
grep -qF '<parameter name="SCAN_AIRPORTS" value="false"' roaming/Quorvelant/parameters.xml ||
  fail "the airports scan did not switch SCAN_AIRPORTS off in parameters.xml"
logged "Airport file read from 'airports/my_simaddon/LOWW.xml'" ||
  fail "the park airport did not read the generated airports/my_simaddon/LOWW.xml"
logged "Read from learned airport file: 'airports/learned/my_simaddon/LOWW.xml'" ||
  fail "the park airport did not read its learned file"

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

# The version check read the kit's versions.json and found all it names up
# to date; the liveries' scan rules count as new while the kit has no
# LiveriesScanned.xml yet, which switches the first start's scan on.
grep -q "^GET /versions.json 200$" site.log || fail "the version check did not read the kit's versions.json"
up_to_date() {
  local key
  for key in "$@"; do logged "$key version up-to-date" || fail "Log.txt does not find $key up to date"; done
}
up_to_date msfs_app airports aig addons dbase
logged "liveries updated to 1.0.0" || fail "the first start's version check did not ask for the liveries scan"
[ "$(staged_sums)" = "$STAGED_SUMS" ] || fail "the first start replaced a staged data file"
[ ! -e new_version ] || fail "the first start fetched a new version"

# A second start of the same kit reads the scan's result and scans nothing.
static_count=$(statics)
scanned_sum=$(cksum < output/LiveriesScanned.xml)
# Put the first start's log aside, so that only the second one's is read.
mv Log.txt first_start_Log.txt
"$BUILD/run/quorvelant" > program2.out 2>&1 &
PROGRAM=$!
for _ in $(seq 60); do
  grep -q "Start-up to ready" Log.txt 2>/dev/null && break
  kill -0 "$PROGRAM" 2>/dev/null || fail "the second start ended early: $(cat program2.out)"
  sleep 1
done
logged "Start-up to ready" || fail "the second start did not get ready within a minute"
kill -TERM "$PROGRAM"
code=
for _ in $(seq 30); do
  if ! kill -0 "$PROGRAM" 2>/dev/null; then wait "$PROGRAM"; code=$?; break; fi
  sleep 1
done
[ -n "$code" ] || fail "the second start did not end within 30 s of SIGTERM"
[ "$code" = 0 ] || fail "the second start's exit code $code: $(cat program2.out)"
! logged "liveries scan automatic starts" || fail "the second start scanned again"
! logged "airports scan automatic" || fail "the second start scanned the airports again"
[ -f airports/my_thirdparty/LZIB.xml ] || fail "the second start lost airports/my_thirdparty/LZIB.xml"
grep -Eq "^ *[0-9]+ liveries read from .*LiveriesScanned\.xml" Log.txt || fail "the second start did not read LiveriesScanned.xml"
[ "$(cksum < output/LiveriesScanned.xml)" = "$scanned_sum" ] || fail "the second start changed LiveriesScanned.xml"
up_to_date msfs_app airports aig liveries addons dbase
[ "$(staged_sums)" = "$STAGED_SUMS" ] || fail "the second start replaced a staged data file"

echo "ok: first start scanned the generated Community folder and the airport packages; created, moved and removed with its livery;" \
  "$static_count static aircraft; the arrival flew its approach from $first ft, touched down and parked; exit code 0 after SIGTERM; the second start reused the scan;" \
  "both found everything up to date at the kit's download site"
