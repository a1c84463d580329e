#!/usr/bin/env bash
# The CTest suite of a build folder against a real PostgreSQL server (as root, after building): a
# throwaway cluster of our own in a temporary folder, listening on 127.0.0.1 on a free port with trust
# authentication, reached once through libpq and once through PostgreSQL's ODBC driver. Each test
# database is created and dropped by the tests themselves; the cluster goes at the end. The cluster
# also takes TLS, with a certificate for the name localhost only from a CA made here
# (KELM_TEST_PG_CA); the suite's own connections stay unencrypted (PGSSLMODE) unless a test asks.
#   bash scripts/server-tests.sh build-test
#   KELM_TEST_FILTER=faults bash scripts/server-tests.sh build-test   (only the tests whose names match)
# Left out: the tests labelled pcsc (they need scripts/pcsc-tests.sh's reader stack) and those
# labelled sqlite-only (they work on the SQLite file itself).
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(cd "${1:?usage: server-tests.sh BUILD_FOLDER}" && pwd)
bash scripts/install-packages.sh
jobs=$(nproc)

bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
work=$(mktemp -d /tmp/kelm-postgresql.XXXXXX)
chown postgres:postgres "$work"

stop_server() {
    local status=$?
    if [ -f "$work/data/postmaster.pid" ]; then
        runuser -u postgres -- "$bin/pg_ctl" -D "$work/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    if [ "$status" -ne 0 ] && [ -f "$work/server.log" ]; then
        echo "--- PostgreSQL log (last lines)"; tail -n 40 "$work/server.log" || true
    fi
    rm -rf "$work"
    exit "$status"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

# The first port from 55432 on that nothing on 127.0.0.1 answers.
port=55432
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
    port=$((port + 1))
done

# A CA and a server certificate whose only name is localhost: a till that checks it reaches the server
# as localhost, and is refused as 127.0.0.1.
ssl="$work/ssl"
mkdir "$ssl"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "/CN=kelm test CA" \
    -keyout "$ssl/ca.key" -out "$ssl/ca.pem" 2>/dev/null
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=localhost" \
    -keyout "$ssl/server.key" -out "$ssl/server.csr" 2>/dev/null
printf 'subjectAltName=DNS:localhost\n' >"$ssl/names"
openssl x509 -req -in "$ssl/server.csr" -CA "$ssl/ca.pem" -CAkey "$ssl/ca.key" -CAcreateserial -days 2 \
    -extfile "$ssl/names" -out "$ssl/server.crt" 2>/dev/null
chown postgres:postgres "$ssl/server.key" "$ssl/server.crt"
chmod 600 "$ssl/server.key"

runuser -u postgres -- "$bin/initdb" -D "$work/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >/dev/null
# fsync off: the cluster is thrown away, and the suite creates and drops a database per test.
runuser -u postgres -- "$bin/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $work -c max_connections=300 -c fsync=off \
        -c ssl=on -c ssl_cert_file=$ssl/server.crt -c ssl_key_file=$ssl/server.key" start >/dev/null
echo "PostgreSQL $("$bin/postgres" --version | awk '{print $3}') on 127.0.0.1:$port"

export KELM_TEST_PG_HOST=127.0.0.1 KELM_TEST_PG_PORT=$port KELM_TEST_PG_USER=postgres KELM_TEST_PG_CA=$ssl/ca.pem
# libpq given no sslmode would take TLS whenever this server offers it: the suite stays in clear, as
# it always ran, and only what sets 加密 asks for TLS.
export PGSSLMODE=disable
export QT_QPA_PLATFORM=offscreen
failed=()
for engine in postgresql odbc-postgresql; do
    # kelm-admin sets up an empty server database as a shop would: its configuration (a checked,
    # encrypted line), tables, key byte, demo data.
    echo "=== kelm-admin configure, init and demo on $engine"
    database="admin_${engine//-/_}"
    runuser -u postgres -- "$bin/createdb" -h 127.0.0.1 -p "$port" "$database"
    mkdir -p "$work/$engine"
    "$build/bin/kelm-admin" --config "$work/$engine/config.ini" configure 驱动="$engine" 服务器="localhost,$port" \
        用户名=postgres 数据库名称="$database" CA证书="$ssl/ca.pem"
    "$build/bin/kelm-admin" --config "$work/$engine/config.ini" init
    "$build/bin/kelm-admin" --config "$work/$engine/config.ini" demo
    members=$(runuser -u postgres -- "$bin/psql" -h 127.0.0.1 -p "$port" -d "$database" -Atc \
        "SELECT count(*) || ' members, ' || (SELECT count(*) FROM lpgl) || ' gifts, ' || (SELECT count(*) FROM bz) || ' key' FROM kelm")
    echo "$members"
    [ "$members" = "12 members, 6 gifts, 1 key" ] || failed+=("kelm-admin on $engine")

    echo "=== the suite on $engine"
    KELM_TEST_ENGINE=$engine ctest --test-dir "$build" --output-on-failure --timeout 300 -j"$jobs" \
        -LE 'pcsc|sqlite-only' ${KELM_TEST_FILTER:+-R "$KELM_TEST_FILTER"} || failed+=("$engine")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed on: ${failed[*]}"
    exit 1
fi
