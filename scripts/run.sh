#!/usr/bin/env bash
# Builds the program and runs it against a private MariaDB server (or the server named by
# KX_DB_HOST), from the working folder .work/run/ where its Data.db lives.
#
#   KX_DB_HOST, KX_DB_PORT, KX_DB_USER, KX_DB_DATABASE   use that server instead; these only
#                                  fill in Data.db's remembered settings where none are stored
#   KX_RUN_DIR                     another working folder (default .work/run)
#   KX_XVFB=1                      run on a virtual display (xvfb-run) when there is none
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh

use_xvfb=0
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    if [[ ${KX_XVFB:-} == 1 ]]; then
        use_xvfb=1
    else
        echo "No display: \$DISPLAY and \$WAYLAND_DISPLAY are empty, so the program's windows" >&2
        echo "cannot be shown. Run this from a desktop session, or with KX_XVFB=1 to run it on" >&2
        echo "an invisible virtual display (xvfb-run)." >&2
        exit 1
    fi
fi

if [[ -z ${KX_DB_HOST:-} ]]; then
    trap 'bash "$root/scripts/server.sh" stop' EXIT
    bash scripts/server.sh start
    # shellcheck source=/dev/null
    source .work/server.env
    # shellcheck disable=SC2153
    password_hint="server 127.0.0.1 port $KX_DB_PORT, user $KX_DB_USER, password $KX_DB_PASSWORD"
    unset KX_DB_HOST KX_DB_PORT KX_DB_USER KX_DB_PASSWORD # Data.db takes them from server.env
else
    password_hint="type the password of user ${KX_DB_USER:-?} on $KX_DB_HOST in the login dialog"
fi

run_dir=${KX_RUN_DIR:-$root/.work/run}
mkdir -p "$run_dir"
run_dir=$(cd "$run_dir" && pwd)
bash scripts/prepare-data-db.sh "$run_dir"

echo
echo "Starting build/kartotex in $run_dir (its Data.db is there)"
echo "Login: $password_hint"
echo "(The login dialog shows the settings remembered in Data.db; a login with"
echo " \"Megadottak megjegyzése\" ticked replaces them.)"
echo

cd "$run_dir"
status=0
if ((use_xvfb)); then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/kartotex" || status=$?
else
    "$root/build/kartotex" || status=$?
fi
exit "$status"
