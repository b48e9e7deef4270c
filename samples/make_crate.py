#!/usr/bin/env python3
"""Writes a small textured sample: a wooden crate on a tiled floor.

    python3 samples/make_crate.py      # rewrites crate.mqo, TEXTURE/crate.bmp and TEXTURE/tiles.bmp

The crate's faces share no corners, so every face is shaded evenly; the
floor's tiles repeat four times across it. Faces run clockwise seen from
the side they show.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp(path, width, height, pixel):
    """A 24-bit BMP, rows bottom first; pixel(x, y) gives (r, g, b) with y from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = b"".join(bytes((b, g, r)) for r, g, b in (pixel(x, y) for x in range(width)))
        rows.append(row + b"\0" * (stride - width * 3))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def crate_texel(x, y):
    # Planks across, a frame round the edge and a brace from corner to corner.
    frame = x < 6 or x > 57 or y < 6 or y > 57
    brace = abs(x - y) < 4
    if frame or brace:
        base = (150, 96, 48)
        if x in (0, 63) or y in (0, 63) or (brace and not frame and abs(x - y) == 3):
            base = (70, 42, 20)
    else:
        plank = y // 13
        base = (186, 130, 70) if plank % 2 else (170, 116, 60)
        if y % 13 == 0:
            base = (90, 56, 28)
    grain = ((x * 7 + y * 13) % 11) - 5
    return tuple(max(0, min(255, c + grain)) for c in base)


def tile_texel(x, y):
    light = (x // 16 + y // 16) % 2
    grout = x % 16 == 0 or y % 16 == 0
    if grout:
        return (110, 110, 104)
    return (214, 206, 188) if light else (92, 112, 140)


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def face(centre, normal, up, size):
    """The corners of a square face and their texture coordinates, the
    picture upright as seen from the side the normal points to. The corners
    run so that the normal the modeller computes (second minus first across
    third minus first) points into the solid, which is the side Kinovela
    draws a face from."""
    right = cross(tuple(-c for c in normal), up)
    at = lambda r, u: tuple(centre[i] + size * (r * right[i] + u * up[i]) for i in range(3))
    corners = [at(-1, 1), at(1, 1), at(1, -1), at(-1, -1)]  # top-left, top-right, bottom-right, bottom-left
    uvs = [(0, 0), (1, 0), (1, 1), (0, 1)]
    a, b, c = corners[:3]
    n = cross(tuple(b[i] - a[i] for i in range(3)), tuple(c[i] - a[i] for i in range(3)))
    assert sum(n[i] * normal[i] for i in range(3)) < 0
    return corners, uvs


def main():
    os.makedirs(os.path.join(HERE, "TEXTURE"), exist_ok=True)
    bmp(os.path.join(HERE, "TEXTURE", "crate.bmp"), 64, 64, crate_texel)
    bmp(os.path.join(HERE, "TEXTURE", "tiles.bmp"), 64, 64, tile_texel)
    lines = ["Metasequoia Document", "Format Text Ver 1.0", "",
             "Material 2 {",
             '\t"wood" shader(3) col(1.000 1.000 1.000 1.000) dif(0.800) amb(0.600) emi(0.000) spc(0.100) '
             'power(5.00) tex("crate.bmp")',
             '\t"tiles" shader(3) col(1.000 1.000 1.000 1.000) dif(0.800) amb(0.600) emi(0.000) spc(0.000) '
             'power(5.00) tex("tiles.bmp")',
             "}"]
    half = 90.0
    verts, faces = [], []
    sides = [((0, 0, -1), (0, 1, 0)), ((0, 0, 1), (0, 1, 0)), ((-1, 0, 0), (0, 1, 0)), ((1, 0, 0), (0, 1, 0)),
             ((0, 1, 0), (0, 0, -1)), ((0, -1, 0), (0, 0, 1))]
    for normal, up in sides:
        corners, uvs = face(tuple(half * n + (half if i == 1 else 0) for i, n in enumerate(normal)), normal, up, half)
        first = len(verts)
        verts += corners
        faces.append("4 V(%d %d %d %d) M(0) UV(%s)" % (first, first + 1, first + 2, first + 3,
                                                        " ".join("%g %g" % uv for uv in uvs)))
    lines += ['Object "crate" {', "\tvisible 15", "\tshading 1", "\tfacet 59.5",
              "\tvertex %d {" % len(verts)]
    lines += ["\t\t%.4f %.4f %.4f" % v for v in verts]
    lines += ["\t}", "\tface %d {" % len(faces)] + ["\t\t" + f for f in faces] + ["\t}", "}"]
    # A little below the ground grid, which then shows on the tiles.
    floor, floor_uvs = face((0, -2, 0), (0, 1, 0), (0, 0, -1), 400)
    lines += ['Object "floor" {', "\tvisible 15", "\tshading 1", "\tfacet 59.5", "\tvertex 4 {"]
    lines += ["\t\t%.4f %.4f %.4f" % v for v in floor]
    lines += ["\t}", "\tface 1 {",
              "\t\t4 V(0 1 2 3) M(1) UV(%s)" % " ".join("%g %g" % (4 * u, 4 * v) for u, v in floor_uvs),
              "\t}", "}", "Eof", ""]
    with open(os.path.join(HERE, "crate.mqo"), "w", newline="\r\n") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
