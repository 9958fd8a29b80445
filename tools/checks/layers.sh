#!/usr/bin/env bash
# Fails when a product folder includes a header of a layer above it, of a
# folder beside it, or of a program or test folder. Dependencies point down,
# lowest first:
#   platform -> core -> refdata -> feed, simlink, liveries, airports -> engine -> run
# platform's sys/, net/, ui/ and sim/ are one layer; in the middle level only
# liveries may use airports. Inside engine the stand folders point one way
# too, lowest first: stands -> conflicts -> parking. The build keeps the same rule through the headers
# each library publishes; this check names the offending line, and also covers
# folders that are not built yet.
set -euo pipefail
cd "$(dirname "$0")/../.."

product='platform|core|refdata|feed|simlink|liveries|airports|engine|run'
includes=$(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' | grep -E "^($product)/" |
           xargs -r grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' || true)

if ! awk '
  BEGIN {
    level["platform"] = 0; level["core"] = 1; level["refdata"] = 2
    level["feed"] = 3; level["simlink"] = 3; level["liveries"] = 3; level["airports"] = 3
    level["engine"] = 4; level["run"] = 5
    allowed["liveries/airports"] = 1  # a stand id and its cargo flag
    inner["stands"] = 0; inner["conflicts"] = 1; inner["parking"] = 2
    # Folders of the tree that are no product layer.
    split("tools tests bench fuzz data cmake", names, " ")
    for (i in names) other[names[i]] = 1
    bad = 0
  }
  # The folder below engine/ of a path, empty for a file of engine/ itself.
  function subfolder(path,    rest) {
    rest = substr(path, index(path, "/") + 1)
    return index(rest, "/") ? substr(rest, 1, index(rest, "/") - 1) : ""
  }
  NF == 0 { next }
  {
    split($0, parts, ":"); file = parts[1]; line = parts[2]
    from = substr(file, 1, index(file, "/") - 1)
    if (!match($0, /"[^"]*"/)) next
    target = substr($0, RSTART + 1, RLENGTH - 2)
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
      if ((fromInner in inner) && (toInner in inner) && inner[toInner] > inner[fromInner])
        why = "engine/" toInner " comes after engine/" fromInner "; stands, conflicts, parking include downwards only"
    }
    if (why != "") { printf "%s:%s: #include \"%s\": %s\n", file, line, target, why; bad = 1 }
  }
  END { exit bad }
' <<<"$includes"; then
  echo "layers: the includes above point up a layer or sideways"
  exit 1
fi
echo "layers: every include of the product folders points down"
