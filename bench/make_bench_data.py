#!/usr/bin/env python3
"""Writes the benchmark inputs into bench/data/ (or the folder given):

  quads.mqo  one textured object of 1000 x 500 quads (500,000 faces on
             501,501 vertices, about 68 MB of Metasequoia text)
  quads.obj  the same mesh as Wavefront OBJ with texture coordinates
  sheet.png  the sheet's texture, a 256 x 256 checker board

    python3 bench/make_bench_data.py [FOLDER]
"""
import os
import struct
import sys
import zlib

COLS, ROWS = 1000, 500


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
    os.makedirs(out, exist_ok=True)
    # A gently waved sheet so that normals and the bounding box are not trivial.
    verts = []
    for r in range(ROWS + 1):
        for c in range(COLS + 1):
            x = c * 2.0 - COLS
            z = r * 2.0 - ROWS
            y = ((c * 7 + r * 13) % 97) * 0.125
            verts.append((x, y, z, c / COLS, r / ROWS))
    stride = COLS + 1

    def quad(r, c):
        a = r * stride + c
        return a, a + 1, a + 1 + stride, a + stride

    with open(os.path.join(out, "quads.mqo"), "w", newline="") as f:
        w = f.write
        w("Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\n")
        w("Scene {\r\n\tpos 0.0000 0.0000 1500.0000\r\n\tlookat 0.0000 0.0000 0.0000\r\n}\r\n")
        w('Material 1 {\r\n\t"sheet" shader(3) col(0.800 0.800 0.800 1.000) dif(0.800) amb(0.600) '
          'emi(0.000) spc(0.000) power(5.00) tex("sheet.png")\r\n}\r\n')
        w('Object "sheet" {\r\n\tdepth 0\r\n\tfolding 0\r\n\tvisible 15\r\n\tlocking 0\r\n\tshading 1\r\n'
          '\tfacet 59.5\r\n\tcolor 0.898 0.498 0.698\r\n\tcolor_type 0\r\n')
        w("\tvertex %d {\r\n" % len(verts))
        w("".join("\t\t%.4f %.4f %.4f\r\n" % v[:3] for v in verts))
        w("\t}\r\n\tface %d {\r\n" % (ROWS * COLS))
        lines = []
        for r in range(ROWS):
            for c in range(COLS):
                q = quad(r, c)
                uv = " ".join("%.5f %.5f" % (verts[i][3], verts[i][4]) for i in q)
                lines.append("\t\t4 V(%d %d %d %d) M(0) UV(%s)\r\n" % (q + (uv,)))
            if len(lines) > 20000:
                w("".join(lines))
                lines = []
        w("".join(lines))
        w("\t}\r\n}\r\nEof\r\n")

    with open(os.path.join(out, "quads.obj"), "w") as f:
        w = f.write
        w("# 1000 x 500 quads\n")
        w("".join("v %.4f %.4f %.4f\n" % v[:3] for v in verts))
        w("".join("vt %.5f %.5f\n" % v[3:] for v in verts))
        lines = []
        for r in range(ROWS):
            for c in range(COLS):
                q = [i + 1 for i in quad(r, c)]
                lines.append("f %d/%d %d/%d %d/%d %d/%d\n" % (q[0], q[0], q[1], q[1], q[2], q[2], q[3], q[3]))
            if len(lines) > 20000:
                w("".join(lines))
                lines = []
        w("".join(lines))

    write_checker_png(os.path.join(out, "sheet.png"), 256, 32)


def write_checker_png(path, side, cell):
    rows = b"".join(
        b"\0" + b"".join((b"\xe0\x60\x20" if (x // cell + y // cell) % 2 else b"\x30\x90\xd0") for x in range(side))
        for y in range(side))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    main()
