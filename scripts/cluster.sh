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
dir=$(realpath -m "${KX_CLUSTER_DIR:-$root/.work/cluster}")
envfile=$dir/cluster.env
pwfile=$dir/password
db_user=kartotex
nodes=(1 2 3)
provider=${KX_GALERA_PROVIDER:-/usr/lib/galera/libgalera_smm.so}
read -r -a extra_options <<<"${KX_CLUSTER_OPTIONS:-}"

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
    echo "cluster: none of $* is installed (run scripts/setup.sh)" >&2
    exit 1
}

# A socket path is limited to about 107 bytes; a deep checkout gets its sockets under /tmp.
socket_of() {
    local s=$dir/node$1/mysqld.sock
    if ((${#s} > 100)); then
        s=${TMPDIR:-/tmp}/kartotex-galera-$(printf '%s' "$dir" | cksum | cut -d' ' -f1)-$1.sock
    fi
    echo "$s"
}

datadir_of() {
    echo "$dir/node$1/data"
}

# Whether process $1 is a node on our data folder $2 (not a recycled pid).
serves_data() {
    local args arg
    mapfile -d '' args 2>/dev/null <"/proc/$1/cmdline" || return 1
    for arg in "${args[@]}"; do
        [[ $arg == "--datadir=$2" ]] && return 0
    done
    return 1
}

# The pid of node $1 when it runs, else nothing. Looks past a lost pid file.
node_pid() {
    local datadir pid
    datadir=$(datadir_of "$1")
    if [[ -f $dir/node$1/mariadbd.pid ]]; then
        pid=$(<"$dir/node$1/mariadbd.pid")
        if [[ $pid =~ ^[0-9]+$ ]] && serves_data "$pid" "$datadir"; then
            echo "$pid"
            return
        fi
    fi
    for pid in /proc/[0-9]*; do
        pid=${pid#/proc/}
        if [[ $pid != "$$" ]] && serves_data "$pid" "$datadir"; then
            echo "$pid"
            return
        fi
    done
}

port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Twelve distinct free ports: per node the client port, group communication, incremental
# and full state transfer.
declare -a ports=()
pick_ports() {
    ports=()
    local p tries=0
    while ((${#ports[@]} < 12)); do
        p=$((20000 + RANDOM % 30000))
        tries=$((tries + 1))
        if ((tries > 1000)); then
            echo "cluster: no free ports found" >&2
            exit 1
        fi
        [[ " ${ports[*]} " == *" $p "* ]] && continue
        port_in_use "$p" && continue
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
    # write lives on in the other nodes. The rest matches scripts/server.sh (latin2,
    # Hungarian collation, short lock waits, large packets), so that the tests meet the same
    # server behaviour on every node.
    setsid "$daemon" --no-defaults --datadir="$datadir" --user="$run_user" \
        --port="$(client_port "$n")" --bind-address=127.0.0.1 --socket="$(socket_of "$n")" \
        --pid-file="$dir/node$n/mariadbd.pid" --log-error="$dir/node$n/error.log" \
        --skip-name-resolve --max-allowed-packet=1G \
        --character-set-server=latin2 --collation-server=latin2_hungarian_ci \
        --innodb-buffer-pool-size=64M \
        --binlog-format=ROW --default-storage-engine=InnoDB --innodb-autoinc-lock-mode=2 \
        --wsrep-mode=REQUIRED_PRIMARY_KEY,STRICT_REPLICATION --innodb-flush-log-at-trx-commit=2 \
        --wsrep-on=ON --wsrep-provider="$provider" --wsrep-cluster-name=kartotex \
        --wsrep-cluster-address="$address" --wsrep-node-name="node$n" \
        --wsrep-node-address=127.0.0.1 --wsrep-sst-method=rsync \
        --wsrep-sst-receive-address="127.0.0.1:$(sst_port "$n")" \
        --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:$(group_port "$n");ist.recv_addr=127.0.0.1:$(ist_port "$n");gcache.size=256M" \
        "${first[@]}" "${extra_options[@]}" \
        </dev/null >>"$dir/node$n/stdout.log" 2>&1 9>&- &
}

# Waits until node $1 answers and is a synced member of a cluster of three; fails when its
# server ends or after two minutes.
wait_synced() {
    local n=$1 waited=0 size state ready pid
    while :; do
        size=$(status_of "$n" wsrep_cluster_size || true)
        state=$(status_of "$n" wsrep_local_state_comment || true)
        ready=$(status_of "$n" wsrep_ready || true)
        if [[ $size == 3 && $state == Synced && $ready == ON ]]; then
            return 0
        fi
        pid=$(node_pid "$n")
        if [[ -z $pid ]] && ((waited > 10)); then
            echo "cluster: node $n ended at start; last lines of $dir/node$n/error.log:" >&2
            tail -n 25 "$dir/node$n/error.log" >&2 || true
            return 1
        fi
        sleep 0.5
        waited=$((waited + 1))
        if ((waited > 240)); then
            echo "cluster: node $n not synced after 120 s (size '$size', state '$state');" \
                "see $dir/node$n/error.log" >&2
            return 1
        fi
    done
}

# Waits until node $1 answers as root (before the cluster is complete).
wait_answers() {
    local n=$1 waited=0
    until on_node "$n" -e 'select 1' >/dev/null 2>&1; do
        if [[ -z $(node_pid "$n") ]] && ((waited > 10)); then
            echo "cluster: node $n ended at start; last lines of $dir/node$n/error.log:" >&2
            tail -n 25 "$dir/node$n/error.log" >&2 || true
            return 1
        fi
        sleep 0.5
        waited=$((waited + 1))
        if ((waited > 240)); then
            echo "cluster: node $n gives no answer after 120 s; see $dir/node$n/error.log" >&2
            return 1
        fi
    done
}

create_users() {
    local pw
    pw=$(<"$pwfile")
    on_node 1 <<SQL
CREATE USER IF NOT EXISTS '$db_user'@'127.0.0.1' IDENTIFIED BY '$pw';
CREATE USER IF NOT EXISTS '$db_user'@'localhost' IDENTIFIED BY '$pw';
GRANT ALL PRIVILEGES ON *.* TO '$db_user'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$db_user'@'localhost' WITH GRANT OPTION;
ALTER USER 'root'@'localhost' IDENTIFIED BY '$pw';
FLUSH PRIVILEGES;
SQL
    cp "$pwfile" "$pwfile.active"
}

write_env() {
    local password
    password=$(<"$pwfile")
    {
        echo "# The private Galera cluster started by scripts/cluster.sh; the program's port is node 1."
        printf 'KX_DB_HOST=%q\n' 127.0.0.1
        printf 'KX_DB_PORT=%q\n' "$(client_port 1)"
        printf 'KX_DB_USER=%q\n' "$db_user"
        printf 'KX_DB_PASSWORD=%q\n' "$password"
        printf 'KX_CLUSTER_PORTS=%q\n' "$(client_port 1) $(client_port 2) $(client_port 3)"
    } >"$envfile.tmp"
    mv "$envfile.tmp" "$envfile"
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
    exec 9>"$dir/lock"
    flock 9 # one start or stop at a time
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

    local n
    for n in "${nodes[@]}"; do
        rm -rf "$dir/node$n"
        mkdir -p "$(datadir_of "$n")"
        rm -f "$(socket_of "$n")"
    done
    rm -f "$pwfile.active" "$envfile"
    od -An -tx1 -N12 /dev/urandom | tr -d ' \n' >"$pwfile"
    chmod 600 "$pwfile"
    pick_ports
    echo "${ports[*]}" >"$dir/ports"

    local install_db
    install_db=$(find_tool mariadb-install-db mysql_install_db)
    if ! "$install_db" --no-defaults --datadir="$(datadir_of 1)" --user="$run_user" \
        --auth-root-authentication-method=normal --skip-test-db >"$dir/node1/install.log" 2>&1; then
        cat "$dir/node1/install.log" >&2
        exit 1
    fi
    if ((EUID == 0)); then
        # As root, the joiners' rsync daemon writes as an unprivileged user (nobody); it
        # must be able to write into the data folders or the transfer fails with "cannot
        # stat destination". The server itself runs as root and reads what it receives.
        chmod 0777 "$dir"/node{1,2,3} "$dir"/node{1,2,3}/data
    fi

    echo "cluster: bootstrapping node 1"
    start_node 1 yes
    wait_answers 1
    create_users
    echo "cluster: nodes 2 and 3 joining"
    start_node 2 no
    start_node 3 no
    for n in "${nodes[@]}"; do
        wait_synced "$n"
    done
    write_env
    trap - EXIT
    report
}

# Stops every node (joiners first, the bootstrap node last) and waits until each is gone.
do_stop() {
    rm -f "$envfile"
    local n pid waited stopped=0
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
        waited=0
        # An ended server may linger as a zombie whose command line is empty: that counts
        # as ended.
        while serves_data "$pid" "$(datadir_of "$n")"; do
            sleep 0.5
            waited=$((waited + 1))
            if ((waited > 60)); then
                echo "cluster: node $n (mariadbd $pid) did not end in 30 s; killing it" >&2
                kill -KILL "$pid" 2>/dev/null || true
                sleep 0.5
                break
            fi
        done
        rm -f "$dir/node$n/mariadbd.pid"
        stopped=1
    done
    if ((stopped)); then
        echo "Galera cluster stopped"
    fi
}

stop() {
    [[ -d $dir ]] || return 0
    exec 9>"$dir/lock"
    flock 9
    do_stop
}

print_env() {
    if [[ ! -f $envfile ]] || [[ -z $(node_pid 1) ]]; then
        echo "cluster: not running (scripts/cluster.sh start)" >&2
        exit 1
    fi
    # shellcheck source=/dev/null
    source "$envfile"
    # shellcheck disable=SC2153
    printf 'export KX_DB_HOST=%q KX_DB_PORT=%q KX_DB_USER=%q KX_DB_PASSWORD=%q KX_CLUSTER_PORTS=%q\n' \
        "$KX_DB_HOST" "$KX_DB_PORT" "$KX_DB_USER" "$KX_DB_PASSWORD" "$KX_CLUSTER_PORTS"
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
