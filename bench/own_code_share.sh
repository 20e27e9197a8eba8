#!/bin/sh
# own_code_share.sh — the share of our own code in a perf profile of the walking frames: samples in
# functions of kalimbor_core (the program's own sources), and in the call stubs through which they
# reach GL, against every sample of the profiled processes (the benchmark, Mesa's rasteriser
# threads and the Xvfb it starts).
#
# Usage, from a Release build directory:
#   perf record -F 5000 -e cpu-clock -o walk.data -- \
#       bench/kalimbor_bench --benchmark_filter=BM_WalkingFrame --benchmark_repetitions=3
#   ../bench/own_code_share.sh walk.data libkalimbor_core.a
set -eu
profile=$1
library=$2
names=$(mktemp)
trap 'rm -f "$names"' EXIT

# Every function the library defines, by its plain name as perf prints it.
nm --defined-only -C "$library" |
    awk '$2 ~ /^[TtWw]$/ { $1 = ""; $2 = ""; sub(/^ +/, ""); sub(/\(.*/, ""); print }' |
    sort -u >"$names"

perf report -i "$profile" -n --no-children --sort dso,sym --stdio -g none 2>/dev/null |
    grep -v '^#' | grep -v '^$' |
    awk -v names="$names" '
        BEGIN { while ((getline name < names) > 0) ours[name] = 1 }
        {
            samples = $2; total += samples; dso = $3
            symbol = $0; sub(/^.*\[[.k]\] /, "", symbol); sub(/ +$/, "", symbol)
            if (dso == "kalimbor_bench" && (symbol in ours)) own += samples
            else if (dso == "kalimbor_bench" && symbol ~ /@plt$/) stubs += samples
        }
        END {
            if (total == 0) { print "no samples"; exit 1 }
            printf "samples %d: our functions %.2f %%, their GL call stubs %.2f %%, together %.2f %%\n",
                total, 100 * own / total, 100 * stubs / total, 100 * (own + stubs) / total
        }'
