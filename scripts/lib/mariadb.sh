# shellcheck shell=bash
# The steps shared by scripts/server.sh (one private server) and scripts/cluster.sh (three
# Galera nodes): finding the programs, starting mariadbd with the settings every server of the
# program has, recognising our own server among the processes, free ports, waiting, users.
#
# Sourced, not run. It defines functions only and leaves the caller's shell options alone.
# Messages start with "$script_name:", which the caller sets (server, cluster).

# The first of the named programs that is installed, also where /usr/sbin is not on PATH (as
# for a normal user on Debian); ends the script when none is.
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
    echo "${script_name:?}: none of $* is installed (run scripts/setup.sh)" >&2
    exit 1
}

# The socket path $1, or, when it is too long for a Unix socket (about 107 bytes, so a deep
# checkout), one under the temporary folder named by the pattern $3 with the checksum of $2
# (what tells this server apart) in place of its %s.
socket_path() {
    local path=$1 key=$2 pattern=$3
    if ((${#path} > 100)); then
        # shellcheck disable=SC2059 # the pattern is the caller's, with one %s
        path=${TMPDIR:-/tmp}/$(printf "$pattern" "$(printf '%s' "$key" | cksum | cut -d' ' -f1)")
    fi
    echo "$path"
}

# Whether process $1 is a server on the data folder $2: a pid file may name a recycled pid, and
# an ended server lingering as a zombie has an empty command line.
serves_datadir() {
    local args arg
    mapfile -d '' args 2>/dev/null <"/proc/$1/cmdline" || return 1
    for arg in "${args[@]}"; do
        [[ $arg == "--datadir=$2" ]] && return 0
    done
    return 1
}

# The pid of the server on the data folder $2 when it runs, else nothing; the pid file $1 is
# tried first, then every process, so that a lost pid file does not hide a running server.
datadir_pid() {
    local pidfile=$1 datadir=$2 pid
    if [[ -f $pidfile ]]; then
        pid=$(<"$pidfile")
        if [[ $pid =~ ^[0-9]+$ ]] && serves_datadir "$pid" "$datadir"; then
            echo "$pid"
            return
        fi
    fi
    for pid in /proc/[0-9]*; do
        pid=${pid#/proc/}
        if [[ $pid != "$$" ]] && serves_datadir "$pid" "$datadir"; then
            echo "$pid"
            return
        fi
    done
}

# Whether something listens on port $1 of 127.0.0.1 (a connection is accepted).
port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# A random port between 20000 and 49999 that is free and none of $2... (taken already), found
# in at most $1 tries; fails when there is none.
free_port() {
    local tries=$1 p
    shift
    while ((tries-- > 0)); do
        p=$((20000 + RANDOM % 30000))
        [[ " $* " == *" $p "* ]] && continue
        port_in_use "$p" && continue
        echo "$p"
        return 0
    done
    return 1
}

# Writes a new random password to file $1, readable by its owner only.
new_password() {
    od -An -tx1 -N12 /dev/urandom | tr -d ' \n' >"$1"
    chmod 600 "$1"
}

# Creates the system tables in the empty data folder $1 for the system user $2, root with a
# password login; ends the script with the log $3 shown when that fails.
install_datadir() {
    local install_db
    install_db=$(find_tool mariadb-install-db mysql_install_db)
    if ! "$install_db" --no-defaults --datadir="$1" --user="$2" \
        --auth-root-authentication-method=normal --skip-test-db >"$3" 2>&1; then
        cat "$3" >&2
        exit 1
    fi
}

# Starts mariadbd $1 in the background in a session of its own (a terminal's signals do not
# reach it), its output appended to $2, without the caller's lock (descriptor 9). Every server
# of the program listens on 127.0.0.1 only, resolves no names, takes large packets and keeps
# text in Latin-2 with the Hungarian collation; the further arguments are its own options
# (data folder, port, socket, files) and win over these. $! is its pid.
launch_mariadbd() {
    local daemon=$1 stdout_log=$2
    shift 2
    setsid "$daemon" --no-defaults --bind-address=127.0.0.1 --skip-name-resolve \
        --max-allowed-packet=1G --character-set-server=latin2 \
        --collation-server=latin2_hungarian_ci "$@" \
        </dev/null >>"$stdout_log" 2>&1 9>&- &
}

# Polls every half second until the command "$3 $5..." succeeds (0). Gives up when the command
# "$4 $5..." says the server no longer runs, from poll $2 on (1), or after $1 polls (2).
wait_for_server() {
    local polls=$1 grace=$2 ready=$3 alive=$4 waited=0
    shift 4
    until "$ready" "$@"; do
        if ((waited >= grace)) && ! "$alive" "$@"; then
            return 1
        fi
        sleep 0.5
        waited=$((waited + 1))
        if ((waited > polls)); then
            return 2
        fi
    done
}

# Waits until server $1 on the data folder $2 has ended after being told to stop; after $3
# polls of half a second it is killed, with a message that names it as $4.
wait_for_end() {
    local pid=$1 datadir=$2 polls=$3 waited=0
    while serves_datadir "$pid" "$datadir"; do
        sleep 0.5
        waited=$((waited + 1))
        if ((waited > polls)); then
            echo "${script_name:?}: $4 did not end in $((polls / 2)) s; killing it" >&2
            kill -KILL "$pid" 2>/dev/null || true
            sleep 0.5
            break
        fi
    done
}

# Creates the program's user $1, who may do everything (the database included), at 127.0.0.1
# and localhost with the password in file $2, and gives root that password too; the command
# "$3..." runs the client as root on a fresh server (whose root has no password yet).
create_users() {
    local user=$1 pw
    pw=$(<"$2")
    shift 2
    "$@" <<SQL
CREATE USER IF NOT EXISTS '$user'@'127.0.0.1' IDENTIFIED BY '$pw';
CREATE USER IF NOT EXISTS '$user'@'localhost' IDENTIFIED BY '$pw';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$user'@'localhost' WITH GRANT OPTION;
ALTER USER 'root'@'localhost' IDENTIFIED BY '$pw';
FLUSH PRIVILEGES;
SQL
}

# Writes the settings file $1 at once (never half written): the comment $2, the program's
# server KX_DB_HOST, KX_DB_PORT ($3), KX_DB_USER ($4), KX_DB_PASSWORD (from file $5), then the
# further NAME=VALUE pairs.
write_settings() {
    local file=$1 comment=$2 port=$3 user=$4 password pair
    password=$(<"$5")
    shift 5
    {
        echo "# $comment"
        printf 'KX_DB_HOST=%q\n' 127.0.0.1
        printf 'KX_DB_PORT=%q\n' "$port"
        printf 'KX_DB_USER=%q\n' "$user"
        printf 'KX_DB_PASSWORD=%q\n' "$password"
        for pair in "$@"; do
            printf '%s=%q\n' "${pair%%=*}" "${pair#*=}"
        done
    } >"$file.tmp"
    mv "$file.tmp" "$file"
}

# Prints the settings file $1's variables $2... as one line of shell exports (for eval).
print_exports() {
    local file=$1 name line=export
    shift
    # shellcheck source=/dev/null
    source "$file"
    for name in "$@"; do
        line+=" $name=$(printf '%q' "${!name}")"
    done
    echo "$line"
}

# Takes the lock of the folder $1 (descriptor 9, held until the script ends): one start or stop
# at a time.
lock_folder() {
    exec 9>"$1/lock"
    flock 9
}
