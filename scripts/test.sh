#!/usr/bin/env bash
# Builds the program and runs every test against a private MariaDB server, which is stopped
# again at the end whatever happens. Extra arguments go to ctest (e.g. -R tst_platform).
# With --cluster first, the tests labelled "cluster" run against a three-node Galera cluster
# (scripts/cluster.sh) instead; without it, those are left out.
set -euo pipefail
if [[ ${1:-} == --cluster ]]; then
    shift
    exec bash "$(dirname "${BASH_SOURCE[0]}")/cluster-test.sh" "$@"
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh

trap 'bash "$root/scripts/server.sh" stop' EXIT
bash scripts/server.sh start
# shellcheck source=/dev/null
source .work/server.env
export KX_DB_HOST KX_DB_PORT KX_DB_USER KX_DB_PASSWORD
export QT_QPA_PLATFORM=offscreen

status=0
ctest --test-dir build --output-on-failure -LE cluster "$@" || status=$?
# A whole run (no ctest arguments) also runs the widget tests on an X server under a
# Hungarian locale.
if (($# == 0)); then
    bash scripts/test-desktop.sh || status=1
fi
exit "$status"
