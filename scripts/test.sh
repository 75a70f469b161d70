#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Widget and OpenGL tests need a
# display, so the whole suite runs under a virtual X server with Mesa's software renderer and
# a window manager (focus and shortcuts behave as on a user's desktop).
# Then the core, the command-line tool and their tests (the fuzzing corpus replays included)
# are built again with AddressSanitizer and UndefinedBehaviorSanitizer and run: any report
# fails the run. Extra arguments go to both runs of ctest. With VORLIN_PACKAGE=1 the Debian
# package is built and checked as well (scripts/package.sh; slower, so not by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export LIBGL_ALWAYS_SOFTWARE=1
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24" ../scripts/desktop.sh \
    ctest --output-on-failure -j2 "$@")

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIN_SANITIZE=ON \
    -DVORLIN_BUILD_GUI=OFF -DVORLIN_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j2 "$@")

if [ "${VORLIN_PACKAGE:-0}" = 1 ]; then
    scripts/package.sh
fi
