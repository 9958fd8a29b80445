#!/usr/bin/env bash
# Lists the names that would clash when a library's sources are compiled
# several to a unit (cmake/unity.cmake): a function, constant or variable
# that two sources of one target each keep to themselves (anonymous
# namespace or static), and one that a source keeps to itself while another
# source of the target calls a namespace function of that name. It reads the
# objects of a tree built without units, at -O0 so that nothing is inlined
# away:
#   cmake -S . -B build-plain -G Ninja -DQVL_UNITY=OFF -DQVL_BUILD_TESTS=OFF \
#     -DQVL_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0
#   ninja -C build-plain && tools/checks/unity_clashes.sh build-plain
# Types of the same name fail to compile in a unit and are not listed here.
# Every name listed must be declared in cmake/unity.cmake (or renamed).
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 <build-dir without unity>" >&2; exit 2; }
build=$(cd "$1" && pwd)

for dir in $(find "$build" -type d -name 'qvl_*.dir' -path '*/CMakeFiles/*' | sort); do
  target=$(basename "$dir" .dir)
  find "$dir" -name '*.o' ! -path '*/Unity/*' | sort | while read -r object; do
    source=${object#"$dir"/}
    # One line per symbol: its source, its kind, its demangled name.
    nm -C "$object" | sed -E 's/^[0-9a-f]* *//' | awk -v src="${source%.o}" '{ kind = $1; $1 = ""; print src "\t" kind "\t" substr($0, 2) }'
  done | awk -F'\t' -v target="$target" '
    # The name before its parameter list, and the scope it sits in.
    function head(sym,   i, c, depth) {
      gsub(/\(anonymous namespace\)/, "ANON", sym)
      depth = 0
      for (i = 1; i <= length(sym); i++) {
        c = substr(sym, i, 1)
        if (c == "<") depth++
        else if (c == ">") depth--
        else if (c == "(" && depth == 0) { rest = substr(sym, i); return substr(sym, 1, i - 1) }
      }
      rest = ""
      return sym
    }
    $3 ~ /^qvl::/ && $3 !~ /lambda/ {
      h = head($3)
      if (rest ~ /\)::/) next           # an entity inside a function
      n = split(h, part, "::")
      scope = part[n - 1]
      # Named by its namespace without the anonymous one: a call qualified
      # with another namespace is no clash.
      name = h; gsub(/ANON::/, "", name)
      if ($2 ~ /^[tdbr]$/ && (scope == "ANON" || (h !~ /ANON/ && scope ~ /^[a-z]/))) {
        if (!((name, $1) in own)) { own[name, $1] = 1; owners[name] = owners[name] " " $1; count[name]++ }
      } else if ($2 ~ /^[TWUV]$/ && h !~ /ANON/ && scope ~ /^[a-z]/ && part[n] ~ /^[a-z]/) {
        if (!((name, $1) in use)) { use[name, $1] = 1; users[name] = users[name] " " $1 }
      }
    }
    END {
      for (name in owners) {
        if (count[name] > 1) print target ": " name " kept by" owners[name]
        if (name in users) {
          split(users[name], u, " "); others = ""
          for (i in u) if (!((name, u[i]) in own)) others = others " " u[i]
          if (others != "") print target ": " name " kept by" owners[name] "; called by" others
        }
      }
    }' | sort
done
