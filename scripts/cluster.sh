#!/usr/bin/env bash
# A private three-node MariaDB Galera cluster on 127.0.0.1, for testing the program where the
# record store is replicated across sites.
#
#   cluster.sh start   start it (or reuse the one already running and synced); prints ports
#   cluster.sh stop    stop all three nodes
#   cluster.sh env     print its settings as shell exports: KX_DB_HOST, KX_DB_PORT (node 1),
#                      KX_DB_USER, KX_DB_PASSWORD and KX_CLUSTER_PORTS (the three client ports)
#
# Every start builds the cluster afresh in .work/cluster/ (KX_CLUSTER_DIR names another
# folder): node 1 is initialised and bootstraps the cluster, the program's user is created
# there, and nodes 2 and 3 join it and receive everything by rsync state transfer. The start
# waits until every node counts three members and is synced; when anything fails on the way,
# every node that was started is stopped again. The settings go to cluster.env in the folder.
# KX_CLUSTER_OPTIONS adds mariadbd options for every node, which win over the ones given here.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=cluster
# shellcheck source-path=SCRIPTDIR source=lib/mariadb.sh
source "$root/scripts/lib/mariadb.sh"
dir=$(realpath -m "${KX_CLUSTER_DIR:-$root/.work/cluster}")
envfile=$dir/cluster.env
pwfile=$dir/password
db_user=kartotex
nodes=(1 2 3)
provider=${KX_GALERA_PROVIDER:-/usr/lib/galera/libgalera_smm.so}
read -r -a extra_options <<<"${KX_CLUSTER_OPTIONS:-}"

# Node $1's socket; a deep checkout gets its sockets under /tmp.
socket_of() {
    socket_path "$dir/node$1/mysqld.sock" "$dir" "kartotex-galera-%s-$1.sock"
}

datadir_of() {
    echo "$dir/node$1/data"
}

# The pid of node $1 when it runs, else nothing.
node_pid() {
    datadir_pid "$dir/node$1/mariadbd.pid" "$(datadir_of "$1")"
}

# Whether node $1 runs (for waiting on it).
node_runs() {
    [[ -n $(node_pid "$1") ]]
}

