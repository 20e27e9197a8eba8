#!/usr/bin/env bash
# test.sh — sets Kalimbor up on this machine if needed, then runs the whole test suite:
#   1. unit, GL and end-to-end tests on the normal build;
#   2. the same tests built with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer;
#   3. every fuzz target of the file readers for a bounded time.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
fuzz_seconds="${KALIMBOR_FUZZ_SECONDS:-60}"
jobs="$(nproc)"
passed=0
failed=0
failures=()

stage() {
    local name="$1"
    shift
    echo
    echo "==== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        failures+=("$name")
    fi
}

plain_tests() {
    ctest --test-dir "$root/build" --output-on-failure -j"$jobs"
}

sanitized_tests() {
    local build="$root/build-sanitize"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKALIMBOR_SANITIZE=ON \
        -DKALIMBOR_BENCH=OFF >/dev/null &&
        cmake --build "$build" -j"$jobs" &&
        ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" \
        LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        ctest --test-dir "$build" --output-on-failure -j"$jobs"
}

fuzz_targets() {
    local build="$root/build-fuzz"
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKALIMBOR_FUZZ=ON -DKALIMBOR_TESTS=OFF -DKALIMBOR_BENCH=OFF >/dev/null &&
        cmake --build "$build" -j"$jobs" || return 1
    local status=0
    for target in "$build"/fuzz/*_fuzz; do
        local name corpus work
        name="$(basename "$target" _fuzz)"
        corpus="$root/fuzz/corpus/$name"
        work="$(mktemp -d)"
        echo "-- $name: ${fuzz_seconds}s"
        if ! "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 "$work" "$corpus" 2>"$work.log"; then
            tail -n 60 "$work.log"
            status=1
        else
            grep -E 'stat::number_of_executed_units|Done' "$work.log" | tail -n 2
        fi
        rm -rf "$work" "$work.log"
    done
    return $status
}

"$root/scripts/setup.sh" || { echo "setup failed"; exit 1; }
stage "tests" plain_tests
stage "sanitized tests" sanitized_tests
stage "fuzz targets" fuzz_targets

echo
if [ "$failed" -ne 0 ]; then
    echo "failed stages: ${failures[*]}"
fi
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
