#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds
# one build tree.
#   tools/setup.sh [--target T]... [build-dir] [extra cmake args...]
#   tools/setup.sh --packages     (only the packages, e.g. before the checks)
# Without --target the whole tree is built and every package is installed.
# With it only the named targets are built (tools/run.sh: qvl_demo) and only
# the packages that the build needs: the source checks, the fuzz targets and
# the window tests under Xvfb wait for a full set-up. The build runs
# $CMAKE_BUILD_PARALLEL_LEVEL jobs when that is set, else one per core.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_PACKAGES=(g++ cmake ninja-build pkg-config git
                libpugixml-dev nlohmann-json3-dev libsodium-dev libcurl4-openssl-dev
                libzip-dev libmsgsl-dev libfmt-dev libfltk1.3-dev libpng-dev libx11-dev
                libgtest-dev libgmock-dev libbenchmark-dev)
TOOL_PACKAGES=(xvfb
               # tools/checks: format and static analysis, version 14 on every machine
               clang-format-14 clang-tidy-14
               # fuzz targets: clang with libFuzzer (libclang-rt-14-dev carries it)
               clang libclang-rt-14-dev)

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

if [ "${1:-}" = "--packages" ]; then
  install_missing "${BUILD_PACKAGES[@]}" "${TOOL_PACKAGES[@]}"
  exit 0
fi

TARGETS=()
while [ "${1:-}" = "--target" ]; do
  [ $# -ge 2 ] || { echo "setup: --target wants a target" >&2; exit 2; }
  TARGETS+=("$2")
  shift 2
done

if ((${#TARGETS[@]})); then
  install_missing "${BUILD_PACKAGES[@]}"
else
  install_missing "${BUILD_PACKAGES[@]}" "${TOOL_PACKAGES[@]}"
fi

BUILD_DIR="${1:-build}"
shift || true
cmake -S . -B "$BUILD_DIR" -G Ninja "$@"
BUILD_ARGS=(--parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}")
((${#TARGETS[@]} == 0)) || BUILD_ARGS+=(--target "${TARGETS[@]}")
cmake --build "$BUILD_DIR" "${BUILD_ARGS[@]}"
