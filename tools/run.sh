#!/usr/bin/env bash
# Sets up, builds and runs the program's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh build
echo "Quorvelant is not yet complete: its services are built and tested (tools/test.sh); the program itself follows."
