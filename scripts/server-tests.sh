#!/usr/bin/env bash
# The CTest suite of a build folder against a real PostgreSQL server (as root, after building): a
# throwaway cluster (scripts/postgresql-cluster.sh), reached once through libpq and once through
# PostgreSQL's ODBC driver. Each test database is created and dropped by the tests themselves. The
# cluster's CA is KELM_TEST_PG_CA; the suite's own connections stay unencrypted (PGSSLMODE) unless a
# test asks.
#   bash scripts/server-tests.sh build-test
#   KELM_TEST_FILTER=faults bash scripts/server-tests.sh build-test   (only the tests whose names match)
# Left out: the tests labelled pcsc (they need scripts/pcsc-tests.sh's reader stack) and those
# labelled sqlite-only (they work on the SQLite file itself).
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(cd "${1:?usage: server-tests.sh BUILD_FOLDER}" && pwd)
bash scripts/install-packages.sh
jobs=$(nproc)

# fsync off: the cluster is thrown away, and the suite creates and drops a database per test.
source scripts/postgresql-cluster.sh -c max_connections=300 -c fsync=off

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
