#!/usr/bin/env bash
# Prepares DIR/Data.db, the program's local settings file: creates tbl_Config from
# storage/ConfigTable.sql when the file lacks it, and fills in the server settings the login
# dialog offers, for each key that has no row yet (rows already there, e.g. remembered by
# the program, are left alone).
#
# The settings come from KX_DB_HOST, KX_DB_PORT (default 3306) and KX_DB_USER when KX_DB_HOST
# is set, else from .work/server.env, the private server's settings; the database name from
# KX_DB_DATABASE (default "kartotex").
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if (($# != 1)); then
    echo "usage: $0 DIR" >&2
    exit 2
fi
dir=$1
mkdir -p "$dir"
db=$dir/Data.db

if ! command -v sqlite3 >/dev/null; then
    echo "prepare-data-db: the sqlite3 program is missing (run scripts/setup.sh)" >&2
    exit 1
fi

if [[ -n ${KX_DB_HOST:-} ]]; then
    host=$KX_DB_HOST
    port=${KX_DB_PORT:-3306}
    user=${KX_DB_USER:-}
elif [[ -f $root/.work/server.env ]]; then
    # shellcheck source=/dev/null
    host=$(source "$root/.work/server.env" && echo "$KX_DB_HOST")
    # shellcheck source=/dev/null
    port=$(source "$root/.work/server.env" && echo "$KX_DB_PORT")
    # shellcheck source=/dev/null
    user=$(source "$root/.work/server.env" && echo "$KX_DB_USER")
else
    echo "prepare-data-db: no server named (KX_DB_HOST) and no private server running;" >&2
    echo "only the settings table is prepared" >&2
    host='' port='' user=''
fi
database=${KX_DB_DATABASE:-kartotex}

has_table=$(sqlite3 "$db" "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='tbl_Config';")
if [[ $has_table == 0 ]]; then
    sqlite3 "$db" <"$root/storage/ConfigTable.sql"
fi

quote() {
    local s=${1//\'/\'\'}
    printf "'%s'" "$s"
}

# The program finds a key as the first row whose A begins with it, case-sensitively; a row
# counts as present by the same rule.
remember() {
    local key=$1 value=$2
    [[ -n $value ]] || return 0
    local k
    k=$(quote "$key")
    sqlite3 "$db" "INSERT INTO tbl_Config (A, B) SELECT $k, $(quote "$value")
        WHERE NOT EXISTS (SELECT 1 FROM tbl_Config WHERE substr(A, 1, length($k)) = $k);"
}

remember SZERVER "$host"
remember PORT "$port"
remember ADATBAZIS "$database"
remember FELHASZN "$user"

echo "Data.db prepared: $db"
sqlite3 -separator ' = ' "$db" "SELECT A, B FROM tbl_Config ORDER BY AZ;" | sed 's/^/  /'
