#!/usr/bin/env bash
# Runs a command on the current X display under a window manager, as a user's desktop has one:
# focus, activation and shortcuts behave differently without. Used inside xvfb-run.
set -euo pipefail
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true' EXIT
# The manager announces itself on the root window once it manages windows.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
"$@"
