#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Widget and OpenGL tests need a
# display, so the whole suite runs under a virtual X server with Mesa's software renderer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export LIBGL_ALWAYS_SOFTWARE=1
cd build
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@"
