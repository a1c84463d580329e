#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for a bounded time over a scratch copy of its seed corpus, so that new
# inputs never land in the repository. Fails on any crash, leak, sanitizer report or timeout;
# the failing input is copied to build-fuzz/findings/.
#   KELM_FUZZ_SECONDS   time per target (default 60)
#   KELM_FUZZ_JOBS      build jobs (default: the number of processors)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${KELM_FUZZ_SECONDS:-60}
jobs=${KELM_FUZZ_JOBS:-$(nproc)}
targets=(settings card_text csv)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELM_WERROR=ON -DKELM_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$jobs" --target "${targets[@]/%/_fuzz}"

# Readable stack traces in the reports (llvm-14 installs the symbolizer under this name).
[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ] && export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$PWD
findings=$root/build-fuzz/findings
status=0
for target in "${targets[@]}"; do
    mkdir -p "$scratch/$target/corpus" "$scratch/$target/tmp"
    cp -r "fuzz/corpus/$target/." "$scratch/$target/corpus/"
    dictionary=()
    [ -f "fuzz/$target.dict" ] && dictionary=(-dict="$root/fuzz/$target.dict")
    echo "Fuzzing $target for ${seconds}s"
    # Leaks and sanitizer reports abort the run; -timeout catches a hang on one input.
    if ! (cd "$scratch/$target" \
          && TMPDIR=$scratch/$target/tmp LC_ALL=C.UTF-8 \
             ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
             "$root/build-fuzz/bin/${target}_fuzz" corpus \
                 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
                 -print_final_stats=1 -artifact_prefix="$scratch/$target/" "${dictionary[@]}" >"$scratch/$target/log" 2>&1); then
        status=1
        echo "FAILED: $target"
        { grep -E -A3 "ERROR|broken|SUMMARY|Test unit written" "$scratch/$target/log" || tail -n 40 "$scratch/$target/log"; } \
            | head -n 60 || true
        mkdir -p "$findings"
        cp "$scratch/$target"/crash-* "$scratch/$target"/leak-* "$scratch/$target"/timeout-* \
           "$scratch/$target"/oom-* "$findings/" 2>/dev/null || true
    else
        grep -E "^stat::number_of_executed_units|^Done" "$scratch/$target/log" || true
    fi
done
exit $status
