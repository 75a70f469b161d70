#!/usr/bin/env bash
# Makes the help page's pictures of the main window, the timeline and the curves afresh from
# the bundled sample, so that they show the program as it is; then the main window on a dark
# desktop (--dark) and the timeline on a high-DPI screen (QT_SCALE_FACTOR=2, its pixels).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
XDG_CONFIG_HOME="$settings" LIBGL_ALWAYS_SOFTWARE=1 \
    xvfb-run -a -s "-screen 0 1280x1024x24" build/app/vorlin --screenshot docs/main_window.png \
    data/sample/3do/sample.3do data/sample/3do/key/walk.key
XDG_CONFIG_HOME="$settings" LIBGL_ALWAYS_SOFTWARE=1 \
    xvfb-run -a -s "-screen 0 1280x1024x24" build/app/vorlin --screenshot docs/timeline.png \
    --part TimelinePanel data/sample/3do/sample.3do data/sample/3do/key/walk.key
# The curves at a height that shows them, for a node that moves.
mkdir -p "$settings/Brennick"
printf '[General]\nTIMELINE_HEIGHT=230\n' >"$settings/Brennick/Vorlin06.conf"
XDG_CONFIG_HOME="$settings" LIBGL_ALWAYS_SOFTWARE=1 \
    xvfb-run -a -s "-screen 0 1280x1024x24" build/app/vorlin --screenshot docs/curves.png \
    --part CurvesPanel --node L_THIGH data/sample/3do/sample.3do data/sample/3do/key/walk.key
rm "$settings/Brennick/Vorlin06.conf"
XDG_CONFIG_HOME="$settings" LIBGL_ALWAYS_SOFTWARE=1 \
    xvfb-run -a -s "-screen 0 1280x1024x24" build/app/vorlin --dark --screenshot docs/dark.png \
    data/sample/3do/sample.3do data/sample/3do/key/walk.key
XDG_CONFIG_HOME="$settings" LIBGL_ALWAYS_SOFTWARE=1 QT_SCALE_FACTOR=2 \
    xvfb-run -a -s "-screen 0 2560x2048x24" build/app/vorlin --screenshot docs/high_dpi.png \
    --part TimelinePanel data/sample/3do/sample.3do data/sample/3do/key/walk.key
echo "docs/main_window.png docs/timeline.png docs/curves.png docs/dark.png docs/high_dpi.png"
