#!/usr/bin/env bash
# Builds Plaxon (Release, every warning on) and runs all tests.
# Extra CMake arguments are passed through; BUILD_DIR picks the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "$@"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure ${CTEST_ARGS:-}