# Twelve distinct free ports: per node the client port, group communication, incremental
# and full state transfer.
declare -a ports=()
pick_ports() {
    ports=()
    local p
    while ((${#ports[@]} < 12)); do
        if ! p=$(free_port 1000 "${ports[@]}"); then
            echo "cluster: no free ports found" >&2
            exit 1
        fi
        ports+=("$p")
    done
}
client_port() { echo "${ports[$((($1 - 1) * 4))]}"; }
group_port() { echo "${ports[$((($1 - 1) * 4 + 1))]}"; }
ist_port() { echo "${ports[$((($1 - 1) * 4 + 2))]}"; }
sst_port() { echo "${ports[$((($1 - 1) * 4 + 3))]}"; }

# Runs the client as root on node $1's socket; the password is empty until the users exist.
on_node() {
    local n=$1
    shift
    MYSQL_PWD=$(cat "$pwfile.active" 2>/dev/null || true) "$client" --no-defaults -uroot \
        -S "$(socket_of "$n")" "$@"
}

status_of() { # node, variable: the value of one wsrep status variable
    on_node "$1" -N -B -e "SHOW GLOBAL STATUS LIKE '$2'" 2>/dev/null | cut -f2
}

start_node() {
    local n=$1 bootstrap=$2 members=()
    local m
    for m in "${nodes[@]}"; do
        members+=("127.0.0.1:$(group_port "$m")")
    done
    local address
    address=gcomm://$(
        IFS=,
        echo "${members[*]}"
    )
    local -a first=()
    [[ $bootstrap == yes ]] && first=(--wsrep-new-cluster)
    local datadir
    datadir=$(datadir_of "$n")
    # Row-based replication and interleaved auto-increment locks are what Galera requires;
    # the strict mode refuses tables that Galera cannot replicate safely (without a primary
    # key, or not InnoDB), so the program's own schema is checked by every test that creates
    # it. Commits are flushed to disk once a second, as usual on a cluster, where a committed
    # write lives on in the other nodes. The rest is what launch_mariadbd gives every server,
    # scripts/server.sh's too (latin2, Hungarian collation, large packets), so that the tests
    # meet the same server behaviour on every node.
    launch_mariadbd "$daemon" "$dir/node$n/stdout.log" --datadir="$datadir" --user="$run_user" \
        --port="$(client_port "$n")" --socket="$(socket_of "$n")" \
        --pid-file="$dir/node$n/mariadbd.pid" --log-error="$dir/node$n/error.log" \
        --innodb-buffer-pool-size=64M \
        --binlog-format=ROW --default-storage-engine=InnoDB --innodb-autoinc-lock-mode=2 \
        --wsrep-mode=REQUIRED_PRIMARY_KEY,STRICT_REPLICATION --innodb-flush-log-at-trx-commit=2 \
        --wsrep-on=ON --wsrep-provider="$provider" --wsrep-cluster-name=kartotex \
        --wsrep-cluster-address="$address" --wsrep-node-name="node$n" \
        --wsrep-node-address=127.0.0.1 --wsrep-sst-method=rsync \
        --wsrep-sst-receive-address="127.0.0.1:$(sst_port "$n")" \
        --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:$(group_port "$n");ist.recv_addr=127.0.0.1:$(ist_port "$n");gcache.size=256M" \
        "${first[@]}" "${extra_options[@]}"
}

# Whether node $1 answers as root (before the cluster is complete).
node_answers() {
    on_node "$1" -e 'select 1' >/dev/null 2>&1
}

# Whether node $1 is a synced member of a cluster of $expected_size nodes; what it saw goes into
# the message of wait_node (its variable seen).
expected_size=3
node_synced() {
    local size state ready
    size=$(status_of "$1" wsrep_cluster_size || true)
    state=$(status_of "$1" wsrep_local_state_comment || true)
    ready=$(status_of "$1" wsrep_ready || true)
    seen=" (size '$size', state '$state')"
    [[ $size == "$expected_size" && $state == Synced && $ready == ON ]]
}

# Waits until node $1 passes the check $2 (node_answers, node_synced); fails when its server
# ends (a node not found for five seconds has ended) or after two minutes, saying that the
# node $3 (gives no answer, not synced).
wait_node() {
    local n=$1 outcome=0 seen=''
    wait_for_server 240 11 "$2" node_runs "$n" || outcome=$?
    if ((outcome == 1)); then
        echo "cluster: node $n ended at start; last lines of $dir/node$n/error.log:" >&2
        tail -n 25 "$dir/node$n/error.log" >&2 || true
    elif ((outcome == 2)); then
        echo "cluster: node $n $3 after 120 s$seen; see $dir/node$n/error.log" >&2
    fi
    return "$outcome"
}

write_env() {
    write_settings "$envfile" \
        "The private Galera cluster started by scripts/cluster.sh; the program's port is node 1." \
        "$(client_port 1)" "$db_user" "$pwfile" \
        "KX_CLUSTER_PORTS=$(client_port 1) $(client_port 2) $(client_port 3)"
}

report() {
    echo "Galera cluster of 3 nodes running on 127.0.0.1, client ports $(client_port 1)" \
        "$(client_port 2) $(client_port 3)"
    echo "user $db_user, password $(<"$pwfile")"
    echo "settings in $envfile"
}

# Whether the cluster of the last start still runs with all three nodes synced.
healthy() {
    [[ -f $dir/ports && -f $pwfile.active ]] || return 1
    read -r -a ports <"$dir/ports"
    ((${#ports[@]} == 12)) || return 1
    local n
    for n in "${nodes[@]}"; do
        [[ -n $(node_pid "$n") ]] || return 1
        [[ $(status_of "$n" wsrep_cluster_size) == 3 &&
            $(status_of "$n" wsrep_local_state_comment) == Synced ]] || return 1
    done
}

start() {
    mkdir -p "$dir"
    lock_folder "$dir"
    client=$(find_tool mariadb mysql)
    daemon=$(find_tool mariadbd mysqld)
    if [[ ! -f $provider ]]; then
        echo "cluster: the Galera library $provider is missing (package galera-4;" \
            "run scripts/setup.sh)" >&2
        exit 1
    fi
    find_tool rsync >/dev/null

    if healthy; then
        write_env
        report
        return
    fi
    do_stop >/dev/null

    # Whatever fails from here on stops every node that was started.
    trap 'status=$?; if ((status != 0)); then do_stop >/dev/null 2>&1 || true; fi' EXIT

    local attempt
    for attempt in 1 2 3; do
        if build_cluster; then
            write_env
            trap - EXIT
            report
            return
        fi
        # A node that did not come up leaves its reason in its log; show it, so that a
        # failure on a build machine can be told apart from a slow start.
        local n
        for n in "${nodes[@]}"; do
            [[ -f $dir/node$n/error.log ]] || continue
            echo "cluster: last lines of node $n's log:" >&2
            tail -n 15 "$dir/node$n/error.log" >&2 || true
        done
        do_stop >/dev/null 2>&1 || true
        ((attempt < 3)) && echo "cluster: starting afresh (attempt $((attempt + 1)) of 3)" >&2
    done
    echo "cluster: the cluster did not come up in three attempts" >&2
    exit 1
}

# One attempt at a cluster from empty data folders on newly picked ports; returns non-zero
# when a node ends or does not sync in time (the caller stops what runs).
build_cluster() {
    local n
    for n in "${nodes[@]}"; do
        rm -rf "$dir/node$n"
        mkdir -p "$(datadir_of "$n")"
        rm -f "$(socket_of "$n")"
    done
    rm -f "$pwfile.active" "$envfile"
    new_password "$pwfile"
    pick_ports
    echo "${ports[*]}" >"$dir/ports"

    install_datadir "$(datadir_of 1)" "$run_user" "$dir/node1/install.log"
    if ((EUID == 0)); then
        # As root, the joiners' rsync daemon writes as an unprivileged user (nobody); it
        # must be able to write into the data folders or the transfer fails with "cannot
        # stat destination". The server itself runs as root and reads what it receives.
        chmod 0777 "$dir"/node{1,2,3} "$dir"/node{1,2,3}/data
    fi

    echo "cluster: bootstrapping node 1"
    start_node 1 yes
    wait_node 1 node_answers "gives no answer" || return 1
    create_users "$db_user" "$pwfile" on_node 1 || return 1
    cp "$pwfile" "$pwfile.active"
    # The joiners come one after the other: the donor serves one full state transfer at a
    # time, and on a busy machine a second joiner asking meanwhile may be left out.
    for n in 2 3; do
        echo "cluster: node $n joining"
        expected_size=$n
        start_node "$n" no
        wait_node "$n" node_synced "not synced" || return 1
    done
    expected_size=3
    for n in "${nodes[@]}"; do
        wait_node "$n" node_synced "not synced" || return 1
    done
}

# Stops every node (joiners first, the bootstrap node last) and waits until each is gone.
do_stop() {
    rm -f "$envfile"
    local n pid stopped=0
    local -a pids=()
    for n in 3 2 1; do
        pid=$(node_pid "$n")
        [[ -n $pid ]] || continue
        kill -TERM "$pid" 2>/dev/null || true
        pids+=("$n:$pid")
    done
    local entry
    for entry in "${pids[@]}"; do
        n=${entry%%:*}
        pid=${entry#*:}
        wait_for_end "$pid" "$(datadir_of "$n")" 60 "node $n (mariadbd $pid)"
        rm -f "$dir/node$n/mariadbd.pid"
        stopped=1
    done
    if ((stopped)); then
        echo "Galera cluster stopped"
    fi
}

stop() {
    [[ -d $dir ]] || return 0
    lock_folder "$dir"
    do_stop
}

print_env() {
    if [[ ! -f $envfile ]] || [[ -z $(node_pid 1) ]]; then
        echo "cluster: not running (scripts/cluster.sh start)" >&2
        exit 1
    fi
    print_exports "$envfile" KX_DB_HOST KX_DB_PORT KX_DB_USER KX_DB_PASSWORD KX_CLUSTER_PORTS
}

run_user=$(id -un) # as root mariadbd insists on --user=root

case ${1:-} in
start) start ;;
stop) stop ;;
env) print_env ;;
*)
    echo "usage: $0 start|stop|env" >&2
    exit 2
    ;;
esac
