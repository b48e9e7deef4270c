#!/usr/bin/env python3
"""The Hot Soup Processor export of the animated sample scene, read back by a
reader written here from the format's description (not from the writer), and
compared with the C header export of the same scene for the geometry.

    test_hsp.py PATH/TO/kinovela-cli SOURCE_DIR
"""
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

CLI = None
SOURCE = None
SCALE = 0.04

SCRIPT = """open robot_arm.mqo
select upper_arm
parent base
select forearm
parent upper_arm
select 手首
parent forearm
select finger_L
parent 手首
select finger_R
parent root
last-frame 20
select forearm
frame 10
mode rotate
set 10 30 45
key add
mode move
set 5 -7 2
key add
select 手首
mode scale
set 1 2 1
key add
play
export OUT.mx --scale 0.04
export OUT.h --scale 0.04
export TEXTURE/KEEP.mx
print --json --frames
"""


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def read_mx(data):
    """Header, model records, polygon records and texture names."""
    assert data[:4] == b"MXF\0"
    h = struct.unpack_from("<8IHHII", data, 4)
    return {
        "header": h,
        "models": [struct.unpack_from("<12fHHIHH", data, h[2] + 60 * k) for k in range(h[1] // 60)],
        "polygons": [struct.unpack_from("<40fIhH", data, h[4] + 168 * k) for k in range(h[3] // 168)],
        "textures": [data[h[6] + 16 * k:h[6] + 16 * k + 16] for k in range(h[5] // 16)],
    }


def header_blocks(text, kind):
    """The rows of every `kind` array of a C header export, in file order."""
    blocks = re.findall(rb"\n%s \S*?%s\[\d+\] =\r\n\{\r\n(.*?)\};" % (b"Face" if kind == b"Face" else b"Vector3", kind),
                        text, re.S)
    return [[[float(v) for v in row.strip(b"\t{},").split(b",")] for row in b.split(b"\r\n") if row] for b in blocks]


class Hsp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="kinovela-hsp-")
        shutil.copy(os.path.join(SOURCE, "samples", "robot_arm.mqo"), cls.tmp)
        shutil.copytree(os.path.join(SOURCE, "samples", "TEXTURE"), os.path.join(cls.tmp, "TEXTURE"))
        cls.texture = os.path.join(cls.tmp, "TEXTURE", "robot_panel.bmp")
        cls.texture_inode = os.stat(cls.texture).st_ino
        script = os.path.join(cls.tmp, "hsp.kvs")
        with open(script, "w", encoding="utf-8") as f:
            f.write(SCRIPT)
        p = subprocess.run([CLI, "run", script], capture_output=True, timeout=300)
        cls.stderr = p.stderr.decode("utf-8", "replace")
        assert p.returncode == 0, cls.stderr
        cls.info = json.loads(p.stdout)
        cls.order = [m for e, m in cls.info["walk"] if e == 1]
        with open(os.path.join(cls.tmp, "OUT.mx"), "rb") as f:
            cls.data = f.read()
        cls.mx = read_mx(cls.data)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def test_header_and_tree(self):
        h, models = self.mx["header"], self.info["models"]
        self.assertEqual(h[:1] + h[2:3] + h[7:11], (512, 48, 2, 0, 0, 0))
        self.assertEqual((h[4], h[6], h[11]), (48 + h[1], h[4] + h[3], len(self.data)))
        self.assertEqual(h[6] + h[5], len(self.data))
        self.assertEqual(len(self.mx["models"]), len(models))
        parent_of = {}
        first = 0
        for k, rec in enumerate(self.mx["models"]):
            m = models[self.order[k]]
            px, py, pz = m["pivot"]
            for got, want in zip(rec[:12], (px * SCALE, -py * SCALE, pz * SCALE, 1, 0, 0, 0, 1, 1, 1, 1, 1)):
                self.assertAlmostEqual(got, want, places=5)
            self.assertEqual(rec[12:15], (1, m["faces"], first))
            first += m["faces"]  # the sample has only triangles and quads
            child, sibling = rec[15:17]
            for link in (child, sibling):
                self.assertTrue(link == 0 or k < link < len(models), (k, link))
            for c in [child] if child else []:
                while True:
                    self.assertNotIn(c, parent_of)
                    parent_of[c] = k
                    c = self.mx["models"][c][16]
                    if not c:
                        break
        self.assertEqual(first, len(self.mx["polygons"]))
        # Roots chain from position 0 through the next-sibling links.
        roots, r = [], 0
        while True:
            roots.append(r)
            r = self.mx["models"][r][16]
            if not r:
                break
        for k in range(len(models)):
            parent = models[self.order[k]]["parent"]
            if parent == -99:
                self.assertIn(k, roots)
            else:
                self.assertEqual(parent_of.get(k), self.order.index(parent), models[self.order[k]]["name"])
        self.assertEqual(len(roots), 2, "finger_R was made a second root")

    def test_polygons_match_the_header_export(self):
        with open(os.path.join(self.tmp, "OUT.h"), "rb") as f:
            text = f.read()
        faces, verts, normals = (header_blocks(text, k) for k in (b"Face", b"Vertex", b"Normal"))
        mats = self.info["materials"]
        textured = [m["id"] for m in mats if m["texture"]]
        polys = iter(self.mx["polygons"])
        for k in range(len(self.order)):
            for row in faces[k]:
                p = next(polys)
                n = 3 if row[0] == -1 else 4
                corners = [int(c) for c in row[4 - n:4]][::-1]
                us, vs = row[5:5 + n][::-1], row[9:9 + n][::-1]
                if n == 3:
                    corners, us, vs = corners + corners[-1:], us + us[-1:], vs + vs[-1:]
                for c in range(4):
                    x, y, z = verts[k][corners[c]]
                    nx, ny, nz = normals[k][corners[c]]
                    for got, want in zip(p[4 * c:4 * c + 4] + p[16 + 4 * c:20 + 4 * c] + p[32 + 2 * c:34 + 2 * c],
                                         (x, -y, z, 1, -nx, -ny, -nz, 1, us[c], vs[c])):
                        self.assertAlmostEqual(got, want, delta=2e-6)
                mat = next(m for m in mats if m["id"] == int(row[4]))
                rgb = [int(f32(f32(c) * 255)) for c in mat["color"][:3]]
                self.assertEqual(p[40], (rgb[0] << 16) | (rgb[1] << 8) | rgb[2])
                self.assertEqual(p[41:], (textured.index(mat["id"]) if mat["id"] in textured else -1, 2))
        self.assertIsNone(next(polys, None))
        names = [os.path.splitext(m["texture"].encode("cp932"))[0][:16].ljust(16, b"\0") for m in mats if m["texture"]]
        self.assertEqual(self.mx["textures"], names)

    def test_motion_file(self):
        with open(os.path.join(self.tmp, "OUT.ma"), "rb") as f:
            lines = f.read().decode("ascii").split("\r\n")
        self.assertEqual(lines[0], "; Kinovela 6.6")
        self.assertTrue(all(line.startswith("; ") for line in lines[1:4]))
        self.assertEqual(lines[4], "")
        frames = self.info["last_frame"] + 1
        i = 5
        for k, index in enumerate(self.order):
            self.assertEqual(lines[i], "*%04d_OUT" % k)
            for f, pose in enumerate(self.info["models"][index]["poses"]):
                s, r, t = (lines[i + 1 + 3 * f + j] for j in range(3))
                rx, ry, rz = (math.radians(a) for a in pose["rotation"])
                tx, ty, tz = (SCALE * v for v in pose["position"])
                for line, tag, want in ((s, "s ", pose["scale"]), (r, "r ", (rx, -ry, rz)), (t, "t ", (tx, -ty, tz))):
                    self.assertTrue(line.startswith(tag), line)
                    for got, w in zip(map(float, line[2:].split(",")), want):
                        self.assertAlmostEqual(got, w, delta=2e-6)
            i += 1 + 3 * frames
            self.assertEqual(lines[i:i + 2], ["go back", ""])
            i += 2
        self.assertEqual(lines[i:], [""])

    def test_texture_files(self):
        with open(os.path.join(self.tmp, "robot_panel.bmp"), "rb") as f:
            bmp = f.read()
        with open(self.texture, "rb") as f:
            source = f.read()
        self.assertEqual(bmp[:2], b"BM")
        self.assertEqual(struct.unpack_from("<I", bmp, 2)[0], len(bmp))
        self.assertEqual(struct.unpack_from("<ii", bmp, 18), struct.unpack_from("<ii", source, 18))
        # Exported into the texture's own folder, the texture is left alone.
        self.assertEqual(os.stat(self.texture).st_ino, self.texture_inode)
        self.assertIn("robot_panel.bmp", self.stderr)
        self.assertTrue(os.path.exists(os.path.join(self.tmp, "TEXTURE", "KEEP.mx")))


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv[1])
    SOURCE = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"])
