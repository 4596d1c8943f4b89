# shellcheck shell=bash
# A private PostgreSQL 15 for the database tests, sourced by test.sh:
# initdb into a temporary folder and a server listening only on a Unix
# socket in that folder, so that no system cluster and no network port is
# touched. As root (CI) the server runs as the postgres account, which
# PostgreSQL requires. lorvex_pg_start exports LORVEX_TEST_PG, the ODBC
# connection attributes the tests add a database name to; lorvex_pg_stop
# stops the server and removes the folder.

LORVEX_PG_BIN="${LORVEX_PG_BIN:-/usr/lib/postgresql/15/bin}"
lorvex_pg_dir=""

lorvex_pg_run() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

lorvex_pg_start() {
    lorvex_pg_dir="$(mktemp -d /tmp/lorvex-pg.XXXXXX)"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$lorvex_pg_dir"; fi
    # Only the socket: its file name carries the port, so any number will do.
    local port=5432
    lorvex_pg_run "$LORVEX_PG_BIN/initdb" -D "$lorvex_pg_dir/data" -U postgres \
        --auth=trust -E UTF8 --locale=C.UTF-8 >"$lorvex_pg_dir/initdb.log" 2>&1 || {
        cat "$lorvex_pg_dir/initdb.log" >&2
        return 1
    }
    # Room for the concurrency test's writers and the tests running at once.
    lorvex_pg_run "$LORVEX_PG_BIN/pg_ctl" -D "$lorvex_pg_dir/data" -l "$lorvex_pg_dir/server.log" \
        -w -o "-k $lorvex_pg_dir -c listen_addresses='' -p $port -c max_connections=200 -c fsync=off" \
        start >/dev/null || {
        cat "$lorvex_pg_dir/server.log" >&2
        return 1
    }
    export LORVEX_TEST_PG="Driver=PostgreSQL Unicode;Servername=$lorvex_pg_dir;Port=$port;Username=postgres"
}

lorvex_pg_stop() {
    if [ -n "$lorvex_pg_dir" ] && [ -d "$lorvex_pg_dir/data" ]; then
        lorvex_pg_run "$LORVEX_PG_BIN/pg_ctl" -D "$lorvex_pg_dir/data" -m immediate -w stop \
            >/dev/null 2>&1 || true
    fi
    if [ -n "$lorvex_pg_dir" ]; then rm -rf "$lorvex_pg_dir"; fi
    lorvex_pg_dir=""
}
