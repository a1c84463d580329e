#!/bin/sh
# Usage: check-exports.sh LIBRARY. Fails unless the library exports exactly the host's API
# (exported-symbols.txt beside this script): an extra symbol would become ABI by accident, a missing
# one breaks hosts built against an earlier 1.x.
set -eu
export LC_ALL=C
expected="$(dirname "$0")/exported-symbols.txt"
nm -D --defined-only -C "$1" | cut -d' ' -f3- | sort -u | diff -u "$expected" - \
    || { echo "check-exports: $1 does not export exactly $expected" >&2; exit 1; }
