#!/usr/bin/env bash
# Checks the glTF export with programs the test suite does not need (by hand, not in CI): the
# Khronos validator (gltf-validator from the npm registry, run with node) on the sample's
# export, and Blender 3.4 (Debian's `blender`, headless): its importer must place every vertex
# where `vorlin-cli pose` does, and its exporter's file must import back to the same poses.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=build/cli/vorlin-cli
sample=data/sample/3do
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" export $sample/sample.3do $sample/key/walk.key $sample/key/jump.key --out "$work/sample.glb" >/dev/null

(cd "$work" && npm install --silent --no-audit --no-fund gltf-validator >/dev/null)
NODE_PATH="$work/node_modules" node scripts/interop/validate.js "$work/sample.glb"

if command -v blender >/dev/null; then
    /usr/bin/python3 -c 'import numpy' 2>/dev/null || { echo "Blender's glTF add-on needs python3-numpy"; exit 1; }
    blender -b --python scripts/interop/blender_roundtrip.py -- "$work/sample.glb" \
        "$work/blender.json" "$work/blender.glb" 15 >"$work/blender.log" 2>&1
    python3 scripts/interop/compare_poses.py "$cli" $sample/sample.3do blender "$work/blender.json" \
        $sample/key/walk.key $sample/key/jump.key
    for anim in walk jump; do
        "$cli" import "$work/blender.glb" --anim $anim --model $sample/sample.3do \
            --out "$work/$anim.key" | grep -E '"keys"'
        frames=$(grep -m1 FRAMES $sample/key/$anim.key | awk '{print $2}')
        python3 scripts/interop/compare_poses.py "$cli" $sample/sample.3do keys \
            $sample/key/$anim.key "$work/$anim.key" "$frames"
    done
else
    echo "blender is not installed (apt-get install blender python3-numpy): skipped"
fi
