#!/usr/bin/env bash
# The photo-loading benchmark in one command:
#
#   bash tools/photo-bench.sh [--side N]
#
# Builds kartotex-photo-bench (Release, in build-bench/) when needed and runs it: it writes
# an N x N JPEG (by default one of 20000 x 20000 and one of 65500 x 65500) into a temporary
# folder, loads it into the photo box of the editing forms and prints the peak memory that adds
# to the program's resting size and the time it took; then the time a crafted 451-byte
# arithmetic-coded JPEG declaring 65500 x 65500 takes to be refused or shown.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-bench

build_log=$(mktemp)
trap 'rm -f "$build_log"' EXIT
if ! { [[ -f $build/build.ninja ]] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release; } >"$build_log" 2>&1 ||
    ! ninja -C "$build" -j2 kartotex-photo-bench >>"$build_log" 2>&1; then
    cat "$build_log" >&2
    exit 1
fi
exec "$build/tools/kartotex-photo-bench" "$@"
