#!/usr/bin/env bash
# Writes the demonstration kit into <build>/demo (default build/demo): a
# staged program folder that the program runs from, with the stand-in
# simulator and the stand-in traffic client on Linux.
#   tools/demo.sh [--port N] [--traffic-port N] [--qnh-port N] [build-dir] [demo-folder]
# The demonstration keeps the program's default ports (TCP 10747, UDP 49005
# and 49004). A test asks for others (free ones, from
# `qvl_traffic_client --free-ports`), so that it runs beside the
# demonstration or another test: --port goes into parameters.xml as
# PORT_NUMBER, the UDP ports into env.sh as QVL_TRAFFIC_PORT and QVL_QNH_PORT.
# The folder holds:
#   docs/, input/*.enc     the program folder (the data files staged by the build)
#   roaming/, local/,      the roaming and local application-data folders and
#   runtime/               the runtime folder of the instance lock, so a run
#                          never touches the home folder or another instance
#   roaming/Quorvelant/parameters.xml   the simulator choice of the scenario,
#                          an install path ending in Community, both scans off
#   roaming/InsideSystems/RealTraffic.jar   the marker that makes the traffic
#                          client local
#   output/LiveriesScanned.xml   liveries the scenario lists as installed
#   airports/my_thirdparty/LOWW.xml   the stand file of the user's airport:
#                          the user's stand, eleven stands with flights learned
#                          there for every day and half hour, and one free
#                          stand that the live arrival parks on
#   sim/scenario.txt       the stand-in simulator's world; sim/trace.txt its trace
#   traffic.txt            traffic replayed by the stand-in traffic client,
#                          moved to the user's time and position
#   env.sh                 the environment of a run (sourced by tools/run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

TCP_PORT=
TRAFFIC_PORT=
QNH_PORT=
POSITIONAL=()
while [ $# -gt 0 ]; do
  case "$1" in
    --port | --traffic-port | --qnh-port)
      [ $# -ge 2 ] || { echo "demo: $1 wants a port" >&2; exit 2; }
      if ! [[ "$2" =~ ^[0-9]{1,5}$ ]] || [ "$2" -lt 1 ] || [ "$2" -gt 65535 ]; then
        echo "demo: $1: no port '$2'" >&2
        exit 2
      fi
      case "$1" in
        --port) TCP_PORT=$2 ;;
        --traffic-port) TRAFFIC_PORT=$2 ;;
        --qnh-port) QNH_PORT=$2 ;;
      esac
      shift 2
      ;;
    *)
      POSITIONAL+=("$1")
      shift
      ;;
  esac
done
set -- ${POSITIONAL[@]+"${POSITIONAL[@]}"}
BUILD_DIR="${1:-build}"
DEMO="${2:-$BUILD_DIR/demo}"
mkdir -p "$DEMO"
DEMO="$(cd "$DEMO" && pwd)"
STAGE="$BUILD_DIR/stage/input"

for f in dbase.enc airports.enc AIG-regcodes.enc; do
  [ -f "$STAGE/$f" ] || { echo "demo: $STAGE/$f is missing: build first" >&2; exit 1; }
done

