#!/usr/bin/env bash
# The data-layer benchmark in one command:
#
#   bash tools/bench.sh [--records N] [--repeat R]
#
# Builds kartotex-bench (Release, in build-bench/) when needed, starts a private MariaDB
# server with a data folder of its own under .work/bench/ on a free port, runs the benchmark
# against it, and stops the server and removes the folder again, also when something fails.
# Arguments go to kartotex-bench (--records, default 50000; --repeat, default 3).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-bench
work=$root/.work/bench

find_tool() {
    local name
    for name in "$@"; do
        if command -v "$name" >/dev/null 2>&1; then
            command -v "$name"
            return
        fi
        if [[ -x /usr/sbin/$name ]]; then
            echo "/usr/sbin/$name"
            return
        fi
    done
    echo "bench: none of $* is installed (run scripts/setup.sh)" >&2
    exit 1
}

port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

client=$(find_tool mariadb mysql)
daemon=$(find_tool mariadbd mysqld)
install_db=$(find_tool mariadb-install-db mysql_install_db)

# Quiet unless the build fails.
build_log=$(mktemp)
if ! { [[ -f $build/build.ninja ]] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release; } >"$build_log" 2>&1 ||
    ! ninja -C "$build" -j2 kartotex-bench >>"$build_log" 2>&1; then
    cat "$build_log" >&2
    rm -f "$build_log"
    exit 1
fi
rm -f "$build_log"

mkdir -p "$work"
run=$(mktemp -d "$work/run.XXXXXX")
datadir=$run/data
files=$run/files # the server reads and writes the client's files here only
socket=$run/sock
server_pid=

# Whether our server process still runs (an ended one stays a zombie until it is waited for).
server_alive() {
    local state
    state=$(cut -d' ' -f3 "/proc/$server_pid/stat" 2>/dev/null) || return 1
    [[ $state != Z ]]
}

stop_server() {
    [[ -n $server_pid ]] || return 0
    kill -TERM "$server_pid" 2>/dev/null || true
    local waited=0
    while server_alive; do
        sleep 0.5
        waited=$((waited + 1))
        if ((waited > 120)); then
            echo "bench: mariadbd $server_pid did not end in 60 s; killing it" >&2
            kill -KILL "$server_pid" 2>/dev/null || true
            break
        fi
    done
    wait "$server_pid" 2>/dev/null || true
    server_pid=
}

bench_pid=
cleanup() {
    if [[ -n $bench_pid ]]; then
        kill -TERM "$bench_pid" 2>/dev/null || true
        wait "$bench_pid" 2>/dev/null || true
    fi
    stop_server
    rm -rf "$run"
    rmdir "$work" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$datadir" "$files"
if ! "$install_db" --no-defaults --datadir="$datadir" --user="$(id -un)" \
    --auth-root-authentication-method=normal --skip-test-db >"$run/install.log" 2>&1; then
    cat "$run/install.log" >&2
    exit 1
fi

password=$(od -An -tx1 -N12 /dev/urandom | tr -d ' \n')
for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 30000))
    port_in_use "$port" && continue
    # A buffer pool smaller than the blobs, as on a desktop server; a redo log that takes the
    # 100 MB values without a checkpoint at every few writes; dirty pages written out in the
    # background (as an SSD allows), so that the benchmark can wait for a quiet server before
    # each large write; commits flushed once a second, which only speeds the build.
    "$daemon" --no-defaults --datadir="$datadir" --user="$(id -un)" --port="$port" \
        --bind-address=127.0.0.1 --socket="$socket" --pid-file="$run/pid" \
        --log-error="$run/error.log" --skip-name-resolve --max-allowed-packet=1G \
        --character-set-server=latin2 --collation-server=latin2_hungarian_ci \
        --secure-file-priv="$files" --innodb-buffer-pool-size=256M \
        --innodb-log-file-size=1G --innodb-io-capacity=2000 \
        --innodb-max-dirty-pages-pct-lwm=10 --innodb-flush-log-at-trx-commit=2 \
        </dev/null >>"$run/stdout.log" 2>&1 &
    server_pid=$!
    waited=0
    until "$client" --no-defaults -uroot -S "$socket" -e 'select 1' >/dev/null 2>&1; do
        if ! server_alive || ((waited > 120)); then
            break
        fi
        sleep 0.5
        waited=$((waited + 1))
    done
    if server_alive && "$client" --no-defaults -uroot -S "$socket" -e 'select 1' >/dev/null 2>&1; then
        break
    fi
    stop_server
    if ! grep -q 'Address already in use' "$run/error.log"; then
        echo "bench: mariadbd did not start; last lines of its log:" >&2
        tail -n 20 "$run/error.log" >&2
        exit 1
    fi
done
if [[ -z $server_pid ]]; then
    echo "bench: no free port found" >&2
    exit 1
fi

# root@127.0.0.1 exists already after mariadb-install-db; the benchmark and the client both
# log in there over TCP.
"$client" --no-defaults -uroot -S "$socket" <<SQL
CREATE USER IF NOT EXISTS root@'127.0.0.1';
ALTER USER root@'127.0.0.1' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO root@'127.0.0.1' WITH GRANT OPTION;
SQL

# In the background and waited for, so that a signal to this script cleans up at once.
KX_DB_HOST=127.0.0.1 KX_DB_PORT=$port KX_DB_USER=root KX_DB_PASSWORD=$password \
    KX_BENCH_FILES=$files "$build/tools/kartotex-bench" "$@" &
bench_pid=$!
status=0
wait "$bench_pid" || status=$?
bench_pid=
exit "$status"
