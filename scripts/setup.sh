#!/usr/bin/env bash
# Command 1 of the README: install the dependencies, build everything and
# run the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
scripts/demo.sh
