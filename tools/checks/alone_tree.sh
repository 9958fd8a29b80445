# Sourced by the checks that look at each source on its own (tidy.sh,
# compile_alone.sh): configures, never builds, a tree without units beside a
# build tree, with the build's compiler and flags, for its compile commands.
#   configureAloneTree <build-dir> <tree> <ON|OFF: the tests too> <check name>
configureAloneTree() {
  local build=$1 tree=$2 tests=$3 check=$4 name entry
  local settings=()
  if [ -f "$build/CMakeCache.txt" ]; then
    for name in CMAKE_CXX_COMPILER CMAKE_BUILD_TYPE CMAKE_CXX_FLAGS CMAKE_CXX_FLAGS_RELWITHDEBINFO \
      CMAKE_CXX_FLAGS_RELEASE CMAKE_CXX_FLAGS_DEBUG QVL_DOWNLOAD_BASE QVL_WERROR; do
      entry=$(grep -E "^$name:[A-Z]+=" "$build/CMakeCache.txt" || true)
      [ -z "${entry#*=}" ] || settings+=("-D${entry%%:*}=${entry#*=}")
    done
  fi
  cmake -S . -B "$tree" -G Ninja -DQVL_UNITY=OFF -DQVL_BUILD_TESTS="$tests" -DQVL_BUILD_BENCH=OFF \
    -DQVL_BUILD_FUZZ=OFF -DQVL_SANITIZE= ${settings[@]+"${settings[@]}"} >"$tree.log" 2>&1 ||
    { cat "$tree.log"; echo "$check: configuring $tree failed"; return 1; }
}
