#!/usr/bin/env bash
# Builds the program and runs the tests labelled "cluster" against a private three-node
# Galera cluster (scripts/cluster.sh), which is stopped again at the end whatever happens.
# Called as scripts/test.sh --cluster; extra arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh

trap 'bash "$root/scripts/cluster.sh" stop' EXIT
bash scripts/cluster.sh start
# shellcheck source=/dev/null
source .work/cluster/cluster.env
export KX_DB_HOST KX_DB_PORT KX_DB_USER KX_DB_PASSWORD KX_CLUSTER_PORTS
export QT_QPA_PLATFORM=offscreen

status=0
ctest --test-dir build --output-on-failure -L cluster "$@" || status=$?
exit "$status"
