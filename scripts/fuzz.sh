#!/usr/bin/env bash
# Builds the fuzzing harnesses with clang (libFuzzer, AddressSanitizer, UndefinedBehavior-
# Sanitizer) and runs each for SECONDS (default 60), starting from its corpus in fuzz/corpus/.
# New inputs gather in build-fuzz/corpus/; an input that fails is saved under
# build-fuzz/artifacts/<harness>/ and fails the run: once fixed, keep it in the harness's
# corpus folder as a regression (the test suite replays every corpus file).
#
# scripts/fuzz.sh --replay runs every harness once over its seed corpus instead (and the empty
# input, as libFuzzer always starts with it): a few seconds, run by scripts/test.sh, so that a
# harness that cannot even start fails the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=fuzz
seconds=60
case "${1:-}" in
    --replay) mode=replay ;;
    "") ;;
    *) seconds="$1" ;;
esac
[ "$mode" = fuzz ] && scripts/setup.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DVORLIN_FUZZERS=ON >/dev/null
cmake --build build-fuzz
# One harness a corpus folder: a folder without its harness fails as well.
harnesses=()
for corpus in fuzz/corpus/*/; do
    harnesses+=("$(basename "$corpus")")
done
failed=0
if [ "$mode" = replay ]; then
    for h in "${harnesses[@]}"; do
        log="build-fuzz/$h.replay.log"
        mkdir -p "build-fuzz/artifacts/$h"
        if "build-fuzz/fuzz/fuzz_$h" -runs=0 -rss_limit_mb=2048 -timeout=10 \
            -artifact_prefix="build-fuzz/artifacts/$h/" \
            "fuzz/corpus/$h" >"$log" 2>&1 && grep -qw INITED "$log"; then
            echo "fuzz replay $h: $(find "fuzz/corpus/$h" -type f | wc -l) inputs"
        else
            failed=1
            echo "fuzz replay $h FAILED:"
            tail -n 30 "$log"
        fi
    done
    exit "$failed"
fi
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
