#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor (on the bundled sample when present).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
args=()
sample=data/sample
if [ $# -eq 0 ] && [ -f "$sample/3do/sample.3do" ]; then
    args=("$sample/3do/sample.3do")
    args+=("$sample/3do/key/walk.key")
fi
exec build/app/vorlin "${args[@]}" "$@"
