#!/usr/bin/env python3
"""Writes the bundled sample: a six-part robot arm as a Metasequoia document.

    python3 samples/make_robot_arm.py        # rewrites robot_arm.mqo and TEXTURE/robot_panel.bmp

Every object is a box with a two-point line whose first point is the part's
pivot (its joint). The base is modelled as its right half and mirrored on X.
The wrist and one material carry Japanese names, written in Shift_JIS as the
modeller does on Japanese systems.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

MATERIALS = [
    # name, colour, dif, amb, emi, spc, power, texture
    ("body", (0.95, 0.55, 0.15, 1.0), 0.8, 0.6, 0.0, 0.3, 5.0, "robot_panel.bmp"),
    ("joint", (0.35, 0.35, 0.40, 1.0), 0.8, 0.6, 0.0, 0.1, 5.0, None),
    ("金属", (0.75, 0.78, 0.80, 1.0), 0.7, 0.5, 0.0, 0.9, 30.0, None),
    ("rubber", (0.08, 0.08, 0.08, 1.0), 0.9, 0.6, 0.0, 0.0, 1.0, None),
]

# name, (x0, x1), (y0, y1), (z0, z1), pivot, material, mirror on X
PARTS = [
    ("base", (0, 110), (0, 40), (-110, 110), (0, 40, 0), 1, True),
    ("upper_arm", (-22, 22), (40, 240), (-22, 22), (0, 40, 0), 0, False),
    ("forearm", (-18, 18), (240, 400), (-18, 18), (0, 240, 0), 0, False),
    ("手首", (-25, 25), (400, 440), (-25, 25), (0, 400, 0), 2, False),
    ("finger_L", (-32, -12), (440, 510), (-8, 8), (-22, 440, 0), 3, False),
    ("finger_R", (12, 32), (440, 510), (-8, 8), (22, 440, 0), 3, False),
]


LEFT_FACE = (0, 4, 7, 3)


def box(xs, ys, zs):
    x0, x1 = xs
    y0, y1 = ys
    z0, z1 = zs
    verts = [
        (x0, y1, z0), (x1, y1, z0), (x1, y0, z0), (x0, y0, z0),
        (x0, y1, z1), (x1, y1, z1), (x1, y0, z1), (x0, y0, z1),
    ]
    # Quads wound the way the modeller writes them: clockwise seen from
    # outside (Y up, right-handed), so the editor culls the inner sides.
    # Each starts at its top-left corner seen from outside, which keeps the
    # panel picture upright.
    quads = [
        (1, 0, 3, 2),  # front  (z0)
        (4, 5, 6, 7),  # back   (z1)
        (5, 4, 0, 1),  # top    (y1)
        (2, 3, 7, 6),  # bottom (y0)
        LEFT_FACE,     # left   (x0)
        (5, 1, 2, 6),  # right  (x1)
    ]
    return verts, quads


def object_text(name, xs, ys, zs, pivot, material, mirror):
    verts, quads = box(xs, ys, zs)
    if mirror:
        # A half modelled for mirroring is open on the mirror plane, or the
        # two halves would meet in a pair of hidden inner faces.
        quads = [q for q in quads if q != LEFT_FACE]
    # The pivot line: its first point is the joint, the second a little above.
    p = pivot
    verts = verts + [p, (p[0], p[1] + 10, p[2])]
    out = ['Object "%s" {' % name,
           "\tdepth 0",
           "\tfolding 0",
           "\tscale 1.000000 1.000000 1.000000",
           "\trotation 0.000000 0.000000 0.000000",
           "\ttranslation 0.000000 0.000000 0.000000"]
    if mirror:
        out += ["\tmirror 1", "\tmirror_axis 1"]
    out += ["\tvisible 15", "\tlocking 0", "\tshading 1", "\tfacet 59.5",
            "\tcolor 0.898 0.498 0.698", "\tcolor_type 0",
            "\tvertex %d {" % len(verts)]
    out += ["\t\t%.4f %.4f %.4f" % v for v in verts]
    out += ["\t}", "\tvertexattr {", "\t\tuid {"]
    out += ["\t\t\t%d" % (i + 1) for i in range(len(verts))]
    out += ["\t\t}", "\t}", "\tface %d {" % (len(quads) + 1)]
    uv = ((0.0, 0.0), (1.0, 0.0), (1.0, 1.0), (0.0, 1.0))
    for q in quads:
        out.append("\t\t4 V(%d %d %d %d) M(%d) UV(%s)" % (
            q + (material,) + (" ".join("%.5f %.5f" % c for c in uv),)))
    out.append("\t\t2 V(8 9)")
    out += ["\t}", "}"]
    return out


def document():
    lines = ["Metasequoia Document", "Format Text Ver 1.0", "",
             "Scene {",
             "\tpos 0.0000 0.0000 1500.0000",
             "\tlookat 0.0000 250.0000 0.0000",
             "\thead -0.5236",
             "\tpich 0.5236",
             "\tortho 0",
             "\tzoom2 5.0000",
             "\tamb 0.250 0.250 0.250",
             "\tdirlights 1 {",
             "\t\tlight {",
             "\t\t\tdir 0.408 0.408 0.816",
             "\t\t\tcolor 1.000 1.000 1.000",
             "\t\t}",
             "\t}",
             "}",
             "Material %d {" % len(MATERIALS)]
    for name, col, dif, amb, emi, spc, power, tex in MATERIALS:
        line = '\t"%s" shader(3) col(%.3f %.3f %.3f %.3f) dif(%.3f) amb(%.3f) emi(%.3f) spc(%.3f) power(%.2f)' % (
            (name,) + col + (dif, amb, emi, spc, power))
        if tex:
            line += ' tex("%s")' % tex
        lines.append(line)
    lines.append("}")
    for part in PARTS:
        lines += object_text(*part)
    lines.append("Eof")
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


def panel_bmp(size=64):
    """A 24-bit bottom-up BMP: orange plates with dark seams and rivets."""
    row_bytes = size * 3
    pixels = bytearray()
    for y in range(size):
        for x in range(size):
            seam = x % 32 in (0, 31) or y % 32 in (0, 31)
            rivet = (x % 32 in (4, 27)) and (y % 32 in (4, 27))
            if seam:
                b, g, r = 40, 50, 60
            elif rivet:
                b, g, r = 200, 200, 210
            else:
                shade = 200 + (x + y) % 24
                b, g, r = 40, shade // 2, shade
            pixels += bytes((b, g, r))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    assert row_bytes % 4 == 0
    return header + info + bytes(pixels)


def main():
    with open(os.path.join(HERE, "robot_arm.mqo"), "wb") as f:
        f.write(document())
    os.makedirs(os.path.join(HERE, "TEXTURE"), exist_ok=True)
    with open(os.path.join(HERE, "TEXTURE", "robot_panel.bmp"), "wb") as f:
        f.write(panel_bmp())


if __name__ == "__main__":
    main()
