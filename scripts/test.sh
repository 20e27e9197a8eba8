#!/usr/bin/env bash
# test.sh — sets Kalimbor up on this machine if needed, then runs the whole test suite:
#   1. the format check: every source file as clang-format lays it out;
#   2. unit, GL and end-to-end tests on the normal build;
#   3. the same tests built with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer;
#   4. every fuzz target of the file readers for a bounded time (KALIMBOR_FUZZ_SECONDS each).
# With KALIMBOR_STRESS=1 every core is kept busy while the end-to-end tests run, as on a busy
# CI runner: they must pass all the same.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
fuzz_seconds="${KALIMBOR_FUZZ_SECONDS:-30}"
jobs="$(nproc)"
passed=0
failed=0
failures=()
busy=()

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

stop_load() {
    if [ "${#busy[@]}" -ne 0 ]; then
        kill "${busy[@]}" 2>/dev/null
        wait "${busy[@]}" 2>/dev/null
    fi
    busy=()
}
trap stop_load EXIT
trap 'exit 130' INT TERM

# The end-to-end tests of one build; under KALIMBOR_STRESS with one busy process a core.
e2e_tests() {
    local build="$1" status
    if [ "${KALIMBOR_STRESS:-0}" = 1 ]; then
        for _ in $(seq "$jobs"); do
            sha256sum /dev/zero >/dev/null &
            busy+=($!)
        done
        echo "-- stress: $jobs busy processes"
    fi
    ctest --test-dir "$build" -L e2e --output-on-failure
    status=$?
    stop_load
    return $status
}

# Lists every file clang-format would change; any such file fails the stage.
format_check() {
    local files
    mapfile -t files < <(cd "$root" && find src tests bench fuzz tools \
        \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
    local unformatted=()
    for file in "${files[@]}"; do
        clang-format --dry-run --Werror "$root/$file" >/dev/null 2>&1 || unformatted+=("$file")
    done
    echo "-- ${#unformatted[@]} of ${#files[@]} files need clang-format"
    [ "${#unformatted[@]}" -eq 0 ] && return 0
    printf '   %s\n' "${unformatted[@]}"
    return 1
}

plain_tests() {
    ctest --test-dir "$root/build" -LE e2e --output-on-failure -j"$jobs" &&
        e2e_tests "$root/build"
}

sanitized_tests() {
    local build="$root/build-sanitize"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKALIMBOR_SANITIZE=ON \
        -DKALIMBOR_WERROR=ON -DKALIMBOR_BENCH=OFF >/dev/null &&
        cmake --build "$build" -j"$jobs" || return 1
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir "$build" -LE e2e --output-on-failure -j"$jobs" && e2e_tests "$build"
    local status=$?
    unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
    return $status
}

fuzz_targets() {
    local build="$root/build-fuzz"
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKALIMBOR_FUZZ=ON -DKALIMBOR_TESTS=OFF -DKALIMBOR_BENCH=OFF >/dev/null &&
        cmake --build "$build" -j"$jobs" || return 1
    # The targets run side by side, each on a core of its own, then report in turn.
    local status=0 targets=("$build"/fuzz/*_fuzz) pids=() logs=()
    for target in "${targets[@]}"; do
        local name work
        name="$(basename "$target" _fuzz)"
        work="$(mktemp -d)"
        logs+=("$work")
        "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 "$work" "$root/fuzz/corpus/$name" 2>"$work.log" &
        pids+=($!)
    done
    for i in "${!targets[@]}"; do
        echo "-- $(basename "${targets[$i]}" _fuzz): ${fuzz_seconds}s"
        if ! wait "${pids[$i]}"; then
            tail -n 60 "${logs[$i]}.log"
            status=1
        else
            grep -E 'stat::number_of_executed_units|Done' "${logs[$i]}.log" | tail -n 2
        fi
        rm -rf "${logs[$i]}" "${logs[$i]}.log"
    done
    return $status
}

KALIMBOR_CMAKE_ARGS="-DKALIMBOR_WERROR=ON" "$root/scripts/setup.sh" || {
    echo "setup failed"
    exit 1
}
stage "format" format_check
stage "tests" plain_tests
stage "sanitized tests" sanitized_tests
stage "fuzz targets" fuzz_targets

echo
if [ "$failed" -ne 0 ]; then
    echo "failed stages: ${failures[*]}"
fi
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
