# Run by scripts/interop_check.sh. compare_poses.py CLI MODEL blender OUT.json KEY...: the largest
# distance of any vertex Blender placed from where `vorlin-cli pose` places it;
# compare_poses.py CLI MODEL keys A.key B.key FRAMES: the largest distance between two KEYs' poses.
import json
import math
import subprocess
import sys

cli, model, mode = sys.argv[1], sys.argv[2], sys.argv[3]


def pose(key, frame):
    out = subprocess.run([cli, "pose", model, key, str(frame)], capture_output=True, text=True)
    return json.loads(out.stdout)


dump = json.loads(subprocess.run([cli, "model", "dump", model], capture_output=True,
                                 text=True).stdout)
mesh_of = {n["name"]: n["mesh"] for n in dump["nodes"]}
worst, count = 0.0, 0
if mode == "blender":
    placed = json.load(open(sys.argv[4]))
    keys = {k.rsplit("/", 1)[-1].rsplit(".", 1)[0]: k for k in sys.argv[5:]}
    for anim, frames in placed.items():
        for frame, objects in frames.items():
            world = pose(keys[anim], frame)["meshes"]
            for name, vertices in objects.items():
                for v in vertices:
                    worst = max(worst, min(math.dist(v, w) for w in world[mesh_of[name]]["world"]))
                    count += 1
    print(f"Blender's import: {count} vertices, largest distance from the pose {worst:.3g} units")
else:
    a, b, frames = sys.argv[4], sys.argv[5], int(sys.argv[6])
    for f in range(frames):
        for ma, mb in zip(pose(a, f)["meshes"], pose(b, f)["meshes"]):
            for va, vb in zip(ma["world"], mb["world"]):
                worst = max(worst, math.dist(va, vb))
    print(f"{b} against {a}: largest vertex distance {worst:.3g} units over {frames} frames")
