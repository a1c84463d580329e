#!/usr/bin/env bash
# Every test, from a fresh clone on Debian 12 (as root), with no display: installs what it needs,
# builds with warnings as errors and runs the suite; then the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer. In between, the Debian packages are built,
# installed and used by the host examples (scripts/package-tests.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELM_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-test -j"$jobs"
ctest --test-dir build-test -LE pcsc --output-on-failure --timeout 300 -j"$jobs"
bash scripts/package-tests.sh build-test

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKELM_WERROR=ON -DKELM_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    ctest --test-dir build-asan -LE pcsc --output-on-failure --timeout 600 -j"$jobs"
bash scripts/fuzz.sh
bash scripts/pcsc-tests.sh build-test
bash scripts/server-tests.sh build-test

# The benchmark at its smallest size only, on both engines, to keep it working; the README gives the
# full run.
KELM_BENCH_BUILD=build-bench-quick bash scripts/bench.sh --quick
