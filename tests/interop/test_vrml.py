#!/usr/bin/env python3
"""Our VRML97 worlds read by an independent program (tovrmlx3d of the Castle
Game Engine), with a structural check of our own: every index of every
IndexedFaceSet inside its lists, key and keyValue lists of equal length, and
every ROUTE between defined nodes.

    test_vrml.py PATH/TO/kinovela-cli SOURCE_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

CLI = None
SOURCE = None

TOKEN = re.compile(rb'"(?:[^"\\]|\\.)*"|[\[\]{}]|[^\s,\[\]{}]+')


def run(*args, cwd=None):
    p = subprocess.run(list(args), capture_output=True, timeout=300, cwd=cwd)
    return p.returncode, p.stdout, p.stderr.decode("utf-8", "replace")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def fields(tokens, i):
    """The fields of the node whose '{' ends at i, and the index after its '}'."""
    out = {}
    while tokens[i] != b"}":
        name = tokens[i]
        if tokens[i + 1] == b"[":
            end = tokens.index(b"]", i + 2)
            out[name], i = tokens[i + 2:end], end + 1
        elif tokens[i + 2] == b"{":
            out[name], i = fields(tokens, i + 3)
        else:
            out[name], i = tokens[i + 1], i + 2
    return out, i + 1


def check_faces(test, index, count, what):
    ints = [int(v) for v in index]
    test.assertTrue(ints and ints[-1] == -1, what)
    faces, corners = [], []
    for v in ints:
        if v == -1:
            faces.append(corners)
            corners = []
        else:
            corners.append(v)
    for corners in faces:
        test.assertIn(len(corners), (3, 4), what)
        test.assertTrue(all(0 <= c < count for c in corners), "%s: %s outside 0..%d" % (what, corners, count - 1))
    return ints


def check_world(test, path):
    code, out, err = run("tovrmlx3d", path)
    test.assertEqual((code, err), (0, ""), path)
    test.assertIn(b"IndexedFaceSet", out)
    data = read(path)
    test.assertEqual(data.count(b"\n"), data.count(b"\r\n"))
    tokens = TOKEN.findall(data)
    shapes = 0
    for i, t in enumerate(tokens):
        if t != b"IndexedFaceSet":
            continue
        shapes += 1
        ifs, _ = fields(tokens, i + 2)
        points = ifs[b"coord"][b"point"]
        test.assertEqual(len(points) % 3, 0)
        coord = check_faces(test, ifs[b"coordIndex"], len(points) // 3, "coordIndex")
        for node, lst, index, width in ((b"normal", b"vector", b"normalIndex", 3),
                                        (b"texCoord", b"point", b"texCoordIndex", 2)):
            if node in ifs:
                values = ifs[node][lst]
                test.assertEqual(len(values) % width, 0)
                test.assertEqual(len(values) // width, len(points) // 3, "one per corner")
                test.assertEqual(check_faces(test, ifs[index], len(values) // width, index.decode()), coord)
    defs = set(re.findall(rb"DEF (\S+) ", data))
    for name, key, value in re.findall(rb"DEF (\S+) \w+Interpolator \{\s*key \[([^\]]*)\]\s*keyValue \[([^\]]*)\]", data):
        test.assertEqual(len(key.split(b",")), len([v for v in value.split(b",") if v.strip()]), name)
    for a, b in re.findall(rb"ROUTE (\S+)\.\w+ TO (\S+)\.\w+", data):
        test.assertTrue(a in defs and b in defs, (a, b))
    return data, shapes


class Vrml(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="kinovela-vrml-")
        cls.scene = os.path.join(cls.tmp, "wave.kvl")
        shutil.copytree(os.path.join(SOURCE, "samples", "TEXTURE"), os.path.join(cls.tmp, "TEXTURE"))
        code, _, err = run(CLI, "run", os.path.join(SOURCE, "samples", "robot_arm_wave.kvs"), "--out", cls.scene)
        assert code == 0, err
        cls.out = os.path.join(cls.tmp, "out")
        os.mkdir(cls.out)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def export(self, scene, name, *options):
        path = os.path.join(self.out, name)
        code, _, err = run(CLI, "export", scene, path, *options)
        self.assertEqual(code, 0, err)
        return path

    def test_every_variant(self):
        variants = [(), ("--camera", "--normals", "--uv", "--key-type", "srt"),
                    ("--no-camera", "--no-normals", "--uv", "--key-type", "none"),
                    ("--camera", "--no-normals", "--no-uv", "--key-type", "srt", "--safe-names", "--scale", "0.5")]
        for n, options in enumerate(variants):
            with self.subTest(options=options):
                data, shapes = check_world(self, self.export(self.scene, "v%d.wrl" % n, *options))
                self.assertGreater(shapes, 5)
                self.assertEqual(b"TimeSensor" in data, "none" not in options)
                self.assertEqual(b"CAMERA_T_v%d" % n in data, "--camera" in options)
                self.assertEqual(b"texCoordIndex" in data, "--uv" in options)
                self.assertEqual(b"normalIndex" in data, "--normals" in options)
        # The interpolators carry the script's keys: frame 0, 30 and 60 of 60.
        data = read(os.path.join(self.out, "v1.wrl"))
        self.assertIn(b"DEF PI_forearm PositionInterpolator {\r\n\tkey [ 0.0, 0.500000, 1.000000 ]\r\n", data)

    def test_textures_beside_the_world(self):
        # The sample's texture is a BMP already: it is copied as it is, and
        # the source is never touched.
        source = os.path.join(self.tmp, "TEXTURE", "robot_panel.bmp")
        before = read(source)
        check_world(self, self.export(os.path.join(SOURCE, "samples", "robot_arm.mqo"), "plain.wrl",
                                      "--texture-dir", os.path.dirname(source), "--uv"))
        self.assertEqual(read(os.path.join(self.out, "robot_panel.bmp")), before)
        # Exporting into the texture folder itself leaves the picture alone.
        self.export(self.scene, os.path.join(self.tmp, "TEXTURE", "inside.wrl"), "--uv")
        self.assertEqual(read(source), before)


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv[1])
    SOURCE = os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1])
