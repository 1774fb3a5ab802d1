#!/bin/bash
# A Firebird server of the tests' own: "start DIR" makes a server root under DIR (configuration,
# databases.conf, a security database with SYSDBA and HOTEL, a lock directory), starts the server
# on a free port of 127.0.0.1 and writes DIR/port and DIR/pid; "stop DIR" stops that process by
# its id. No service manager and no server the machine already runs are involved.
set -u
action=$1
dir=$2
server=/usr/sbin/firebird
system_root=$(dirname "$(ls /usr/lib/*/firebird/3.0/firebird.msg /usr/lib/firebird/3.0/firebird.msg 2>/dev/null | head -n 1)")
root=$dir/root

# The process recorded in DIR/pid, if it is still our server.
our_server() {
    [ -f "$dir/pid" ] || return 1
    local pid
    pid=$(cat "$dir/pid")
    [ -n "$pid" ] && [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$server" ] || return 1
    tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qx "FIREBIRD=$root" || return 1
    echo "$pid"
}

stop_server() {
    local pid
    pid=$(our_server) || { rm -f "$dir/pid"; return 0; }
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    rm -f "$dir/pid"
}

write_conf() {
    cat > "$root/firebird.conf" <<CONF
ServerMode = Super
RemoteServicePort = $1
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $root/security3.fdb
CONF
}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

make_root() {
    rm -rf "$root"
    mkdir -p "$root/lock" "$dir/databases"
    for entry in "$system_root"/*; do
        case $(basename "$entry") in
        databases.conf | firebird.conf | intl) ;;
        *) ln -s "$entry" "$root/" ;;
        esac
    done
    # The engine does not load its character sets through a link.
    cp -r "$system_root/intl" "$root/intl"
    write_conf 0 # the security database below must be ours, never the machine's
    cat > "$root/databases.conf" <<CONF
security.db = $root/security3.fdb
HOTEL_ALIAS = $dir/databases/alias_hotel.fdb
HOTEL_WAYBACK = $dir/databases/wayback/hotel.fdb
CONF
    FIREBIRD=$root FIREBIRD_LOCK=$root/lock isql-fb -q -user SYSDBA > "$dir/security.out" 2>&1 <<SQL || return 1
create database '$root/security3.fdb';
create user SYSDBA password 'serverkey';
create user HOTEL password 'hotel1';
commit;
SQL
}

# Starts the server on the port and waits until it listens there.
launch() {
    local port=$1 pid
    write_conf "$port"
    FIREBIRD=$root FIREBIRD_LOCK=$root/lock setsid "$server" < /dev/null > "$dir/server.out" 2>&1 &
    pid=$!
    echo "$pid" > "$dir/pid"
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        if listening "$port"; then
            echo "$port" > "$dir/port"
            echo "Firebird server of the tests: pid $pid, 127.0.0.1 port $port"
            return 0
        fi
        sleep 0.1
    done
    stop_server
    return 1
}

start_server() {
    local port
    for _ in 1 2 3 4 5 6 7 8; do
        port=$((20000 + RANDOM % 40000))
        listening "$port" && continue
        launch "$port" && return 0
    done
    echo "the tests' Firebird server did not start (see $dir/server.out, $root/firebird.log)" >&2
    return 1
}

case $action in
start)
    stop_server # one left over by an interrupted run
    make_root || { echo "cannot make the server root: $(cat "$dir/security.out")" >&2; exit 1; }
    start_server
    ;;
stop)
    stop_server
    ;;
resume) # the same server root and port again, after the server was killed
    stop_server
    for _ in $(seq 50); do
        launch "$(cat "$dir/port")" && exit 0
        sleep 0.2
    done
    exit 1
    ;;
*)
    echo "usage: $0 start|stop|resume DIR" >&2
    exit 2
    ;;
esac
