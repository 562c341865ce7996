#!/usr/bin/env bash
# A private MariaDB server for running and testing the program, listening on 127.0.0.1 only.
#
#   server.sh start   start it (or reuse the one already running); prints port and password
#   server.sh stop    stop it
#   server.sh env     print its settings as shell exports (KX_DB_HOST, _PORT, _USER, _PASSWORD)
#   server.sh kill    end it at once (SIGKILL), as a crash would; its data stays
#   server.sh freeze  stop its process (SIGSTOP): connections stay open, nothing answers
#   server.sh thaw    let a frozen server go on (SIGCONT)
#
# kill, freeze and thaw are for fault tests; each acts only on the server of this data folder.
#
# Its data lives in .work/mariadb/ and survives a stop, so records entered through run.sh are
# still there next time. The port is picked automatically (the last one used if it is still
# free), unless KX_DB_PORT names one. The settings are written to .work/server.env.
#
# For a server of its own (as tools/bench.sh starts): KX_SERVER_DIR names another data folder,
# whose settings are then written to server.env inside it, and KX_SERVER_OPTIONS adds mariadbd
# options, which win over the ones given here.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script_name=server
# shellcheck source-path=SCRIPTDIR source=lib/mariadb.sh
source "$root/scripts/lib/mariadb.sh"
work=$root/.work
if [[ -n ${KX_SERVER_DIR:-} ]]; then
    dir=$(realpath -m "$KX_SERVER_DIR") # absolute: the running server is found by its --datadir
    envfile=$dir/server.env
else
    dir=$work/mariadb
    envfile=$work/server.env
fi
read -r -a extra_options <<<"${KX_SERVER_OPTIONS:-}"
datadir=$dir/data
pidfile=$dir/mariadbd.pid
errlog=$dir/error.log
pwfile=$dir/password
portfile=$dir/port
db_user=kartotex

# A Unix socket path is limited to about 107 bytes; a deep checkout gets one under /tmp, named
# after the checkout (and the data folder, when it is not the usual one).
socket=$(socket_path "$dir/mysqld.sock" "$root${KX_SERVER_DIR:+:$dir}" 'kartotex-mariadb-%s.sock')

# The pid of our server when it is running, else nothing.
running_pid() {
    datadir_pid "$pidfile" "$datadir"
}

admin() {
    MYSQL_PWD=$(<"$pwfile") "$client" --no-defaults -uroot -S "$socket" "$@"
}

# The client as root right after initialising, when root has no password yet.
fresh_root() {
    MYSQL_PWD='' "$client" --no-defaults -uroot -S "$socket" "$@"
}

# Whether the server answers as root, with the password or (when just initialised) without.
answers() {
    fresh_root -e 'select 1' >/dev/null 2>&1 || admin -e 'select 1' >/dev/null 2>&1
}

# Whether the started process $1 is still there (a zombie that was not waited for counts).
still_there() {
    kill -0 "$1" 2>/dev/null
}

pick_port() {
    if [[ -n ${KX_DB_PORT:-} ]]; then
        if port_in_use "$KX_DB_PORT"; then
            echo "server: port $KX_DB_PORT (KX_DB_PORT) is already in use on 127.0.0.1" >&2
            exit 1
        fi
        echo "$KX_DB_PORT"
        return
    fi
    local p
    if [[ -f $portfile ]]; then
        p=$(<"$portfile")
        if [[ $p =~ ^[0-9]+$ ]] && ! port_in_use "$p"; then
            echo "$p"
            return
        fi
    fi
    if ! free_port 200; then
        echo "server: no free port found" >&2
        exit 1
    fi
}

write_env() {
    write_settings "$envfile" "The private MariaDB server started by scripts/server.sh." \
        "$1" "$db_user" "$pwfile"
}

report() {
    echo "MariaDB server running on 127.0.0.1 port $1"
    echo "user $db_user, password $(<"$pwfile")"
    echo "settings in $envfile"
}

# Creates the data folder the first time, with a random password for root and for the
# program's user (who may do everything, including create the database).
initialise() {
    rm -rf "$datadir"
    mkdir -p "$datadir"
    echo "server: creating the data folder $datadir"
    install_datadir "$datadir" "$run_user" "$dir/install.log"
    new_password "$pwfile"
    touch "$dir/needs-users"
}

