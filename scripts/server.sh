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
socket=$dir/mysqld.sock
if ((${#socket} > 100)); then
    socket=${TMPDIR:-/tmp}/kartotex-mariadb-$(printf '%s' "$root${KX_SERVER_DIR:+:$dir}" |
        cksum | cut -d' ' -f1).sock
fi

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
    echo "server: none of $* is installed (run scripts/setup.sh)" >&2
    exit 1
}

# Whether process $1 is a server on our data folder (not a recycled pid).
serves_our_data() {
    local args arg
    mapfile -d '' args 2>/dev/null <"/proc/$1/cmdline" || return 1
    for arg in "${args[@]}"; do
        [[ $arg == "--datadir=$datadir" ]] && return 0
    done
    return 1
}

# The pid of our server when it is running, else nothing. Looks past a lost pid file.
running_pid() {
    local pid
    if [[ -f $pidfile ]]; then
        pid=$(<"$pidfile")
        if [[ $pid =~ ^[0-9]+$ ]] && serves_our_data "$pid"; then
            echo "$pid"
            return
        fi
    fi
    for pid in /proc/[0-9]*; do
        pid=${pid#/proc/}
        if [[ $pid != "$$" ]] && serves_our_data "$pid"; then
            echo "$pid"
            return
        fi
    done
}

admin() {
    MYSQL_PWD=$(<"$pwfile") "$client" --no-defaults -uroot -S "$socket" "$@"
}

port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
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
    for _ in $(seq 200); do
        p=$((20000 + RANDOM % 30000))
        if ! port_in_use "$p"; then
            echo "$p"
            return
        fi
    done
    echo "server: no free port found" >&2
    exit 1
}

write_env() {
    local port=$1 password
    password=$(<"$pwfile")
    {
        echo "# The private MariaDB server started by scripts/server.sh."
        printf 'KX_DB_HOST=%q\n' 127.0.0.1
        printf 'KX_DB_PORT=%q\n' "$port"
        printf 'KX_DB_USER=%q\n' "$db_user"
        printf 'KX_DB_PASSWORD=%q\n' "$password"
    } >"$envfile.tmp"
    mv "$envfile.tmp" "$envfile"
}

report() {
    echo "MariaDB server running on 127.0.0.1 port $1"
    echo "user $db_user, password $(<"$pwfile")"
    echo "settings in $envfile"
}

# Creates the data folder the first time, with a random password for root and for the
# program's user (who may do everything, including create the database).
initialise() {
    local install_db
    install_db=$(find_tool mariadb-install-db mysql_install_db)
    rm -rf "$datadir"
    mkdir -p "$datadir"
    echo "server: creating the data folder $datadir"
    if ! "$install_db" --no-defaults --datadir="$datadir" --user="$run_user" \
        --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1; then
        cat "$dir/install.log" >&2
        exit 1
    fi
    od -An -tx1 -N12 /dev/urandom | tr -d ' \n' >"$pwfile"
    chmod 600 "$pwfile"
    touch "$dir/needs-users"
}

create_users() {
    local pw
    pw=$(<"$pwfile")
    # The first connection after initialising still has root without a password.
    MYSQL_PWD='' "$client" --no-defaults -uroot -S "$socket" <<SQL
CREATE USER IF NOT EXISTS '$db_user'@'127.0.0.1' IDENTIFIED BY '$pw';
CREATE USER IF NOT EXISTS '$db_user'@'localhost' IDENTIFIED BY '$pw';
GRANT ALL PRIVILEGES ON *.* TO '$db_user'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$db_user'@'localhost' WITH GRANT OPTION;
ALTER USER 'root'@'localhost' IDENTIFIED BY '$pw';
FLUSH PRIVILEGES;
SQL
    rm -f "$dir/needs-users"
}

start() {
    mkdir -p "$dir"
    exec 9>"$dir/lock"
    flock 9 # one start or stop at a time

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
        setsid "$daemon" --no-defaults --datadir="$datadir" --user="$run_user" \
            --port="$port" --bind-address=127.0.0.1 --socket="$socket" --pid-file="$pidfile" \
            --log-error="$errlog" --skip-name-resolve \
            --max-allowed-packet=1G --character-set-server=latin2 \
            --collation-server=latin2_hungarian_ci "${extra_options[@]}" \
            </dev/null >>"$dir/stdout.log" 2>&1 9>&- &
        local child=$!
        local waited=0
        while ! MYSQL_PWD='' "$client" --no-defaults -uroot -S "$socket" -e 'select 1' >/dev/null 2>&1 &&
            ! admin -e 'select 1' >/dev/null 2>&1; do
            if ! kill -0 "$child" 2>/dev/null; then
                break
            fi
            sleep 0.5
            waited=$((waited + 1))
            if ((waited > 120)); then
                echo "server: no answer after 60 s; see $errlog" >&2
                kill "$child" 2>/dev/null || true
                exit 1
            fi
        done
        if kill -0 "$child" 2>/dev/null; then
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
        create_users
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
    local waited=0
    # An ended server may linger as a zombie under a parent that does not reap; its command
    # line is empty then, so this waits for the real end.
    while serves_our_data "$pid"; do
        sleep 0.5
        waited=$((waited + 1))
        if ((waited > 120)); then
            echo "server: mariadbd $pid did not end in 60 s; killing it" >&2
            kill -KILL "$pid" 2>/dev/null || true
            sleep 0.5
            break
        fi
    done
    rm -f "$pidfile"
    echo "MariaDB server stopped"
}

stop() {
    [[ -d $dir ]] || return 0
    exec 9>"$dir/lock"
    flock 9
    do_stop
}

print_env() {
    if [[ -z $(running_pid) || ! -f $envfile ]]; then
        echo "server: not running (scripts/server.sh start)" >&2
        exit 1
    fi
    # shellcheck source=/dev/null
    source "$envfile"
    # shellcheck disable=SC2153
    printf 'export KX_DB_HOST=%q KX_DB_PORT=%q KX_DB_USER=%q KX_DB_PASSWORD=%q\n' \
        "$KX_DB_HOST" "$KX_DB_PORT" "$KX_DB_USER" "$KX_DB_PASSWORD"
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
        while serves_our_data "$pid"; do
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
