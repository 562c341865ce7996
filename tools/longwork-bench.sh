#!/usr/bin/env bash
# The record list PDF of a large store under its progress window, in one command:
#
#   bash tools/longwork-bench.sh [--records N]
#
# Builds kartotex-longwork-bench in build/, starts a private MariaDB server through
# scripts/server.sh with a data folder of its own under .work/longwork-bench/, runs it there
# (offscreen) and removes the server and its data again, also when something fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
cmake --build build --target kartotex-longwork-bench >/dev/null
work=$root/.work/longwork-bench
rm -rf "$work"
server() {
    env -u KX_DB_PORT KX_SERVER_DIR="$work" bash "$root/scripts/server.sh" "$@"
}
cleanup() {
    server stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
server start >/dev/null
# shellcheck source=/dev/null
source "$work/server.env"
export KX_DB_HOST KX_DB_PORT KX_DB_USER KX_DB_PASSWORD
QT_QPA_PLATFORM=offscreen "$root/build/tools/kartotex-longwork-bench" "$@"