rm -rf "$DEMO"
mkdir -p "$DEMO"/{docs,input,output,sim,runtime,local,roaming/Quorvelant,roaming/InsideSystems,sim/packages/Community}
mkdir -p "$DEMO/airports/my_thirdparty"
chmod 700 "$DEMO/runtime"
cp "$STAGE"/*.enc "$DEMO/input/"
: > "$DEMO/roaming/InsideSystems/RealTraffic.jar"

# The user sits at Vienna, on the ground, parked on stand R0. The stands
# stand in a row 150 m north of it, 80 m apart, noses south; the arrival
# lands on a runway 250 m south of the user and taxis north to the last one.
USER_LAT=48.1103
USER_LON=16.5697
STAND_ROW_M=150
STAND_STEP_M=80
STAND_COUNT=12
RUNWAY_M=-250
LIVERY="Airbus A320 Austrian OE-LB"

PORT_LINE=
if [ -n "$TCP_PORT" ]; then PORT_LINE="    <parameter name=\"PORT_NUMBER\" value=\"$TCP_PORT\" />"$'\n'; fi
cat > "$DEMO/roaming/Quorvelant/parameters.xml" <<XML
<?xml version="1.0"?>
<root>
  <parameters>
    <parameter name="PROGRAM_VERSION" value="12.2.0" />
    <parameter name="SIM_CHOICE" value="MSFS 2020" />
    <parameter name="MSFS_INSTALL_PATH" value="$DEMO/sim/packages/Community" />
    <parameter name="SCAN_LIVERIES" value="false" />
    <parameter name="SCAN_AIRPORTS" value="false" />
    <parameter name="AUTO_RANGE" value="false" />
    <parameter name="CUSTOM_PARKING_PERCENTAGE" value="70" />
${PORT_LINE}  </parameters>
</root>
XML

cat > "$DEMO/output/LiveriesScanned.xml" <<XML
<?xml version="1.0"?>
<root>
  <liveries>
    <l a="AUA" m="A320" t="$LIVERY" />
  </liveries>
</root>
XML

cat > "$DEMO/sim/scenario.txt" <<TXT
# The stand-in simulator for the demonstration: the 2020 simulator running,
# the user parked at Vienna, the demonstration's livery installed.
simulator = KittyHawk
running = yes
frame_rate = 30
ground_elevation = 0
user_position = $USER_LAT $USER_LON
user_altitude = 0
user_on_ground = yes
installed = $LIVERY
TXT

# The stand file of the user's airport. Stands 1 to 11 hold seven learned
# flights each, one per weekday, at the stand all day: whatever the time of
# the run, static parking finds flights for them. R0, the user's stand, has
# flights too but stays free for the user; stand 12 has none and stays free
# for the arrival.
awk -v lat="$USER_LAT" -v lon="$USER_LON" -v row="$STAND_ROW_M" -v step="$STAND_STEP_M" -v n="$STAND_COUNT" '
function standLine(id, x, y) {
  printf "    <parkpos id=\"%s\" latitude=\"%.7f\" longitude=\"%.7f\" heading=\"180\" radius=\"25\" type=\"0\">\n", \
         id, lat + y / 111120, lon + x / (111120 * cos(lat * 3.14159265 / 180))
}
function flights(k,   d) {
  for (d = 1; d <= 7; d++)
    printf "      <opt airl=\"AUA\" type=\"A320\" reg=\"OE-L%c%c\" cs=\"AUA%d%d:AUA%d%d\" day=\"%d\" hh=\"0:47\" />\n", \
           64 + k, 64 + d, k, d, k + 20, d, d
}
BEGIN {
  print "<?xml version=\"1.0\"?>"
  print "<root>"
  print "  <meta>"
  print "    <info name=\"author\" value=\"Quorvelant\" />"
  print "    <info name=\"version\" value=\"12.2.0\" />"
  print "    <info name=\"copyright\" value=\"Ostrevane\" />"
  print "    <info name=\"sim\" value=\"1\" />"
  print "  </meta>"
  print "  <parameters>"
  print "    <parameter name=\"altitude\" value=\"0\" />"
  print "    <parameter name=\"publisher\" value=\"Quorvelant demonstration\" />"
  print "  </parameters>"
  print "  <parkpositions>"
  standLine("R0", 0, 0); flights(18); print "    </parkpos>"
  for (k = 1; k <= n; k++) {
    standLine(sprintf("A%d", k), k * step, row)
    if (k < n) flights(k)
    print "    </parkpos>"
  }
  print "  </parkpositions>"
  print "</root>"
}' > "$DEMO/airports/my_thirdparty/LOWW.xml"

# Two Austrian A320s pass the user at 3000 and 5000 ft for 20 seconds, one
# position every 2 seconds; then their data stops and they are removed (a
# replay in loops brings them back).
awk -v lat="$USER_LAT" -v lon="$USER_LON" 'BEGIN {
  print "# Demonstration traffic: two flights passing the user and an arrival."
  print "# C <lat> <lon> | T <seconds> <traffic line> | Q <seconds> <QNH json>"
  printf "C %.4f %.4f\n", lat, lon
  print "Q 0 {\"QNH\": 1013}"
  step = 200 * 2 / 3600 / 60 / cos(lat * 3.14159265 / 180)
  for (i = 0; i <= 10; i++) {
    t = 2 * i
    printf "T %d QVL,4490501,%.5f,%.5f,3000,0,1000,90.0,200,AUA123,A320,OE-LBM,LHR,VIE,%.2f,,,adsb_icao,,,210,,,0.0,,90.0,,,A3,\n", \
           t, lat + 0.03, lon - 0.08 + i * step, 1767225600 + t
    printf "T %d QVL,4490502,%.5f,%.5f,5000,0,1000,270.0,200,AUA456,A320,OE-LBN,VIE,CDG,%.2f,,,adsb_icao,,,210,,,0.0,,270.0,,,A3,\n", \
           t, lat - 0.03, lon + 0.08 - i * step, 1767225600 + t
  }
}' > "$DEMO/traffic.txt"

# An Austrian A320 lands on the runway south of the user, taxis north to the
# free stand A12 and parks there among the static aircraft; its data stops
# there. Each leg: seconds, ground speed (kt), track, vertical speed (fpm).
awk -v lat="$USER_LAT" -v lon="$USER_LON" -v row="$STAND_ROW_M" -v runway="$RUNWAY_M" \
    -v standX="$((STAND_COUNT * STAND_STEP_M))" '
BEGIN {
  kt = 1852 / 3600
  nLegs = split("30 140 90 -800|16 100 90 0|12 40 90 0|36 20 0 0|20 3 0 0|16 0 0 0", legs, "|")
  # Back from the stand along the legs to where the approach starts.
  x = standX; y = row + 1
  for (i = nLegs; i >= 1; i--) {
    split(legs[i], l, " ")
    x -= l[2] * kt * l[1] * sin(l[3] * 3.14159265 / 180)
    y -= l[2] * kt * l[1] * cos(l[3] * 3.14159265 / 180)
  }
  alt = 400; t = 0
  for (i = 1; i <= nLegs; i++) {
    split(legs[i], l, " ")
    for (s = 0; s < l[1]; s += 2) {
      printf "T %d QVL,4490503,%.6f,%.6f,%.0f,%.0f,1000,%.1f,%.0f,AUA789,A320,OE-LBP,FRA,VIE,%.2f,,,adsb_icao,,,%.0f,,,-1.0,,%.1f,,,A3,\n", \
             t, lat + y / 111120, lon + x / (111120 * cos(lat * 3.14159265 / 180)), alt, (alt > 0 ? l[4] : 0), \
             l[3], l[2], 1767225600 + t, l[2], (l[3] == 0 ? 360 : l[3])
      x += l[2] * kt * 2 * sin(l[3] * 3.14159265 / 180)
      y += l[2] * kt * 2 * cos(l[3] * 3.14159265 / 180)
      alt += l[4] * 2 / 60; if (alt < 0) alt = 0
      t += 2
    }
  }
  # One replay lasts five minutes: the parked arrival has gone before it comes again.
  print "Q 300 {\"QNH\": 1013}"
}' >> "$DEMO/traffic.txt"
# The client sends in file order: the timed lines of all flights go by time.
{
  grep -v '^[TQ] ' "$DEMO/traffic.txt"
  grep '^[TQ] ' "$DEMO/traffic.txt" | sort -s -n -k2,2
} > "$DEMO/traffic.sorted" && mv "$DEMO/traffic.sorted" "$DEMO/traffic.txt"

cat > "$DEMO/env.sh" <<SH
# The environment of a demonstration run; sourced, not run.
export QVL_ROAMING_DIR="$DEMO/roaming"
export QVL_LOCAL_DIR="$DEMO/local"
export XDG_RUNTIME_DIR="$DEMO/runtime"
export QVL_SIM_SCENARIO="$DEMO/sim/scenario.txt"
export QVL_SIM_TRACE="$DEMO/sim/trace.txt"
SH
if [ -n "$TRAFFIC_PORT" ]; then echo "export QVL_TRAFFIC_PORT=$TRAFFIC_PORT" >> "$DEMO/env.sh"; fi
if [ -n "$QNH_PORT" ]; then echo "export QVL_QNH_PORT=$QNH_PORT" >> "$DEMO/env.sh"; fi
echo "demo: $DEMO"
