#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Widget and OpenGL tests need a
# display, so the whole suite runs under a virtual X server with Mesa's software renderer and
# a window manager (focus and shortcuts behave as on a user's desktop).
# Then everything (the editor, its widget tests, the core, the command-line tool, their tests
# and the fuzzing corpus replays) is built again with AddressSanitizer and UndefinedBehavior-
# Sanitizer and run the same way: any report fails the run. Last, the fuzzing harnesses are
# built with clang and libFuzzer and each runs once over its seed corpus (scripts/fuzz.sh
# --replay, a few seconds; scripts/fuzz.sh fuzzes), so that code clang refuses, or a harness
# that stops at an ordinary input, cannot come in unseen. Extra arguments go to both runs of
# ctest. With
# VORLIN_PACKAGE=1 the Debian package is built and checked as well (scripts/package.sh;
# slower, so not by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export LIBGL_ALWAYS_SOFTWARE=1
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24" ../scripts/desktop.sh \
    ctest --output-on-failure -j2 "$@")

# -O1 and line tables only: the sanitizers' reports keep their lines, the build takes two
# thirds of the time.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -g1" \
    -DVORLIN_SANITIZE=ON -DVORLIN_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The desktop's libraries keep some memory for the life of the process: tests/lsan.supp.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
# The installed-program checks install the plain build's files; they ran above.
(cd build-asan && xvfb-run -a -s "-screen 0 1280x1024x24" ../scripts/desktop.sh \
    ctest --output-on-failure -j2 -E '^install_' "$@")

scripts/fuzz.sh --replay

if [ "${VORLIN_PACKAGE:-0}" = 1 ]; then
    scripts/package.sh
fi
