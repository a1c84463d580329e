#!/usr/bin/env bash
# kelm-bench on the embedded database and on a throwaway local PostgreSQL server (as root): builds
# build-bench (or $KELM_BENCH_BUILD), starts the cluster of scripts/postgresql-cluster.sh and runs
# every benchmark, the member rows once more with the suffix _postgresql. Arguments go to kelm-bench.
#   bash scripts/bench.sh                       every size (the first run makes the data: minutes)
#   bash scripts/bench.sh --quick               10,000 rows only (what scripts/test.sh runs)
#   bash scripts/bench.sh --benchmark_filter='member_screen_load.*/1000000' --benchmark_repetitions=3
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh
build=${KELM_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELM_WERROR=ON -DKELM_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kelm-bench

# The server as a shop would run it (fsync on), with room for the million-member copy.
source scripts/postgresql-cluster.sh -c shared_buffers=256MB -c max_wal_size=2GB
# Both kelm and the libpq floor talk in clear, so neither pays for TLS the other does not.
export PGSSLMODE=disable
export QT_QPA_PLATFORM=offscreen
"$build/bin/kelm-bench" --postgresql "127.0.0.1:$port" "$@"