start() {
    mkdir -p "$dir"
    lock_folder "$dir"

    if [[ -n ${KX_DB_PORT:-} && ! $KX_DB_PORT =~ ^[0-9]+$ ]]; then
        echo "server: KX_DB_PORT must be a port number, not '$KX_DB_PORT'" >&2
        exit 2
    fi
    client=$(find_tool mariadb mysql)
    daemon=$(find_tool mariadbd mysqld)

    local pid port
    pid=$(running_pid)
    if [[ -n $pid ]]; then
        port=$(<"$portfile")
        if [[ -z ${KX_DB_PORT:-} || $KX_DB_PORT == "$port" ]] && admin -e 'select 1' >/dev/null 2>&1; then
            write_env "$port"
            report "$port"
            return
        fi
        do_stop
    fi

    if [[ ! -f $pwfile || ! -d $datadir/mysql ]]; then
        initialise
    fi
    rm -f "$socket" "$pidfile"

    local attempt
    for attempt in 1 2 3 4 5; do
        port=$(pick_port)
        echo "$port" >"$portfile"
        launch_mariadbd "$daemon" "$dir/stdout.log" --datadir="$datadir" --user="$run_user" \
            --port="$port" --socket="$socket" --pid-file="$pidfile" --log-error="$errlog" \
            "${extra_options[@]}"
        local child=$!
        local outcome=0
        wait_for_server 120 0 answers still_there "$child" || outcome=$?
        if ((outcome == 2)); then
            echo "server: no answer after 60 s; see $errlog" >&2
            kill "$child" 2>/dev/null || true
            exit 1
        fi
        if still_there "$child"; then
            break
        fi
        wait "$child" || true
        # Another process may have taken the port between the check and the bind.
        if [[ -z ${KX_DB_PORT:-} && $attempt -lt 5 ]] &&
            grep -q 'Address already in use' < <(tail -n 20 "$errlog"); then
            echo "server: port $port was taken; trying another" >&2
            rm -f "$portfile" # so the next pick is a new random one
            continue
        fi
        echo "server: mariadbd ended at start; last lines of $errlog:" >&2
        tail -n 20 "$errlog" >&2
        exit 1
    done

    if [[ -f $dir/needs-users ]]; then
        create_users "$db_user" "$pwfile" fresh_root
        rm -f "$dir/needs-users"
    fi
    if ! admin -e 'select 1' >/dev/null; then
        echo "server: cannot log in as root with the stored password ($pwfile)" >&2
        exit 1
    fi
    write_env "$port"
    report "$port"
}

# Stops the server and waits until it is gone; succeeds when none is running.
do_stop() {
    local pid
    pid=$(running_pid)
    rm -f "$envfile"
    [[ -n $pid ]] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    wait_for_end "$pid" "$datadir" 120 "mariadbd $pid"
    rm -f "$pidfile"
    echo "MariaDB server stopped"
}

stop() {
    [[ -d $dir ]] || return 0
    lock_folder "$dir"
    do_stop
}

print_env() {
    if [[ -z $(running_pid) || ! -f $envfile ]]; then
        echo "server: not running (scripts/server.sh start)" >&2
        exit 1
    fi
    print_exports "$envfile" KX_DB_HOST KX_DB_PORT KX_DB_USER KX_DB_PASSWORD
}

# Sends a signal to the server of this data folder; fails when none is running.
signal_server() {
    local pid
    pid=$(running_pid)
    if [[ -z $pid ]]; then
        echo "server: not running" >&2
        exit 1
    fi
    kill "-$1" "$pid"
    if [[ $1 == KILL ]]; then
        while serves_datadir "$pid" "$datadir"; do
            sleep 0.1
        done
        rm -f "$pidfile" "$envfile"
    fi
}

run_user=$(id -un) # as root mariadbd insists on --user=root

case ${1:-} in
start) start ;;
stop) stop ;;
env) print_env ;;
kill) signal_server KILL ;;
freeze) signal_server STOP ;;
thaw) signal_server CONT ;;
*)
    echo "usage: $0 start|stop|env|kill|freeze|thaw" >&2
    exit 2
    ;;
esac
