#!/usr/bin/env bash
# Command 2 of the README: the whole test suite.  Host unit tests (with
# AddressSanitizer and UndefinedBehaviorSanitizer), the fuzz targets for a
# short run, and the Windows tests under Wine inside one virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh

ctest --test-dir build-host --output-on-failure

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DLRX_FUZZ=ON
cmake --build build-fuzz
ctest --test-dir build-fuzz --output-on-failure

# The whole Wine run shares one display: the first Wine process of a prefix
# decides whether its desktop can open windows.
xvfb-run -a ctest --test-dir build-win --output-on-failure
