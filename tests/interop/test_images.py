#!/usr/bin/env python3
"""Our picture readers against an independent decode of the same files:
ImageMagick's (convert FILE -depth 8 rgba:REF) for the BMP, PPM/PGM, TGA,
PNG and JPEG fixtures, and the expected pixels the fixture script writes
itself for ILBM and for the layouts ImageMagick does not read our way.

    test_images.py PATH/TO/image_dump PATH/TO/make_images.py [SCRATCH_DIR]

Allowed differences, all deliberate in our readers: 32-bit TGA alpha is
inverted; 16-bit pixels expand a 5-bit channel v to v*8; 16-bit PNG samples
are rounded to 8 bits (v*255/65535, as libpng's png_set_scale_16 does, where
ImageMagick's -depth 8 truncates); JPEG pixels may
differ by at most JPEG_TOLERANCE per channel (the two programs use
different IDCT and upsampling code).
"""
import importlib.util
import json
import os
import subprocess
import sys
import tempfile
import unittest

DUMP = None
MAKER = None
SCRATCH = None
JPEG_TOLERANCE = 1


def load_maker(path):
    found = importlib.util.spec_from_file_location("make_images", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True, timeout=60)


def read_dump(path):
    with open(path, "rb") as f:
        data = f.read()
    head, _, pixels = data.partition(b"\n")
    w, h, bits = (int(v) for v in head.split())
    return w, h, bits, pixels


def expected_pixels(reference, rule):
    """What our dump should hold, from the reference RGBA, by rule."""
    out = bytearray(reference)
    if rule == "alpha-inverted":
        out[3::4] = bytes(255 - a for a in reference[3::4])
    elif rule == "five-bit":
        for c in range(3):
            out[c::4] = bytes(v & 0xF8 for v in reference[c::4])
        out[3::4] = b"\xff" * (len(out) // 4)
    return bytes(out)


def compare(ours, expected, width, tolerance):
    """None, or a message naming the first differing pixel."""
    if len(ours) != len(expected):
        return "%d bytes of pixels, expected %d" % (len(ours), len(expected))
    bad = [i // 4 for i in range(0, len(ours), 4)
           if max(abs(a - b) for a, b in zip(ours[i:i + 4], expected[i:i + 4])) > tolerance]
    if not bad:
        return None
    p = bad[0]
    return "%d pixels differ by more than %d; first at x=%d y=%d: ours RGBA %s, expected %s" % (
        len(bad), tolerance, p % width, p // width, tuple(ours[4 * p:4 * p + 4]),
        tuple(expected[4 * p:4 * p + 4]))


def largest_difference(ours, expected):
    return max((abs(a - b) for a, b in zip(ours, expected)), default=0)


class Images(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._tmp = None
        if SCRATCH:
            cls.out = SCRATCH
        else:
            cls._tmp = tempfile.TemporaryDirectory(prefix="kinovela-images-")
            cls.out = cls._tmp.name
        maker = load_maker(MAKER)
        cls.convert = maker.find_convert()
        cls.entries = maker.main(cls.out)
        cls.jpeg_worst = 0

    @classmethod
    def tearDownClass(cls):
        if any(e["rule"] == "jpeg" for e in cls.entries):
            print("\nlargest JPEG difference: %d (allowed %d)" % (cls.jpeg_worst, JPEG_TOLERANCE))
        if cls._tmp:
            cls._tmp.cleanup()

    def reference(self, entry):
        path = os.path.join(self.out, entry["name"])
        if entry["reference"] != "convert":
            with open(os.path.join(self.out, entry["reference"]), "rb") as f:
                return f.read()
        ref = path + ".convert.rgba"
        # ImageMagick leaves a bottom-up TGA's rows in file order and only
        # records the orientation; -auto-orient puts the top row first.
        orient = ["-auto-orient"] if path.lower().endswith(".tga") else []
        # Its -depth 8 truncates 16-bit samples, where libpng rounds: take
        # the 16-bit samples and round them here.
        depth = ["-depth", "16", "-endian", "MSB"] if entry["rule"] == "scale-16" else ["-depth", "8"]
        p = run(self.convert, path, *orient, *depth, "rgba:" + ref)
        self.assertEqual(p.returncode, 0, "convert could not read %s: %s" % (entry["name"], p.stderr))
        with open(ref, "rb") as f:
            data = f.read()
        if entry["rule"] == "scale-16":
            data = bytes((((data[i] << 8) | data[i + 1]) * 255 + 32767) // 65535 for i in range(0, len(data), 2))
        return data

    def check_family(self, *prefixes):
        entries = [e for e in self.entries if e["name"].startswith(prefixes) and e["reference"]]
        self.assertTrue(entries, "no fixtures named %s" % (prefixes,))
        for entry in entries:
            with self.subTest(entry["name"], note=entry["note"]):
                self.check_one(entry)

    def check_one(self, entry):
        name = entry["name"]
        path = os.path.join(self.out, name)
        dump = path + ".ours.rgba"
        p = run(DUMP, path, dump)
        self.assertEqual(p.returncode, 0, "image_dump failed on %s: %s" % (name, p.stderr.decode()))
        w, h, bits, ours = read_dump(dump)
        self.assertEqual((w, h, bits), (*entry["size"], entry["bits"]), "%s: width, height, bits" % name)
        expected = expected_pixels(self.reference(entry), entry["rule"])
        tolerance = JPEG_TOLERANCE if entry["rule"] == "jpeg" else 0
        if entry["rule"] == "jpeg":
            type(self).jpeg_worst = max(self.jpeg_worst, largest_difference(ours, expected))
        problem = compare(ours, expected, w, tolerance)
        self.assertIsNone(problem, "%s (%s): %s" % (name, entry["note"] or entry["rule"], problem))

    def test_bmp(self):
        self.check_family("bmp")

    def test_ppm_pgm(self):
        self.check_family("ppm", "pgm")

    def test_tga(self):
        self.check_family("tga")

    def test_png(self):
        self.check_family("png")

    def test_jpeg(self):
        self.check_family("jpeg")

    def test_ilbm(self):
        self.check_family("ilbm")

    def test_refused_files(self):
        refused = [e for e in self.entries if e["reference"] is None]
        self.assertGreaterEqual(len(refused), 4)
        for entry in refused:
            with self.subTest(entry["name"], note=entry["note"]):
                path = os.path.join(self.out, entry["name"])
                out = path + ".ours.rgba"
                p = run(DUMP, path, out)
                self.assertEqual(p.returncode, 1, "%s (%s) was read" % (entry["name"], entry["note"]))
                self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: test_images.py PATH/TO/image_dump PATH/TO/make_images.py [SCRATCH_DIR]")
    DUMP, MAKER = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    SCRATCH = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
