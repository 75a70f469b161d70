#!/usr/bin/env python3
"""Builds Vorlin's sample content: a small jointed figure, its materials, a colour map, a looping
walk and a play-once jump, loose in the game's folder layout and packed into sample.gob.

Run from anywhere; the files are written beside this script, byte for byte the same each time.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(rel, data):
    path = os.path.join(HERE, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return data


# ---------------------------------------------------------------------------------------------
# Materials

def mat_header(kind, records, bpp):
    h = b"MAT " + struct.pack("<7I", 0x32, kind, records, 0, 0, bpp, 0)
    return h.ljust(76, b"\0")


def texture_mat(width, height, bpp, pixels):
    out = mat_header(2, 1, bpp)
    out += struct.pack("<10I", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)  # one record, not read
    out += struct.pack("<2I", width, height) + b"\0" * 16
    return out + pixels


def colour_mat(index):
    record = bytearray(24)
    record[4] = index
    return mat_header(0, 1, 8) + bytes(record)


def cloth():
    # 8-bit: a checker of palette indices 70 (slate) and 138 (blue).
    return bytes(70 if ((x // 4 + y // 4) % 2) else 138 for y in range(32) for x in range(32))


def skin():
    # 16-bit 5-6-5: a warm gradient, darker towards the bottom rows.
    out = bytearray()
    for y in range(32):
        for x in range(32):
            r = 31 - y // 8
            g = 44 - y // 4 - (x % 8 == 0) * 4
            b = 22 - y // 6
            out += struct.pack("<H", (r << 11) | (g << 5) | b)
    return bytes(out)


# ---------------------------------------------------------------------------------------------
# Colour map: a palette with the cloth indices recoloured, and identity light tables

def colour_map():
    palette = bytearray()
    for i in range(256):
        palette += bytes((i, i, i))
    palette[70 * 3:70 * 3 + 3] = bytes((200, 60, 40))
    palette[138 * 3:138 * 3 + 3] = bytes((240, 200, 80))
    palette[13 * 3:13 * 3 + 3] = bytes((90, 50, 20))
    header = b"CMP " + struct.pack("<I", 0x1E) + b"\0" * 56
    tables = bytes(range(256)) * 64
    return header + bytes(palette) + tables


# ---------------------------------------------------------------------------------------------
# The model

MATERIALS = ["cloth.mat", "skin.mat", "boots.mat"]
CLOTH, SKIN, BOOTS = 0, 1, 2

# The figure is about as tall as the game's characters: 0.82 units, hips at the origin, so that
# the editor's first view (which looks at the origin) shows all of it.
S = 0.5

# name, half width, half depth, bottom, top, material (before scaling by S)
MESHES = [
    ("torso", 0.16, 0.09, 0.0, 0.5, CLOTH),
    ("head", 0.1, 0.1, 0.0, 0.22, SKIN),
    ("l_upper_arm", 0.05, 0.05, -0.3, 0.0, CLOTH),
    ("l_forearm", 0.045, 0.045, -0.28, 0.0, SKIN),
    ("r_upper_arm", 0.05, 0.05, -0.3, 0.0, CLOTH),
    ("r_forearm", 0.045, 0.045, -0.28, 0.0, SKIN),
    ("l_thigh", 0.07, 0.07, -0.45, 0.0, CLOTH),
    ("l_shin", 0.06, 0.06, -0.45, 0.0, BOOTS),
    ("r_thigh", 0.07, 0.07, -0.45, 0.0, CLOTH),
    ("r_shin", 0.06, 0.06, -0.45, 0.0, BOOTS),
]

# name, mesh, parent, x, y, z. The figure faces +Y, so its left side is -X.
NODES = [
    ("root", -1, -1, 0.0, 0.0, 0.95),
    ("torso", 0, 0, 0.0, 0.0, 0.0),
    ("head", 1, 1, 0.0, 0.0, 0.52),
    ("l_upper_arm", 2, 1, -0.22, 0.0, 0.47),
    ("l_forearm", 3, 3, 0.0, 0.0, -0.3),
    ("r_upper_arm", 4, 1, 0.22, 0.0, 0.47),
    ("r_forearm", 5, 5, 0.0, 0.0, -0.3),
    ("l_thigh", 6, 0, -0.09, 0.0, 0.0),
    ("l_shin", 7, 6 + 1 - 1, 0.0, 0.0, -0.45),
    ("r_thigh", 8, 0, 0.09, 0.0, 0.0),
    ("r_shin", 9, 9, 0.0, 0.0, -0.45),
]
# l_shin hangs below l_thigh (node 7), r_shin below r_thigh (node 9).
NODES[8] = ("l_shin", 7, 7, 0.0, 0.0, -0.45)
NODES[0] = ("root", -1, -1, 0.0, 0.0, 0.0)
MESHES = [(n, w * S, d * S, z0 * S, z1 * S, m) for n, w, d, z0, z1, m in MESHES]
NODES = [(n, mesh, parent, x * S, y * S, z * S) for n, mesh, parent, x, y, z in NODES]

# Corners of each box face, counter-clockwise seen from outside.
BOX_FACES = [(0, 1, 5, 4), (2, 3, 7, 6), (1, 2, 6, 5), (3, 0, 4, 7), (4, 5, 6, 7), (0, 3, 2, 1)]


def model():
    L = ["# MODEL sample.3do  -- Vorlin's sample figure", "",
         "###############", "SECTION: HEADER", "", "3DO 2.1", "",
         "###############", "SECTION: MODELRESOURCE", "", "# Materials list",
         "MATERIALS %d" % len(MATERIALS), ""]
    L += ["%10d:%15s" % (i, m) for i, m in enumerate(MATERIALS)]
    L += ["", "", "###############", "SECTION: GEOMETRYDEF", "",
          "# Object radius", "RADIUS     1.000000", "",
          "# Insertion offset", "INSERT OFFSET   0.000000   0.000000   0.000000", "",
          "# Number of Geometry Sets", "GEOSETS 1", "",
          "# Geometry Set definition", "GEOSET 0", "",
          "# Number of Meshes", "MESHES %d" % len(MESHES), ""]
    for k, (name, w, d, z0, z1, mat) in enumerate(MESHES):
        verts = [(-w, -d, z0), (w, -d, z0), (w, d, z0), (-w, d, z0),
                 (-w, -d, z1), (w, -d, z1), (w, d, z1), (-w, d, z1)]
        L += ["", "# Mesh definition", "MESH %d" % k, "", "NAME %s" % name, "",
              "RADIUS %10.6f" % max((x * x + y * y + z * z) ** 0.5 for x, y, z in verts), "",
              "GEOMETRYMODE\t4", "LIGHTINGMODE\t3", "TEXTUREMODE\t3", "",
              "VERTICES %d" % len(verts), "", "# num:     x:         y:         z:         i: "]
        L += ["%6d: %10.6f %10.6f %10.6f %10.6f" % (i, x, y, z, 0.0) for i, (x, y, z) in enumerate(verts)]
        L += ["", "TEXTURE VERTICES 4", "", "# num:  u:         v:"]
        L += ["%6d: %10.6f %10.6f" % (i, u, v) for i, (u, v) in enumerate([(0, 0), (32, 0), (32, 32), (0, 32)])]
        L += ["", "VERTEX NORMALS", "", "# num:     i:         j:         k:"]
        L += ["%6d: %10.6f %10.6f %10.6f" % (i, 0, 0, 1) for i in range(len(verts))]
        L += ["", "FACES %d" % len(BOX_FACES), "",
              "#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:"]
        for f, corners in enumerate(BOX_FACES):
            pairs = " ".join("%d,%2d" % (v, t) for t, v in enumerate(corners))
            L.append("%6d: %9d  0x%04x %5d %7d %6d %12.6f %7d  %s" % (f, mat, 0, 4, 3, 3, 0.0, 4, pairs))
        L += ["", "FACE NORMALS", "", "# num:     i:         j:         k:"]
        L += ["%6d: %10.6f %10.6f %10.6f" % (f, 0, 0, 1) for f in range(len(BOX_FACES))]
    L += ["", "", "###############", "SECTION: HIERARCHYDEF", "", "# Hierarchy node list",
          "HIERARCHY NODES %d" % len(NODES), "",
          "#  num:   flags:   type:    mesh:  parent:  child:  sibling:  numChildren:        x:         y:         z:     pitch:       yaw:      roll:    pivotx:    pivoty:    pivotz:  hnodename:"]
    for i, (name, mesh, parent, x, y, z) in enumerate(NODES):
        children = [j for j, n in enumerate(NODES) if n[2] == i]
        siblings = [j for j, n in enumerate(NODES) if n[2] == parent and j > i]
        child = children[0] if children else -1
        sibling = siblings[0] if siblings else -1
        L.append("%6d:  0x%04x 0x%05x %8d %8d %7d %9d %13d %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f  %s"
                 % (i, 0, 1, mesh, parent, child, sibling, len(children), x, y, z, 0, 0, 0, 0, 0, 0, name))
    return ("\r\n".join(L) + "\r\n").encode("latin-1")


# ---------------------------------------------------------------------------------------------
# Animations, written exactly as the editor writes them, rates worked out as it works them out

def angle_rate(d, b, a):
    diff = b - a
    if d == 0 or diff == 0:
        return 0.0
    if diff >= 180:
        return (diff - 360) / d
    if diff <= -180:
        return (diff + 360) / d
    return diff / d


def with_rates(entries, frames, looping):
    """entries: list of (frame, [x, y, z, pitch, yaw, roll]) -> list of (frame, flags, values, rates)."""
    out = []
    n = len(entries)
    for i, (frame, v) in enumerate(entries):
        last = i == n - 1
        if last and not looping:
            out.append((frame, 0, v, [0.0] * 6))
            continue
        sf, sv = entries[0] if last else entries[i + 1]
        d = float(frames - frame + sf) if last else float(sf - frame)
        rates = [((sv[k] - v[k]) / d if sv[k] != v[k] and d != 0 else 0.0) for k in range(3)]
        rates += [angle_rate(d, sv[k], v[k]) for k in range(3, 6)]
        moves, turns = any(rates[:3]), any(rates[3:])
        flags = (1 if moves else 0) | (2 if turns else 0)
        out.append((frame, flags, v, rates))
    return out


def key_text(name, flags, frames, fps, joints, markers, nodes):
    L = ["# KEYFRAME %s created by Vorlin 0.6" % name, "", "###############", "SECTION: HEADER", "",
         "FLAGS  0x%04X" % flags, "TYPE   0x%04X" % 0xFFFF, "FRAMES %d" % frames,
         "FPS    %d" % fps, "JOINTS %d" % joints, "", ""]
    if markers:
        L += ["###############", "SECTION: MARKERS", "", "MARKERS %d" % len(markers), ""]
        L += ["%-9.6f %-d" % m for m in markers]
        L += ["", ""]
    L += ["###############", "SECTION: KEYFRAME NODES", "", "NODES %d" % len(nodes), ""]
    for i, (mesh, entries) in enumerate(nodes):
        L += ["NODE %d" % i, "MESH NAME %s" % mesh, "ENTRIES %d" % len(entries), "",
              "# num:   frame:   flags:           x:           y:           z:           p:           y:           r:",
              "#                                 dx:          dy:          dz:          dp:          dy:          dr:"]
        for k, (frame, fl, v, r) in enumerate(entries):
            L.append(("%5s %8d %8s " + " ".join(["%12.8f"] * 6)) % ((str(k) + ":", frame, "0x%04X" % fl) + tuple(v)))
            L.append(("%36.8f " + " ".join(["%12.8f"] * 5)) % tuple(r))
        L.append("")
    return ("".join(l + "\r\n" for l in L)).encode("latin-1")


def animation(name, flags, frames, fps, markers, tracks):
    """tracks: node name -> list of (frame, {channel: value}); channels default to the rest pose."""
    rest = {n[0]: [n[3], n[4], n[5], 0.0, 0.0, 0.0] for n in NODES}
    chan = {"x": 0, "y": 1, "z": 2, "pitch": 3, "yaw": 4, "roll": 5}
    nodes = []
    for node in NODES:
        keys = tracks.get(node[0], [(0, {})])
        entries = []
        for frame, values in keys:
            v = list(rest[node[0]])
            for c, val in values.items():
                v[chan[c]] = float(val)
            entries.append((frame, v))
        nodes.append((node[0].upper(), with_rates(entries, frames, flags != 0)))
    return key_text(name, flags, frames, fps, len(NODES), markers, nodes)


def walk():
    def swing(forward, back):
        return [(0, {"pitch": forward}), (8, {"pitch": 0}), (16, {"pitch": back}), (24, {"pitch": 0})]
    tracks = {
        "root": [(0, {"z": 0}), (8, {"z": 0.015}), (16, {"z": 0}), (24, {"z": 0.015})],
        "torso": [(0, {"yaw": 4}), (16, {"yaw": 356})],
        "l_thigh": swing(25, 335),
        "r_thigh": swing(335, 25),
        "l_shin": [(0, {"pitch": 0}), (16, {"pitch": 350}), (20, {"pitch": 310}), (26, {"pitch": 340})],
        "r_shin": [(0, {"pitch": 350}), (4, {"pitch": 310}), (10, {"pitch": 340}), (16, {"pitch": 0})],
        "l_upper_arm": swing(340, 20),
        "r_upper_arm": swing(20, 340),
        "l_forearm": [(0, {"pitch": 15}), (16, {"pitch": 30})],
        "r_forearm": [(0, {"pitch": 30}), (16, {"pitch": 15})],
    }
    return animation("walk.key", 3, 32, 15, [(2.0, 1), (18.0, 2)], tracks)


def jump():
    tracks = {
        "root": [(0, {"z": 0}), (6, {"z": -0.085}), (12, {"z": 0.25}), (18, {"z": 0}),
                 (22, {"z": -0.05}), (29, {"z": 0})],
        "l_thigh": [(0, {}), (6, {"pitch": 40}), (12, {"pitch": 10}), (18, {"pitch": 20}),
                    (22, {"pitch": 35}), (29, {})],
        "r_thigh": [(0, {}), (6, {"pitch": 40}), (12, {"pitch": 10}), (18, {"pitch": 20}),
                    (22, {"pitch": 35}), (29, {})],
        "l_shin": [(0, {}), (6, {"pitch": 290}), (12, {"pitch": 340}), (18, {"pitch": 320}),
                   (22, {"pitch": 300}), (29, {})],
        "r_shin": [(0, {}), (6, {"pitch": 290}), (12, {"pitch": 340}), (18, {"pitch": 320}),
                   (22, {"pitch": 300}), (29, {})],
        "l_upper_arm": [(0, {}), (6, {"pitch": 320}), (12, {"pitch": 160}), (18, {"pitch": 30}),
                        (22, {}), (29, {})],
        "r_upper_arm": [(0, {}), (6, {"pitch": 320}), (12, {"pitch": 160}), (18, {"pitch": 30}),
                        (22, {}), (29, {})],
        "torso": [(0, {}), (6, {"pitch": 15}), (12, {"pitch": 355}), (22, {"pitch": 10}), (29, {})],
    }
    return animation("jump.key", 0, 30, 15, [(6.0, 12), (18.0, 1), (18.5, 2)], tracks)


# ---------------------------------------------------------------------------------------------
# The container

def gob(files):
    out = b"GOB " + struct.pack("<3I", 0x14, 0x0C, len(files))
    offset = 16 + 136 * len(files)
    for name, data in files:
        out += struct.pack("<2I", offset, len(data)) + name.encode("latin-1").ljust(128, b"\0")
        offset += len(data)
    return out + b"".join(data for _, data in files)


def main():
    files = [
        ("3do\\sample.3do", write("3do/sample.3do", model())),
        ("3do\\key\\walk.key", write("3do/key/walk.key", walk())),
        ("3do\\key\\jump.key", write("3do/key/jump.key", jump())),
        ("3do\\mat\\skin.mat", write("3do/mat/skin.mat", texture_mat(32, 32, 16, skin()))),
        ("mat\\cloth.mat", write("mat/cloth.mat", texture_mat(32, 32, 8, cloth()))),
        ("mat\\boots.mat", write("mat/boots.mat", colour_mat(13))),
        ("misc\\cmp\\sample.cmp", write("misc/cmp/sample.cmp", colour_map())),
    ]
    write("sample.gob", gob(files))


if __name__ == "__main__":
    main()
