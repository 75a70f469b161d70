#!/usr/bin/env bash
# Installs what is missing, builds, and runs every benchmark suite. Extra arguments go to the
# benchmarks (for example --benchmark_filter=KeyRead).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export LIBGL_ALWAYS_SOFTWARE=1
build/bench/bench_core "$@"
build/bench/bench_interop "$@"
xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/bench_draw "$@"
xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/bench_ui "$@"
xvfb-run -a -s "-screen 0 1280x1024x24" scripts/desktop.sh build/bench/bench_commands "$@"
