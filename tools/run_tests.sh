#!/usr/bin/env bash
# Builds everything and runs every test through ctest, headless, but those labelled slow (the four
# flashers at once, some 40 s): run them in the build folder with `ctest -L slow`.
# Usage: tools/run_tests.sh [BUILD_DIR [CMAKE_OPTION...]]   (default build directory: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
export QT_QPA_PLATFORM=offscreen
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)" -LE slow
