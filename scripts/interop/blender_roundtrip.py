# Run by scripts/interop_check.sh: `blender -b --python blender_roundtrip.py -- IN.glb OUT.json OUT.glb`.
# Imports IN.glb with Blender's own glTF importer, writes every mesh vertex's world position at
# every frame of each animation to OUT.json, and exports the scene again with Blender's glTF
# exporter to OUT.glb.
import json
import sys

import bpy
import numpy

numpy.bool = bool  # Debian's numpy 1.24 dropped the alias Blender 3.4's glTF add-on uses

argv = sys.argv[sys.argv.index("--") + 1:]
src, out_json, out_glb, fps = argv[0], argv[1], argv[2], int(argv[3])
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.render.fps = fps
bpy.ops.import_scene.gltf(filepath=src)
names = sorted({a.name.split("_")[0] for a in bpy.data.actions})
result = {}
for anim in names:
    for o in scene.objects:
        if o.animation_data is None:
            continue
        for a in bpy.data.actions:
            if a.name == anim + "_" + o.name:
                o.animation_data.action = a
    last = max(int(a.frame_range[1]) for a in bpy.data.actions if a.name.startswith(anim + "_"))
    frames = {}
    for f in range(0, last + 1):
        scene.frame_set(f)
        graph = bpy.context.evaluated_depsgraph_get()
        frames[f] = {o.name: [list(o.evaluated_get(graph).matrix_world @ v.co)
                              for v in o.evaluated_get(graph).data.vertices]
                     for o in scene.objects if o.type == 'MESH'}
    result[anim] = frames
json.dump(result, open(out_json, "w"))
bpy.ops.export_scene.gltf(filepath=out_glb, export_format='GLB', export_animations=True)
