#!/usr/bin/env python3
"""kinovela-cli render driven as a user would: pictures written, their size
and content, frame ranges, the camera, textures, exit codes and messages.

    test_render.py PATH/TO/kinovela-cli SOURCE_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

CLI = None
SOURCE = None
BACKGROUND = (30, 65, 90)


def run(*args):
    p = subprocess.run([CLI, *args], capture_output=True, timeout=120)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2), (depth, colour)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[3 * x:3 * x + 3]) for x in range(width)])
        prev = line
    return width, height, rows


class RenderTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="kinovela-render-")
        self.sample = os.path.join(SOURCE, "samples", "robot_arm.mqo")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def test_usage_errors_exit_2(self):
        out = self.path("a.png")
        for args in (["render"], ["render", self.sample], ["render", self.sample, self.path("a.jpg")],
                     ["render", self.sample, out, "--frame", "x"], ["render", self.sample, out, "--frame", "-1"],
                     ["render", self.sample, out, "--frames", "5-2"], ["render", self.sample, out, "--frames", "7"],
                     ["render", self.sample, out, "--frame", "1", "--frames", "1-2"],
                     ["render", self.sample, out, "--size", "0x10"], ["render", self.sample, out, "--size", "64"],
                     ["render", self.sample, out, "--size", "20000x10"], ["render", self.sample, out, "--bogus"]):
            code, stdout, err = run(*args)
            self.assertEqual(code, 2, args)
            self.assertIn("Usage:", err)
            self.assertEqual(stdout, "")
        self.assertEqual(os.listdir(self.tmp), [])
        # Frames the scene does not have are refused after reading it.
        code, _, err = run("render", self.sample, out, "--frames", "50-61")
        self.assertEqual(code, 2)
        self.assertIn("frames 0 to 60", err)
        self.assertFalse(os.path.exists(self.path("a-0000.png")))

    def test_one_frame_of_the_sample(self):
        out = self.path("arm.png")
        code, stdout, err = run("render", self.sample, out, "--size", "200x150")
        self.assertEqual((code, stdout, err), (0, "", ""), "quiet when stderr is not a terminal")
        width, height, rows = read_png(out)
        self.assertEqual((width, height), (200, 150))
        self.assertEqual(rows[0][0], BACKGROUND)
        colours = {p for row in rows for p in row}
        # The orange, textured body panels are there.
        self.assertTrue(any(r > 200 and 60 < g < 200 and b < 80 for r, g, b in colours))

    def test_frame_ranges_number_their_pictures(self):
        kvl = self.path("wave.kvl")
        code, _, err = run("run", os.path.join(SOURCE, "samples", "robot_arm_wave.kvs"), "--out", kvl)
        self.assertEqual(code, 0, err)
        out = self.path("wave.png")
        code, _, err = run("render", kvl, out, "--frames", "29-31", "--size", "64x48")
        self.assertEqual(code, 0, err)
        self.assertEqual(sorted(os.listdir(self.tmp)), ["wave-0000.png", "wave-0001.png", "wave-0002.png", "wave.kvl"])
        first = read_png(self.path("wave-0000.png"))
        self.assertEqual(first[:2], (64, 48))
        # The arm moves between frame 0 and frame 30.
        run("render", kvl, self.path("f0.png"), "--frame", "0", "--size", "64x48")
        run("render", kvl, self.path("f30.png"), "--frame", "30", "--size", "64x48")
        self.assertNotEqual(read_png(self.path("f0.png"))[2], read_png(self.path("f30.png"))[2])
        self.assertEqual(read_png(self.path("f30.png"))[2], read_png(self.path("wave-0001.png"))[2])

    def test_camera_reset(self):
        # A scene whose camera has been moved draws like the imported one
        # once the camera is reset.
        script = self.path("camera.kvs")
        with open(script, "w", encoding="utf-8") as f:
            f.write("open %s\nselect none\nmode move\nset 40 -30 -2600\nsave moved.kvl\n" % self.sample)
        code, _, err = run("run", script)
        self.assertEqual(code, 0, err)
        args = ("--size", "80x60", "--texture-dir", os.path.join(SOURCE, "samples", "TEXTURE"))
        run("render", self.sample, self.path("imported.png"), *args)
        run("render", self.path("moved.kvl"), self.path("moved.png"), *args)
        run("render", self.path("moved.kvl"), self.path("reset.png"), "--camera-reset", *args)
        imported = read_png(self.path("imported.png"))[2]
        self.assertNotEqual(read_png(self.path("moved.png"))[2], imported)
        self.assertEqual(read_png(self.path("reset.png"))[2], imported)

    def test_textures_and_files_that_fail(self):
        # Away from its TEXTURE folder the sample renders with a warning...
        alone = self.path("alone.mqo")
        shutil.copy(self.sample, alone)
        code, _, err = run("render", alone, self.path("a.png"), "--size", "32x24")
        self.assertEqual(code, 0)
        self.assertIn("robot_panel.bmp", err)
        # ...and finds it in a folder it is given.
        code, _, err = run("render", alone, self.path("b.png"), "--size", "32x24",
                           "--texture-dir", os.path.join(SOURCE, "samples", "TEXTURE"))
        self.assertEqual((code, err), (0, ""))
        code, _, err = run("render", self.path("missing.mqo"), self.path("c.png"))
        self.assertEqual(code, 1)
        self.assertIn("missing.mqo", err)
        os.mkdir(self.path("d.png"))
        code, _, err = run("render", self.sample, self.path("d.png"), "--size", "32x24")
        self.assertEqual(code, 1)
        self.assertIn("d.png", err)


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv[1])
    SOURCE = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"])
