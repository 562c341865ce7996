#!/usr/bin/env bash
# Builds the program and runs every test against a private MariaDB server, which is stopped
# again at the end whatever happens. Extra arguments go to ctest (e.g. -R tst_platform).
#
#   test.sh --cluster [ctest arguments]    the tests labelled "cluster" against a three-node
#                                          Galera cluster (scripts/cluster.sh); a plain run
#                                          leaves those out
#   test.sh --sanitize [ctest arguments]   the same suite built with AddressSanitizer and
#                                          UndefinedBehaviorSanitizer, in build-asan/
set -euo pipefail
if [[ ${1:-} == --cluster ]]; then
    shift
    exec bash "$(dirname "${BASH_SOURCE[0]}")/cluster-test.sh" "$@"
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

build="build"
if [[ ${1:-} == --sanitize ]]; then
    shift
    build="build-asan"
fi

bash scripts/setup.sh
if [[ $build == build-asan ]]; then
    bash scripts/sanitize-build.sh "$build"
fi

trap 'bash "$root/scripts/server.sh" stop' EXIT
bash scripts/server.sh start
# shellcheck source=/dev/null
source .work/server.env
export KX_DB_HOST KX_DB_PORT KX_DB_USER KX_DB_PASSWORD
export QT_QPA_PLATFORM=offscreen
if [[ $build == build-asan ]]; then
    # Every finding, leaks included, ends the test program with a failure.
    export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_string_checks=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

status=0
ctest --test-dir "$build" --output-on-failure -LE cluster "$@" || status=$?
# A whole run of the normal build (no ctest arguments) also runs the widget tests on an X
# server under a Hungarian locale.
if (($# == 0)) && [[ $build == build ]]; then
    bash scripts/test-desktop.sh || status=1
fi
exit "$status"
