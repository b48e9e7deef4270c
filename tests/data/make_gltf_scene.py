#!/usr/bin/env python3
"""Writes a small textured scene with Japanese names for the glTF tests:

    make_gltf_scene.py OUT_DIR

OUT_DIR/shrine.mqo   a Shift_JIS Metasequoia document: a plinth, a pillar
                     with a roof (one object, two materials), two flags of
                     the same name, an object whose only face names a corner twice (no triangle) and one whose
                     only other face has no area
OUT_DIR/shrine.kvs   the script that builds the hierarchy and keys a motion
                     (the pillar turns 350 degrees the long way round)
OUT_DIR/TEXTURE/     木目.png (RGB), 写真.jpg (JPEG), 模様.tga (top row
                     first), 透かし.png (with transparent pixels); the
                     material 無し names 無い.bmp, which is not there.
                     The names are Shift_JIS bytes, as a Japanese system
                     writes them.

Every picture is 16 x 8 with a red top half and a blue bottom half, so
that a picture standing on its head is plain to see.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_images import find_convert  # noqa: E402

W, H = 16, 8
TOP, BOTTOM = (220, 40, 30), (30, 60, 200)

MATERIALS = [
    # name, colour, dif, emi, power, texture
    ("木目", (1.0, 1.0, 1.0, 1.0), 0.8, 0.0, 5.0, "木目.png"),
    ("写真", (1.0, 1.0, 1.0, 1.0), 0.8, 0.0, 20.0, "写真.jpg"),
    ("模様", (1.0, 1.0, 1.0, 1.0), 0.8, 0.2, 5.0, "模様.tga"),
    ("ガラス", (0.6, 0.8, 1.0, 0.5), 1.0, 0.0, 60.0, None),
    ("透かし", (1.0, 1.0, 1.0, 1.0), 0.8, 0.0, 5.0, "透かし.png"),
    ("無し", (0.9, 0.9, 0.2, 1.0), 0.8, 0.0, 5.0, "無い.bmp"),
]


def rows(alpha=False):
    out = []
    for y in range(H):
        colour = TOP if y < H // 2 else BOTTOM
        row = []
        for x in range(W):
            a = 255 if not alpha or x >= 4 else 0
            row.append(colour + ((a,) if alpha else ()))
        out.append(row)
    return out


def png(pixels, alpha):
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", W, H, 8, 6 if alpha else 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def tga_top_first(pixels):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, W, H, 24, 0x20)
    return header + b"".join(bytes((b, g, r)) for row in pixels for (r, g, b) in row)


def jpeg(pixels):
    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "src.ppm")
        with open(ppm, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (W, H) + b"".join(bytes(p) for row in pixels for p in row))
        out = os.path.join(tmp, "out.jpg")
        subprocess.run([find_convert(), ppm, "-quality", "95", out], check=True, timeout=60)
        with open(out, "rb") as f:
            return f.read()


def box(xs, ys, zs):
    x0, x1 = xs
    y0, y1 = ys
    z0, z1 = zs
    verts = [(x0, y1, z0), (x1, y1, z0), (x1, y0, z0), (x0, y0, z0),
             (x0, y1, z1), (x1, y1, z1), (x1, y0, z1), (x0, y0, z1)]
    # Clockwise seen from outside, as the modeller writes them.
    quads = [(0, 1, 2, 3), (5, 4, 7, 6), (4, 5, 1, 0), (3, 2, 6, 7), (4, 0, 3, 7), (1, 5, 6, 2)]
    return verts, quads


UV = "0 0 1 0 1 1 0 1"


def obj(name, verts, faces):
    out = ['Object "%s" {' % name, "\tvisible 15", "\tshading 1", "\tfacet 59.5", "\tvertex %d {" % len(verts)]
    out += ["\t\t%.4f %.4f %.4f" % v for v in verts]
    out += ["\t}", "\tface %d {" % len(faces)]
    out += ["\t\t" + f for f in faces]
    out += ["\t}", "}"]
    return out


def boxed(name, xs, ys, zs, materials, pivot=None):
    verts, quads = box(xs, ys, zs)
    faces = ["4 V(%d %d %d %d) M(%d) UV(%s)" % (q + (materials[i % len(materials)], UV)) for i, q in enumerate(quads)]
    if pivot:
        verts += [pivot, (pivot[0], pivot[1] + 10, pivot[2])]
        faces.append("2 V(8 9)")
    return obj(name, verts, faces)


def flag(name, x, material):
    verts = [(x, 260, 0), (x + 60, 260, 0), (x + 60, 220, 0), (x, 220, 0)]
    return obj(name, verts, ["4 V(0 1 2 3) M(%d) UV(%s)" % (material, UV)])


def document():
    lines = ["Metasequoia Document", "Format Text Ver 1.0", "", "Material %d {" % len(MATERIALS)]
    for name, col, dif, emi, power, tex in MATERIALS:
        line = '\t"%s" shader(3) col(%.3f %.3f %.3f %.3f) dif(%.3f) amb(0.600) emi(%.3f) spc(0.200) power(%.2f)' % (
            (name,) + col + (dif, emi, power))
        if tex:
            line += ' tex("%s")' % tex
        lines.append(line)
    lines.append("}")
    lines += boxed("台座", (-100, 100), (0, 30), (-100, 100), [0])
    lines += boxed("柱", (-20, 20), (30, 200), (-20, 20), [1], pivot=(0, 30, 0))
    lines += boxed("屋根", (-70, 70), (200, 240), (-70, 70), [2, 3], pivot=(0, 200, 0))
    lines += flag("旗", 30, 4)
    lines += flag("旗", -90, 5)
    lines += obj("空っぽ", [(0, 0, 0), (0, 10, 0)], ["3 V(0 0 1) M(0)"])
    # One face with area and one whose corners lie on a line.
    lines += obj("潰れ", [(120, 0, 0), (160, 0, 0), (160, 40, 0), (200, 0, 0), (240, 0, 0)],
                 ["3 V(0 1 2) M(0) UV(0 0 1 0 1 1)", "3 V(0 3 4) M(0) UV(0 0 1 0 1 1)"])
    lines.append("Eof")
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


SCRIPT = """# The shrine's hierarchy and motion.
open shrine.mqo
select 柱
parent 台座
select 屋根
parent 柱
select 柱
mode rotate
frame 20
set 0 90 0
key add
frame 40
set 0 350 0
key add
select 台座
mode move
frame 30
set 0 50 0
key add
select 屋根
mode scale
frame 45
set 1.5 1 1.5
key add
play
"""


def main():
    out = sys.argv[1]
    tex = os.path.join(out, "TEXTURE")
    os.makedirs(tex, exist_ok=True)
    with open(os.path.join(out, "shrine.mqo"), "wb") as f:
        f.write(document())
    with open(os.path.join(out, "shrine.kvs"), "w", encoding="utf-8") as f:
        f.write(SCRIPT)
    files = {
        "木目.png": png(rows(), False),
        "写真.jpg": jpeg(rows()),
        "模様.tga": tga_top_first(rows()),
        "透かし.png": png(rows(alpha=True), True),
    }
    for name, data in files.items():
        with open(os.path.join(tex.encode(), name.encode("cp932")), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
