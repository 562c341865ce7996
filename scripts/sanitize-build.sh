#!/usr/bin/env bash
# Configures and builds the program and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into the given folder (default build-asan/). Any report of either
# sanitizer ends the test program with a failure, so a finding fails its test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build-asan}
cd "$root"

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# -O1 keeps the instrumented suite quick while keeping the reports' stacks readable.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build"
