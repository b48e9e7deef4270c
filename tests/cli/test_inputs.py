#!/usr/bin/env python3
"""kinovela-cli on what users bring: Metasequoia 4 documents, damaged
documents, hostile pictures and extreme values in scripts.

    test_inputs.py PATH/TO/kinovela-cli SOURCE_DIR
"""
import json
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


def run(*args, cwd=None):
    p = subprocess.run([CLI, *args], capture_output=True, timeout=120, cwd=cwd)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")


def run_measured(*args):
    """Runs the tool and returns (exit code, peak resident memory in MiB)."""
    p = subprocess.Popen([CLI, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    p.returncode = os.waitstatus_to_exitcode(status)
    return p.returncode, usage.ru_maxrss / 1024.0


def bmp24(width, height, rgb):
    stride = (width * 3 + 3) & ~3
    row = bytes(rgb[::-1]) * width + b"\0" * (stride - width * 3)
    pixels = row * height
    return (b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0) + pixels)


def png_chunk(kind, data, length=None):
    return (struct.pack(">I", len(data) if length is None else length) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png(chunks_before_idat=b"", width=4, height=4):
    raw = b"".join(b"\0" + b"\x80\x40\x20" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunks_before_idat + png_chunk(b"IDAT", zlib.compress(raw)) + png_chunk(b"IEND", b""))


# "Robot arm", "skin" and a texture in a folder, in Japanese. The texture's
# last character has 0x5C ('\') as its second Shift_JIS byte.
OBJECT = "ロボットの腕"
MATERIAL = "肌"
TEXTURE_DIR = "テクスチャ"
TEXTURE = "ソース.bmp"


def metasequoia4(code_page, encoding):
    head = "Metasequoia Document\r\nFormat Text Ver 1.1\r\n"
    if code_page:
        head += "CodePage %s\r\n" % code_page
    body = ("Thumbnail 2 1 24 rgb raw {\r\nFF0000FF0000\r\n}\r\n"
            "Material 1 {\r\n\t\"%s\" uid(1) shader(3) col(1 1 1 1) dif(0.8) tex(\"%s\\%s\")\r\n}\r\n"
            "Object \"%s\" {\r\n\tuid 1\r\n\tnormal_weight 1\r\n\tvertex 3 {\r\n\t\t0 0 0\r\n\t\t1 0 0\r\n\t\t0 1 0\r\n\t}\r\n"
            "\tvertexattr {\r\n\t\tuid {\r\n\t\t\t1\r\n\t\t\t2\r\n\t\t\t3\r\n\t\t}\r\n\t}\r\n"
            "\tface 1 {\r\n\t\t3 V(0 1 2) M(0) UV(0 0 1 0 0 1) UID(1)\r\n\t}\r\n}\r\nEof\r\n"
            % (MATERIAL, TEXTURE_DIR, TEXTURE, OBJECT))
    return (head + body).encode(encoding)


class InputsTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="kinovela-inputs-")
        self.sample = os.path.join(SOURCE, "samples", "robot_arm.mqo")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def path(self, *names):
        return os.path.join(self.tmp, *names)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def test_metasequoia4_document_finds_its_japanese_texture(self):
        os.mkdir(self.path(TEXTURE_DIR))
        self.write(os.path.join(TEXTURE_DIR, TEXTURE), bmp24(2, 2, (200, 100, 50)))
        utf8 = self.write("utf8.mqo", metasequoia4("utf8", "utf-8"))
        sjis = self.write("sjis.mqo", metasequoia4(None, "cp932"))
        code, out, err = run("info", "--json", utf8)
        self.assertEqual(code, 0, err)
        self.assertEqual(err, "")
        doc = json.loads(out)
        self.assertEqual((doc["version"], doc["code_page"]), ("1.1", "utf8"))
        self.assertEqual(doc["models"][0]["name"], OBJECT)
        self.assertEqual(doc["models"][0]["name_hex"], OBJECT.encode("cp932").hex())
        material = doc["materials"][0]
        self.assertEqual(material["name"], MATERIAL)
        self.assertEqual(material["texture"], TEXTURE_DIR + "\\" + TEXTURE)
        self.assertEqual(material["image"], {"width": 2, "height": 2, "bits": 24})
        code, out, _ = run("info", utf8)
        self.assertIn("(Format Text Ver 1.1, CodePage utf8)", out)

        # The Shift_JIS document of the same scene: the same picture, the
        # same scene file.
        doc = json.loads(run("info", "--json", sjis)[1])
        self.assertEqual((doc["version"], doc["code_page"]), ("1.1", "932"))
        self.assertEqual(doc["materials"][0]["image"], {"width": 2, "height": 2, "bits": 24})
        for name in ("utf8", "sjis"):
            code, _, err = run("convert", self.path(name + ".mqo"), self.path(name + ".kvl"))
            self.assertEqual(code, 0, err)
        with open(self.path("utf8.kvl"), "rb") as a, open(self.path("sjis.kvl"), "rb") as b:
            self.assertEqual(a.read(), b.read())

        code, out, _ = run("--help")
        self.assertIn('"Format Text Ver 1.0" or "1.1"', out)

        # Another version is refused by name.
        bad = self.write("v2.mqo", metasequoia4(None, "cp932").replace(b"Ver 1.1", b"Ver 2.0"))
        code, out, err = run("info", "--json", bad)
        self.assertEqual(code, 1)
        self.assertIn('the document is \\"Format Text Ver 2.0\\"', out)

    def test_damaged_document_is_read_with_warnings(self):
        with open(self.sample, "rb") as f:
            lines = f.read().split(b"\r\n")
        self.assertEqual(lines[49], b"\t}")
        del lines[49]  # the first vertex block's closing brace
        damaged = self.write("damaged.mqo", b"\r\n".join(lines))
        code, out, err = run("info", "--json", damaged)
        self.assertEqual(code, 0, "the document still reads as before")
        doc = json.loads(out)
        self.assertTrue(doc["ok"])
        self.assertIn("line 72: a '}' that closes no chunk", doc["warnings"])
        self.assertIn("kinovela-cli: warning: line 72: a '}' that closes no chunk", err)
        code, _, err = run("convert", damaged, self.path("d.kvl"))
        self.assertEqual(code, 0)
        self.assertIn("kinovela-cli: warning: line 72: a '}' that closes no chunk", err)

    def texture_scene(self, name, picture):
        self.write(name, picture)
        return self.write(name + ".mqo", (
            'Metasequoia Document\nFormat Text Ver 1.0\nMaterial 1 {\n\t"m" tex("%s")\n}\n'
            'Object "o" {\n\tvertex 3 {\n\t\t0 0 0\n\t\t1 0 0\n\t\t0 1 0\n\t}\n'
            '\tface 1 {\n\t\t3 V(0 1 2) M(0) UV(0 0 1 0 0 1)\n\t}\n}\nEof\n' % name).encode())

    def test_a_picture_loads_without_a_second_copy(self):
        # A 4096 x 4096 RGB picture (48 MiB) in a file of about 50 KB.
        side = 4096
        compressor = zlib.compressobj(9)
        row = b"\0" + b"\x10\x20\x30" * side
        data = b"".join(compressor.compress(row) for _ in range(side)) + compressor.flush()
        big = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)) +
               png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))
        code, small_peak = run_measured("info", self.texture_scene("small.png", png()))
        self.assertEqual(code, 0)
        code, big_peak = run_measured("info", self.texture_scene("big.png", big))
        self.assertEqual(code, 0)
        picture = side * side * 3 / (1 << 20)
        # Before, a 24-bit picture was copied once more on its way to a texture.
        self.assertLess(big_peak - small_peak, 1.5 * picture)

    def test_png_chunks_cannot_ask_for_gigabytes(self):
        # A text chunk (and others the program never uses) announcing nearly
        # 2 GiB in a file of about a hundred bytes, then a picture that is whole.
        bombs = {
            "text": png(png_chunk(b"tEXt", b"Comment\0x", 0x7FFFFFF0)),
            "itxt": png(png_chunk(b"iTXt", b"Comment\0\0\0\0\0x", 0x7FFFFFF0)),
            "ztxt": png(png_chunk(b"zTXt", b"Comment\0\0" + zlib.compress(b"a" * (1 << 24)))),
            "splt": png(png_chunk(b"sPLT", b"palette\0\x08", 0x7FFFFFF0)),
            "iccp": png(png_chunk(b"iCCP", b"icc\0\0" + zlib.compress(b"\0" * (1 << 24)))),
            "exif": png(png_chunk(b"eXIf", b"MM\0*", 0x7FFFFFF0)),
            "many": png(b"".join(png_chunk(b"tEXt", b"k\0" + b"v" * 60000) for _ in range(16))),
        }
        for name, data in bombs.items():
            self.write(name + ".png", data)
            scene = self.write(name + ".mqo", (
                'Metasequoia Document\nFormat Text Ver 1.0\nMaterial 1 {\n\t"m" tex("%s.png")\n}\n'
                'Object "o" {\n\tvertex 3 {\n\t\t0 0 0\n\t\t1 0 0\n\t\t0 1 0\n\t}\n'
                '\tface 1 {\n\t\t3 V(0 1 2) M(0) UV(0 0 1 0 0 1)\n\t}\n}\nEof\n' % name).encode())
            code, peak = run_measured("info", "--json", scene)
            self.assertEqual(code, 0, name)
            # The sanitizer build's own overhead included; before the fix the
            # text chunk alone took 2 GiB.
            self.assertLess(peak, 256, name)
            doc = json.loads(run("info", "--json", scene)[1])
            if name in ("ztxt", "iccp", "many"):
                # Whole chunks: the picture after them reads.
                self.assertEqual(doc["materials"][0]["image"], {"width": 4, "height": 4, "bits": 24}, name)


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv[1])
    SOURCE = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"])
