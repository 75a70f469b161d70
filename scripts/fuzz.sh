#!/usr/bin/env bash
# Builds the fuzzing harnesses with clang (libFuzzer, AddressSanitizer, UndefinedBehavior-
# Sanitizer) and runs each for SECONDS (default 60), starting from its corpus in fuzz/corpus/.
# New inputs gather in build-fuzz/corpus/; an input that fails is saved under
# build-fuzz/artifacts/<harness>/ and fails the run: once fixed, keep it in the harness's
# corpus folder as a regression (the test suite replays every corpus file).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/setup.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVORLIN_FUZZERS=ON >/dev/null
cmake --build build-fuzz
harnesses=(key_read key_roundtrip model_pose mat_rgb cmp gob sscanf textline)
failed=0
printf '%-14s %12s  %s\n' harness executions findings
for h in "${harnesses[@]}"; do
    work="build-fuzz/corpus/$h"
    artifacts="build-fuzz/artifacts/$h"
    mkdir -p "$work" "$artifacts"
    log="build-fuzz/$h.log"
    status=0
    "build-fuzz/fuzz/fuzz_$h" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/$h" \
        >"$log" 2>&1 || status=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    findings=$(find "$artifacts" -type f | wc -l)
    printf '%-14s %12s  %s\n' "$h" "${runs:-?}" "$findings"
    if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
        failed=1
        echo "  see $log and $artifacts/"
    fi
done
exit "$failed"
