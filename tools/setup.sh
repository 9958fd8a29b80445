#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds one build tree.
#   tools/setup.sh [build-dir] [extra cmake args...]
#   tools/setup.sh --packages     (only the packages, e.g. before the checks)
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(g++ cmake ninja-build pkg-config git
          libpugixml-dev nlohmann-json3-dev libsodium-dev libcurl4-openssl-dev
          libzip-dev libmsgsl-dev libfmt-dev libfltk1.3-dev libpng-dev libx11-dev
          libgtest-dev libgmock-dev libbenchmark-dev xvfb
          # tools/checks: format and static analysis, version 14 on every machine
          clang-format-14 clang-tidy-14
          # fuzz targets: clang with libFuzzer (libclang-rt-14-dev carries it)
          clang libclang-rt-14-dev)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

if [ "${1:-}" = "--packages" ]; then
  exit 0
fi

BUILD_DIR="${1:-build}"
shift || true
cmake -S . -B "$BUILD_DIR" -G Ninja "$@"
cmake --build "$BUILD_DIR" --parallel "$(nproc)"
