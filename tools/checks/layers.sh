#!/usr/bin/env bash
# Fails when a product folder includes a header of a layer above it, of a
# folder beside it, or of a program or test folder. Dependencies point down,
# lowest first:
#   platform -> core -> refdata -> feed, simlink, liveries, airports -> engine -> run
# platform's sys/, net/, ui/ and sim/ are one layer; in the middle level only
# liveries may use airports. Inside engine the folders point one way too,
# lowest first:
#   base -> stands -> conflicts -> motion -> parking -> engine's own files
# base/ holds the context every part takes (Engine, its state, the aircraft
# records and the steps every part uses on them); the files of engine/
# itself are the entry points and rank above every subfolder. A subfolder
# that engine/ grows must be ranked here before it is used. The build keeps
# the layers through the headers each library publishes; this check names
# the offending line, and also covers folders that are not built yet.
set -euo pipefail
cd "$(dirname "$0")/../.."

product='platform|core|refdata|feed|simlink|liveries|airports|engine|run'
# The rules, over lines "file:line:#include ..." on the standard input: the
# offending lines go to the standard output, and the exit status is 1 when
# there is one.
rules='
  BEGIN {
    level["platform"] = 0; level["core"] = 1; level["refdata"] = 2
    level["feed"] = 3; level["simlink"] = 3; level["liveries"] = 3; level["airports"] = 3
    level["engine"] = 4; level["run"] = 5
    allowed["liveries/airports"] = 1  # a stand id and its cargo flag
    # "" is a file of engine/ itself.
    inner["base"] = 0; inner["stands"] = 1; inner["conflicts"] = 2; inner["motion"] = 3; inner["parking"] = 4
    inner[""] = 5
    # Folders of the tree that are no product layer.
    split("tools tests bench fuzz data cmake", names, " ")
    for (i in names) other[names[i]] = 1
    bad = 0
  }
  function nameOf(inner) { return inner == "" ? "engine/ itself" : "engine/" inner }
  # The folder below engine/ of a path, empty for a file of engine/ itself.
  function subfolder(path,    rest) {
    rest = substr(path, index(path, "/") + 1)
    return index(rest, "/") ? substr(rest, 1, index(rest, "/") - 1) : ""
  }
  NF == 0 { next }
  {
    split($0, parts, ":"); file = parts[1]; line = parts[2]
    from = substr(file, 1, index(file, "/") - 1)
    # Both forms name a header of the tree: the build finds "engine/x.h"
    # and <engine/x.h> alike through the include folders it publishes.
    if (!match($0, /"[^"]*"|<[^>]*>/)) next
    target = substr($0, RSTART + 1, RLENGTH - 2)
    shown = substr($0, RSTART, 1) target (substr($0, RSTART, 1) == "<" ? ">" : "\"")
    to = index(target, "/") ? substr(target, 1, index(target, "/") - 1) : ""
    why = ""
    if (target ~ /(^|\/)\.\.(\/|$)/) why = "climbs out with \"..\"; name the folder instead"
    else if (to in other) why = "product code includes no " to "/ header"
    else if ((to in level) && to != from && !((from "/" to) in allowed)) {
      if (level[to] > level[from]) why = to " is a layer above " from
      else if (level[to] == level[from]) why = to " is beside " from " in the same layer"
    }
    else if (from == "engine" && to == "engine") {
      fromInner = subfolder(file); toInner = subfolder(target)
      if (!(fromInner in inner)) why = "engine/" fromInner " has no rank among engine'"'"'s folders; rank it in this check"
      else if (!(toInner in inner)) why = "engine/" toInner " has no rank among engine'"'"'s folders; rank it in this check"
      else if (inner[toInner] > inner[fromInner])
        why = nameOf(toInner) " ranks above " nameOf(fromInner) "; base, stands, conflicts, motion, parking, engine/ include downwards only"
    }
    if (why != "") { printf "%s:%s: #include %s: %s\n", file, line, shown, why; bad = 1 }
  }
  END { exit bad }
'
checkIncludes() { awk "$rules"; }

# The rules are checked first on lines whose verdict is known, so that a
# rule broken by an edit here fails the check instead of passing everything.
selfTest() {
  local sample failed=0
  while IFS= read -r sample; do
    if checkIncludes <<<"$sample" >/dev/null; then
      echo "layers: the check lets through a climbing include: $sample"
      failed=1
    fi
  done <<'EOF'
core/log.cpp:1:#include "engine/base/engine.h"
engine/base/engine.h:1:#include "engine/stands/stands.h"
engine/stands/stands.cpp:1:#include "engine/conflicts/conflicts.h"
engine/conflicts/conflicts.cpp:1:#include "engine/motion/motion_steps.h"
engine/motion/pushback.cpp:1:#include "engine/parking/park_airports.h"
engine/parking/parking_cycle.cpp:1:#include "engine/spawn.h"
engine/stands/stands.h:1:#include "engine/engine_tick.h"
engine/unranked/a.cpp:1:#include "engine/base/engine.h"
engine/spawn.cpp:1:#include "engine/unranked/a.h"
engine/spawn.cpp:1:#include "../core/log.h"
core/log.cpp:1:#include <engine/base/engine.h>
feed/traffic_reader.cpp:1:# include <simlink/sim_link.h>
engine/stands/stands.cpp:1:#include <engine/conflicts/conflicts.h>
refdata/dbase.cpp:1:#include <tests/support/temp_dir.h>
EOF
  while IFS= read -r sample; do
    if ! checkIncludes <<<"$sample" >/dev/null; then
      echo "layers: the check refuses an include that points down: $sample"
      failed=1
    fi
  done <<'EOF'
engine/base/engine.h:1:#include "engine/base/live_ac.h"
engine/stands/stands.h:1:#include "engine/base/engine.h"
engine/conflicts/conflicts.cpp:1:#include "engine/stands/stands.h"
engine/motion/pushback.cpp:1:#include "engine/conflicts/park_limit.h"
engine/motion/taxi.cpp:1:#include "engine/motion/motion_steps.h"
engine/parking/parking_cycle.cpp:1:#include "engine/motion/motion.h"
engine/spawn.cpp:1:#include "engine/parking/park_limit.h"
engine/engine_tick.cpp:1:#include "engine/spawn.h"
run/program.cpp:1:#include "engine/base/engine.h"
run/program.cpp:1:#include <engine/base/engine.h>
core/log.cpp:1:#include <vector>
core/log.cpp:1:#include <fmt/format.h>
EOF
  if ((failed)); then
    echo "layers: the check itself is broken; mend its rules first"
    exit 2
  fi
}

selfTest
includes=$(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' | grep -E "^($product)/" |
           xargs -r grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' || true)

if ! checkIncludes <<<"$includes"; then
  echo "layers: the includes above point up a layer or sideways"
  exit 1
fi
echo "layers: every include of the product folders points down"
