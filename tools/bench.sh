#!/usr/bin/env bash
# The data-layer benchmark in one command:
#
#   bash tools/bench.sh [--cluster] [--records N] [--repeat R]
#
# Builds kartotex-bench (Release, in build-bench/) when needed, starts a private MariaDB
# server through scripts/server.sh with a data folder of its own under .work/bench/ on a free
# port, runs the benchmark against it, and stops the server and removes the folder again, also
# when something fails.
# With --cluster, a three-node Galera cluster (scripts/cluster.sh, in .work/bench/) takes the
# server's place, with the same server options on every node; the program and the client
# both work at node 1, so the figures show what the cluster costs them.
# Other arguments go to kartotex-bench (--records, default 50000; --repeat, default 3).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-bench
work=$root/.work/bench
cluster_mode=
args=()
for arg in "$@"; do
    if [[ $arg == --cluster ]]; then
        cluster_mode=1
    else
        args+=("$arg")
    fi
done
set -- "${args[@]}"

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
files=$run/files # the server reads and writes the client's files here only
server_started=

# A buffer pool smaller than the blobs, as on a desktop server; a redo log that takes the
# 100 MB values without a checkpoint at every few writes; dirty pages written out in the
# background (as an SSD allows), so that the benchmark can wait for a quiet server before each
# large write; commits flushed once a second, which only speeds the build. The lock wait is
# the server's default again.
server_options="--secure-file-priv=$files --innodb-buffer-pool-size=256M \
--innodb-log-file-size=1G --innodb-io-capacity=2000 --innodb-max-dirty-pages-pct-lwm=10 \
--innodb-flush-log-at-trx-commit=2 --innodb-lock-wait-timeout=50"

# The server comes from scripts/server.sh, with the data folder of this run and a port of its
# own (never one named by KX_DB_PORT in the caller's environment).
server() {
    env -u KX_DB_PORT KX_SERVER_DIR="$run" KX_SERVER_OPTIONS="$server_options" \
        bash "$root/scripts/server.sh" "$@"
}

cluster() {
    KX_CLUSTER_DIR="$run/cluster" KX_CLUSTER_OPTIONS="$server_options" \
        bash "$root/scripts/cluster.sh" "$@"
}

bench_pid=
cleanup() {
    if [[ -n $bench_pid ]]; then
        kill -TERM "$bench_pid" 2>/dev/null || true
        wait "$bench_pid" 2>/dev/null || true
    fi
    if [[ -n $server_started ]]; then
        if [[ -n $cluster_mode ]]; then
            cluster stop >/dev/null || true
        else
            server stop >/dev/null || true
        fi
    fi
    rm -rf "$run"
    rmdir "$work" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$files"
server_started=1
if [[ -n $cluster_mode ]]; then
    if ! cluster start >"$run/server.log" 2>&1; then
        cat "$run/server.log" >&2
        exit 1
    fi
    # shellcheck source=/dev/null
    source "$run/cluster/cluster.env"
    echo "Galera cluster of 3 nodes on 127.0.0.1; the program and the client at node 1"
else
    if ! server start >"$run/server.log" 2>&1; then
        cat "$run/server.log" >&2
        exit 1
    fi
    # shellcheck source=/dev/null
    source "$run/server.env"
fi

# In the background and waited for, so that a signal to this script cleans up at once.
KX_DB_HOST=$KX_DB_HOST KX_DB_PORT=$KX_DB_PORT KX_DB_USER=$KX_DB_USER \
    KX_DB_PASSWORD=$KX_DB_PASSWORD KX_BENCH_FILES=$files "$build/tools/kartotex-bench" "$@" &
bench_pid=$!
status=0
wait "$bench_pid" || status=$?
bench_pid=
exit "$status"
