#!/usr/bin/env bash
# Sourced, never run: starts a throwaway PostgreSQL cluster of our own in a temporary folder (as root),
# listening on 127.0.0.1 on a free port with trust authentication, and stops and deletes it when the
# sourcing script exits. The cluster also takes TLS, with a certificate for the name localhost only,
# from a CA made here. Afterwards: $bin (the server's programs), $work, $port and $ssl/ca.pem.
#   source scripts/postgresql-cluster.sh [EXTRA SERVER OPTIONS]

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
runuser -u postgres -- "$bin/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $work -c ssl=on -c ssl_cert_file=$ssl/server.crt \
        -c ssl_key_file=$ssl/server.key $*" start >/dev/null
echo "PostgreSQL $("$bin/postgres" --version | awk '{print $3}') on 127.0.0.1:$port"
