#!/usr/bin/env bash
# Saves the README's pictures of the windows into docs/screenshots/:
#
#   bash tools/screenshots.sh
#
# Builds kartotex-screenshots in build/, starts a private MariaDB server through
# scripts/server.sh with a data folder of its own under .work/screenshots/, prepares a Data.db
# for it, and runs the program's windows on a virtual display (Xvfb, the xcb platform, Hungarian
# locale) with a small sample store. The server and its data are removed again at the end.
# Run it again whenever the windows change.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=$root/docs/screenshots

cmake --build build --target kartotex-screenshots >/dev/null

work=$root/.work/screenshots
rm -rf "$work"
mkdir -p "$work/run"
server() {
    env -u KX_DB_PORT KX_SERVER_DIR="$work/server" bash "$root/scripts/server.sh" "$@"
}
cleanup() {
    server stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
server start >/dev/null
# shellcheck source=/dev/null
source "$work/server/server.env"
export KX_DB_HOST KX_DB_PORT KX_DB_USER KX_DB_PASSWORD
export KX_DB_DATABASE=kartotex
bash scripts/prepare-data-db.sh "$work/run" >/dev/null

locale=C.UTF-8
if locale -a 2>/dev/null | grep -qi '^hu_HU.utf-\?8$'; then
    locale=hu_HU.UTF-8
fi
mkdir -p "$out"
(cd "$work/run" && LANG=$locale LC_ALL=$locale QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/tools/kartotex-screenshots" "$out")
echo "screenshots: pictures saved in $out"
