#!/usr/bin/env bash
# Sets up, builds and runs the program's main job: Quorvelant from the
# demonstration folder (tools/demo.sh), with the stand-in simulator and the
# stand-in traffic client replaying traffic around the user. Ctrl+C (or
# closing the window) ends it. Only what the demonstration runs is built
# (the qvl_demo target); tools/test.sh builds the rest.
#   tools/run.sh [--no-traffic-client]
# --no-traffic-client starts no stand-in traffic client, so that a real one
# on this machine connects to the program instead (see README.md).
set -euo pipefail
cd "$(dirname "$0")/.."

TRAFFIC_CLIENT=yes
for arg in "$@"; do
  case "$arg" in
    --no-traffic-client) TRAFFIC_CLIENT=no ;;
    *)
      echo "usage: tools/run.sh [--no-traffic-client]" >&2
      exit 2
      ;;
  esac
done

# A tree configured here first carries line tables only as debug information
# (-g1, as CI's sanitizer trees do): full -g costs nearly half again as much
# to compile, and a backtrace still names file and line. A tree that exists
# keeps its own flags, so nothing is rebuilt for them.
SETUP_ARGS=()
[ -f build/CMakeCache.txt ] || SETUP_ARGS+=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
tools/setup.sh --target qvl_demo build "${SETUP_ARGS[@]}"
bash tools/demo.sh build
# shellcheck source=/dev/null
source build/demo/env.sh
# The kit's own download site, so the version check finds everything up to
# date (site.log lists what the program asked of it).
# shellcheck source=http_site/start_site.sh
source tools/http_site/start_site.sh
startSite build build/demo
CLIENT=
trap 'kill $CLIENT $SITE_PID 2>/dev/null || true' EXIT
cd build/demo
if [ "$TRAFFIC_CLIENT" = yes ]; then
  ../tools/traffic_client/qvl_traffic_client --file traffic.txt --shift-time --shift-position \
    --loops 1000 --linger 86400 > traffic_client.log 2>&1 &
  CLIENT=$!
else
  echo "No stand-in traffic client: start the traffic client on this machine; it connects to" \
    "127.0.0.1:10747 and sends its traffic to UDP 49005 and its QNH to UDP 49004."
fi
echo "Quorvelant runs in build/demo (Log.txt; the stand-in simulator's trace: sim/trace.txt)."
echo "End it with Ctrl+C."
code=0
../run/quorvelant || code=$?
echo "Quorvelant ended with exit code $code."
exit "$code"
