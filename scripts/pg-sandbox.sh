# Sourced by test.sh (and the benchmarks): starts a private PostgreSQL server on
# 127.0.0.1 at a free port, run as the postgres user from a temporary folder,
# and exports LWJXC_TEST_PG_URL. Fails loudly when the server cannot start.

pg_sandbox_start() {
    local bindir
    bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    if [[ -z "$bindir" || ! -x "$bindir/initdb" ]]; then
        echo "test.sh: PostgreSQL server programs not found (package postgresql)" >&2
        return 1
    fi
    PG_SANDBOX_DIR=$(mktemp -d /tmp/lwjxc-pg.XXXXXX)
    chmod 755 "$PG_SANDBOX_DIR"
    local port
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
    local as_pg=()
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres:postgres "$PG_SANDBOX_DIR"
        as_pg=(runuser -u postgres --)
    fi
    PG_SANDBOX_RUN=("${as_pg[@]}")
    PG_SANDBOX_BIN=$bindir
    "${as_pg[@]}" "$bindir/initdb" -D "$PG_SANDBOX_DIR/data" -U lwjxc --auth=trust -E UTF8 --locale=C.UTF-8 \
        >"$PG_SANDBOX_DIR/initdb.log" 2>&1 || { cat "$PG_SANDBOX_DIR/initdb.log" >&2; return 1; }
    "${as_pg[@]}" "$bindir/pg_ctl" -D "$PG_SANDBOX_DIR/data" -l "$PG_SANDBOX_DIR/server.log" -w -t 60 \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $PG_SANDBOX_DIR -c fsync=on -c max_connections=200" start \
        >/dev/null || { echo "test.sh: PostgreSQL did not start:" >&2; cat "$PG_SANDBOX_DIR/server.log" >&2; return 1; }
    export LWJXC_TEST_PG_URL="postgresql://lwjxc@127.0.0.1:$port/postgres"
    echo "PostgreSQL test server: $LWJXC_TEST_PG_URL"
}

pg_sandbox_stop() {
    if [[ -n "${PG_SANDBOX_DIR:-}" && -d "$PG_SANDBOX_DIR/data" ]]; then
        "${PG_SANDBOX_RUN[@]}" "$PG_SANDBOX_BIN/pg_ctl" -D "$PG_SANDBOX_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
        rm -rf "$PG_SANDBOX_DIR"
    fi
}
