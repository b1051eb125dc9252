#!/usr/bin/env bash
# Builds the host tree (portable core, unit tests, packaging tool; with
# sanitizers) and the Windows tree (deliverables, Windows tests).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-host -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLRX_SANITIZE=ON
cmake --build build-host
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build build-win
