#!/usr/bin/env python3
"""Writes the picture fixtures for the image reader tests into a folder:

    make_images.py OUT_DIR

Most files are written by ImageMagick from a few generated source pictures
(gradients, noise, an alpha ramp, odd widths so that rows need padding);
the layouts ImageMagick cannot write (top-down and 16-bit BMP, files with
odd headers, ILBM) are written here. OUT_DIR/manifest.json lists every
fixture:

    name       the file name inside OUT_DIR
    size       [width, height]
    bits       the bit count our reader should produce
    reference  "convert": compare with ImageMagick's decode of the file;
               a file name: the expected RGBA (top row first) written here;
               null: the file must be refused
    rule       how to compare: "exact", "alpha-inverted" (32-bit TGA, whose
               alpha our reader inverts), "five-bit" (16-bit pixels: each
               channel is the 5-bit value times 8, alpha 255), "scale-16"
               (16-bit PNG channels, rounded to 8 bits as libpng's
               png_set_scale_16 does) or "jpeg"
    note       what the fixture is for
"""
import json
import os
import random
import struct
import subprocess
import sys

W, H = 13, 7  # 13 pixels: every depth's rows need padding to four bytes
KEY = (10, 200, 30)  # a colour some pixels of the RGB source hold exactly
GREY_KEY = 77


def find_convert():
    """ImageMagick's convert, never the stand-in script in /usr/local/bin."""
    for path in ("/usr/bin/convert-im6.q16", "/usr/bin/convert-im6", "/usr/bin/convert"):
        real = os.path.realpath(path)
        if not os.path.isfile(real) or real.startswith("/usr/local/"):
            continue
        try:
            out = subprocess.run([real, "-version"], capture_output=True, timeout=30).stdout
        except OSError:
            continue
        if b"ImageMagick" in out:
            return real
    raise RuntimeError("ImageMagick's convert was not found in /usr/bin")


# ---------------------------------------------------------------- sources

def rgb_source(w, h, seed):
    """Rows of (r, g, b): gradients with noise, some pixels exactly KEY."""
    rnd = random.Random(seed)
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            if (x + 2 * y) % 7 == 3:
                row.append(KEY)
            else:
                row.append((x * 255 // (w - 1), y * 255 // (h - 1), rnd.randrange(256)))
        rows.append(row)
    return rows


def rgba_source(w, h, seed):
    rnd = random.Random(seed)
    alphas = [0, 255, 1, 254, 128]
    return [[(x * 255 // (w - 1), rnd.randrange(256), y * 255 // (h - 1),
              alphas[(x + y) % 5] if (x * y) % 3 == 0 else rnd.randrange(256))
             for x in range(w)] for y in range(h)]


def grey_source(w, h, seed):
    rnd = random.Random(seed)
    return [[GREY_KEY if (x + y) % 6 == 0 else (x * 20 + rnd.randrange(16)) % 256 for x in range(w)]
            for y in range(h)]


def write_ppm(path, rows, maxval=255):
    w, h = len(rows[0]), len(rows)
    two = maxval > 255
    data = bytearray()
    for row in rows:
        for px in row:
            for c in px:
                data += c.to_bytes(2, "big") if two else bytes([c])
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n%d\n" % (w, h, maxval) + data)


def write_pgm(path, rows, maxval=255, text=False):
    w, h = len(rows[0]), len(rows)
    with open(path, "wb") as f:
        if text:
            f.write(b"P2\n%d %d\n%d\n" % (w, h, maxval))
            for row in rows:
                f.write(b" ".join(b"%d" % v for v in row) + b"\n")
        else:
            f.write(b"P5\n%d %d\n%d\n" % (w, h, maxval))
            for row in rows:
                for v in row:
                    f.write(v.to_bytes(2, "big") if maxval > 255 else bytes([v]))


def write_pam(path, rows, maxval=255):
    w, h = len(rows[0]), len(rows)
    data = bytearray()
    for row in rows:
        for px in row:
            for c in px:
                data += c.to_bytes(2, "big") if maxval > 255 else bytes([c])
    with open(path, "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL %d\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h, maxval))
        f.write(data)


def rgba_bytes(rows):
    """Top row first; pixels of 1, 3 or 4 channels."""
    out = bytearray()
    for row in rows:
        for px in row:
            if isinstance(px, int):
                out += bytes([px, px, px, 255])
            elif len(px) == 3:
                out += bytes(px) + b"\xff"
            else:
                out += bytes(px)
    return bytes(out)


# ---------------------------------------------------------------- BMP

def bmp_file(w, h, bits, rows, palette=(), top_down=False, header_size=40, compression=0,
             body=None, gap=0):
    """rows: top first, each a list of palette indices (bits <= 8) or raw
    little-endian pixel values (16 bits) or (b, g, r[, a]) tuples."""
    if body is None:
        stride = (w * bits + 31) // 32 * 4
        lines = []
        for row in rows:
            line = bytearray()
            if bits < 8:
                acc, n = 0, 0
                for v in row:
                    acc = (acc << bits) | v
                    n += bits
                    if n == 8:
                        line.append(acc)
                        acc, n = 0, 0
                if n:
                    line.append(acc << (8 - n))
            elif bits == 8:
                line += bytes(row)
            elif bits == 16:
                for v in row:
                    line += struct.pack("<H", v)
            else:
                for px in row:
                    line += bytes(px)
            line += bytes(stride - len(line))
            lines.append(bytes(line))
        if not top_down:
            lines.reverse()
        body = b"".join(lines)
    pal = b"".join(bytes([b, g, r, 0]) for (r, g, b) in palette)
    offset = 14 + header_size + len(pal) + gap
    info = struct.pack("<IiiHHIIiiII", header_size, w, -h if top_down else h, 1, bits, compression,
                       len(body), 2835, 2835, len(palette), 0)
    info += bytes(header_size - len(info))
    head = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return head + info + pal + bytes(gap) + body


def rle8_body(rows):
    """BI_RLE8 of index rows (top first, written bottom up): runs, odd and
    even absolute groups, a delta move and the end codes."""
    out = bytearray()
    for i, row in enumerate(reversed(rows)):
        x = 0
        if i == 1:
            out += bytes([0, 2, 3, 0])  # move right by three: those pixels stay index 0
            x = 3
        while x < len(row):
            run = 1
            while x + run < len(row) and row[x + run] == row[x] and run < 255:
                run += 1
            if run >= 2:
                out += bytes([run, row[x]])
                x += run
                continue
            n = min(len(row) - x, 5 if i % 2 else 4)
            if n < 3:
                out += bytes([1, row[x]])
                x += 1
                continue
            out += bytes([0, n]) + bytes(row[x:x + n]) + (b"\0" if n & 1 else b"")
            x += n
        out += b"\0\0"
    out += b"\0\1"
    return bytes(out)


def rle4_body(rows):
    out = bytearray()
    for row in reversed(rows):
        for x in range(0, len(row), 2):
            pair = row[x:x + 2]
            out += bytes([len(pair), (pair[0] << 4) | (pair[1] if len(pair) > 1 else 0)])
        out += b"\0\0"
    return bytes(out + b"\0\1")


# ---------------------------------------------------------------- TGA

def tga_file(w, h, itype, depth, pixels_top_first, top_first, colour_map=None, rle_span=False):
    """pixels: top-first rows of raw pixel byte strings (BGR / BGRA / index)."""
    rows = list(pixels_top_first)
    if not top_first:
        rows.reverse()
    cmap = b"".join(bytes([b, g, r]) for (r, g, b) in colour_map) if colour_map else b""
    head = struct.pack("<BBBHHBHHHHBB", 0, 1 if colour_map else 0, itype, 0,
                       len(colour_map) if colour_map else 0, 24 if colour_map else 0, 0, 0, w, h, depth,
                       (0x20 if top_first else 0) | (8 if depth == 32 else 0))
    if itype < 9:
        body = b"".join(b"".join(r) for r in rows)
    else:
        # Packets that run on from one row into the next (rle_span) or stop
        # at each row end.
        groups = [[p for r in rows for p in r]] if rle_span else [list(r) for r in rows]
        out = bytearray()
        for g in groups:
            i = 0
            while i < len(g):
                run = 1
                while i + run < len(g) and g[i + run] == g[i] and run < 128:
                    run += 1
                if run >= 2:
                    out += bytes([0x80 | (run - 1)]) + g[i]
                    i += run
                else:
                    n = 1
                    while i + n < len(g) and n < 128 and not (i + n + 1 < len(g) and g[i + n] == g[i + n + 1]):
                        n += 1
                    out += bytes([n - 1]) + b"".join(g[i:i + n])
                    i += n
        body = bytes(out)
    return head + cmap + body


# ---------------------------------------------------------------- ILBM

def byterun1(data, noop=False):
    out = bytearray(b"\x80" if noop else b"")  # -128 is a no-op
    i = 0
    while i < len(data):
        run = 1
        while i + run < len(data) and data[i + run] == data[i] and run < 128:
            run += 1
        if run >= 3:
            out += bytes([257 - run, data[i]])
            i += run
            continue
        j = i
        while j < len(data) and j - i < 128:
            if j + 2 < len(data) and data[j] == data[j + 1] == data[j + 2]:
                break
            j += 1
        out += bytes([j - i - 1]) + data[i:j]
        i = j
    return bytes(out)


def chunk(tag, data):
    return tag + struct.pack(">I", len(data)) + data + (b"\0" if len(data) & 1 else b"")


def ilbm_file(w, h, planes, values, cmap, compress, masking=0, seed=0):
    """values: top-first rows of plane values (palette index, or 0xBBGGRR
    packed as red in planes 0-7 for 24 planes)."""
    rnd = random.Random(seed)
    row_bytes = (w + 15) // 16 * 2
    body = bytearray()
    for y, row in enumerate(values):
        plane_rows = []
        for p in range(planes):
            line = bytearray(row_bytes)
            for x, v in enumerate(row):
                if (v >> p) & 1:
                    line[x >> 3] |= 0x80 >> (x & 7)
            # Bits past the picture's width are not part of any pixel.
            for x in range(w, row_bytes * 8):
                if rnd.random() < 0.5:
                    line[x >> 3] |= 0x80 >> (x & 7)
            plane_rows.append(bytes(line))
        if masking == 1:
            plane_rows.append(bytes(rnd.randrange(256) for _ in range(row_bytes)))
        for k, line in enumerate(plane_rows):
            body += byterun1(line, noop=(y == 1 and k == 0)) if compress else line
    bmhd = struct.pack(">HHhhBBBBHBBhh", w, h, 0, 0, planes, masking, 1 if compress else 0, 0, 0, 10, 11, w, h)
    form = b"ILBM" + chunk(b"BMHD", bmhd) + chunk(b"ANNO", b"odd")  # an odd-sized chunk before the rest
    if cmap:
        form += chunk(b"CMAP", b"".join(bytes(c) for c in cmap))
    form += chunk(b"BODY", bytes(body))
    return chunk(b"FORM", form)


# ---------------------------------------------------------------- headers

def describe(path):
    """The header facts of a written file that decide which reader path it
    takes."""
    with open(path, "rb") as f:
        d = f.read()
    if d[:2] == b"BM":
        hsize, _, height, _, bits, comp = struct.unpack("<IiiHHI", d[14:34])
        return {"header": hsize, "bits": bits, "compression": comp, "top_down": height < 0}
    if d[:8] == b"\x89PNG\r\n\x1a\n":
        facts, i = {"trns": False}, 8
        while i + 8 <= len(d):
            n, tag = struct.unpack(">I4s", d[i:i + 8])
            if tag == b"IHDR":
                facts.update(zip(("depth", "colour", "compression", "filter", "interlace"), d[i + 16:i + 21]))
            facts["trns"] = facts["trns"] or tag == b"tRNS"
            i += 12 + n
        return facts
    if d[:2] == b"\xff\xd8":
        i = 2
        while i + 4 <= len(d) and d[i] == 0xFF:
            marker, n = d[i + 1], struct.unpack(">H", d[i + 2:i + 4])[0]
            if marker in (0xC0, 0xC1, 0xC2):
                return {"progressive": marker == 0xC2, "components": d[i + 9]}
            i += 2 + n
        return {}
    if path.lower().endswith(".tga"):
        return {"type": d[2], "depth": d[16], "map_bits": d[7], "top": bool(d[17] & 0x20), "id": d[0]}
    return {}


# ---------------------------------------------------------------- the set

class Fixtures:
    def __init__(self, out, convert):
        self.out = out
        self.convert = convert
        self.entries = []

    def path(self, name):
        return os.path.join(self.out, name)

    def add(self, name, size, bits, reference="convert", rule="exact", note=""):
        self.entries.append({"name": name, "size": list(size), "bits": bits, "reference": reference,
                             "rule": rule, "note": note})

    def im(self, source, args, name, bits, rule="exact", size=(W, H), note="", header=None, refused=False):
        """Writes `name` with ImageMagick; args go between the source and the
        output (an output may carry a coder prefix such as BMP3:). `header`
        lists what the written file's header must say, so that a change in
        ImageMagick cannot quietly write some other layout."""
        target = name.split(":", 1)
        prefix, fname = (target[0] + ":", target[1]) if len(target) == 2 else ("", name)
        subprocess.run([self.convert, self.path(source)] + args + [prefix + self.path(fname)], check=True,
                       capture_output=True, timeout=60)
        facts = describe(self.path(fname))
        for key, value in (header or {}).items():
            if facts.get(key) != value:
                raise RuntimeError("ImageMagick wrote %s with %s=%r, not %r (%r)" % (fname, key, facts.get(key),
                                                                                   value, facts))
        if refused:
            self.add(fname, (0, 0), 0, reference=None, note=note)
        else:
            self.add(fname, size, bits, rule=rule, note=note)

    def own(self, name, data, size, bits, expected=None, rule="exact", note=""):
        with open(self.path(name), "wb") as f:
            f.write(data)
        reference = "convert"
        if expected is not None:
            reference = name + ".expected.rgba"
            with open(self.path(reference), "wb") as f:
                f.write(expected)
        self.add(name, size, bits, reference=reference, rule=rule, note=note)

    def fail(self, name, data, note):
        with open(self.path(name), "wb") as f:
            f.write(data)
        self.add(name, (0, 0), 0, reference=None, note=note)


def make_sources(fx):
    rgb = rgb_source(W, H, 1)
    write_ppm(fx.path("src_rgb.ppm"), rgb)
    write_pam(fx.path("src_rgba.pam"), rgba_source(W, H, 2))
    write_pgm(fx.path("src_grey.pgm"), grey_source(W, H, 3))
    rnd = random.Random(4)
    write_ppm(fx.path("src_rgb16.ppm"), [[tuple(rnd.randrange(65536) for _ in range(3)) for _ in range(W)]
                                         for _ in range(H)], 65535)
    write_pgm(fx.path("src_grey16.pgm"), [[rnd.randrange(65536) for _ in range(W)] for _ in range(H)], 65535)
    write_pam(fx.path("src_rgba16.pam"), [[tuple(rnd.randrange(65536) for _ in range(4)) for _ in range(W)]
                                          for _ in range(H)], 65535)
    # A smooth picture for JPEG (noise would only measure the codec), with
    # a width and height that leave partial blocks.
    write_ppm(fx.path("src_photo.ppm"),
              [[((x * 7 + y * 3) % 256, (128 + x * y) % 256, (255 - y * 8) % 256) for x in range(37)]
               for y in range(29)])
    return rgb


def make_bmp(fx, rgb):
    def bmp(bits, compression=0):
        return {"header": 40, "bits": bits, "compression": compression}

    fx.im("src_rgb.ppm", ["-monochrome"], "BMP3:bmp1.bmp", 1, header=bmp(1))
    fx.im("src_rgb.ppm", ["-colors", "16"], "BMP3:bmp4.bmp", 4, header=bmp(4))
    fx.im("src_rgb.ppm", ["-colors", "200", "-compress", "none"], "BMP3:bmp8.bmp", 8, header=bmp(8))
    fx.im("src_rgb.ppm", ["-colors", "200", "-compress", "RLE"], "BMP3:bmp8_rle.bmp", 8,
          note="ImageMagick's RLE8", header=bmp(8, 1))
    fx.im("src_rgb.ppm", [], "BMP3:bmp24.bmp", 24, header=bmp(24))
    fx.im("src_rgba.pam", ["-define", "bmp3:alpha=true"], "BMP3:bmp32.bmp", 32, header=bmp(32))

    rnd = random.Random(10)
    palette = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(20)]
    idx = [[(x * 3 + y * 5) % 20 for x in range(W)] for y in range(H)]
    fx.own("bmp8_topdown.bmp", bmp_file(W, H, 8, idx, palette, top_down=True, gap=6), (W, H), 8,
           note="negative height, a 20-entry palette, a gap before the pixels")
    bgr = [[(b, g, r) for (r, g, b) in row] for row in rgb]
    fx.own("bmp24_topdown.bmp", bmp_file(W, H, 24, bgr, top_down=True), (W, H), 24, note="negative height")
    # 5-5-5 words, some with the unused top bit set. ImageMagick writes
    # 16-bit BMP only with bit fields, which our reader does not take.
    words = [[rnd.randrange(0x10000) for _ in range(W)] for _ in range(H)]
    fx.own("bmp16.bmp", bmp_file(W, H, 16, words), (W, H), 16, rule="five-bit")
    # RLE8 with a delta move and absolute groups of odd and even length.
    runs = [[(x // 3 + y) % 20 if y % 2 else (x * 7 + y) % 20 for x in range(W)] for y in range(H)]
    fx.own("bmp8_rle_delta.bmp", bmp_file(W, H, 8, None, palette, compression=1, body=rle8_body(runs)),
           (W, H), 8, note="RLE8 with delta, absolute and end codes")

    fx.fail("bmp_v4_header.bmp", bmp_file(W, H, 24, bgr, header_size=108), "a 108-byte information header")
    idx4 = [[(x + y) % 16 for x in range(W)] for y in range(H)]
    fx.fail("bmp4_rle.bmp", bmp_file(W, H, 4, None, palette[:16], compression=2, body=rle4_body(idx4)),
            "4-bit run-length data")


def make_ppm(fx):
    fx.im("src_rgb.ppm", ["-compress", "none"], "ppm_p3.ppm", 24, note="text P3")
    fx.im("src_rgb.ppm", [], "ppm_p6.ppm", 24)
    fx.im("src_grey.pgm", ["-compress", "none"], "pgm_p2.pgm", 8, note="text P2")
    fx.im("src_grey.pgm", [], "pgm_p5.pgm", 8)
    rgb = rgb_source(W, H, 5)
    data = bytes(c for row in rgb for px in row for c in px)
    fx.own("ppm_comment.ppm", b"P6\n# a comment line\n%d %d\n255\n" % (W, H) + data, (W, H), 24,
           note="a comment before the size")
    # Samples are kept as stored, not scaled by the maximum value.
    low = [[(x + y * 3) % 16 for x in range(W)] for y in range(H)]
    path = fx.path("pgm_max15.pgm")
    write_pgm(path, low, maxval=15, text=True)
    with open(path + ".expected.rgba", "wb") as f:
        f.write(rgba_bytes(low))
    fx.add("pgm_max15.pgm", (W, H), 8, reference="pgm_max15.pgm.expected.rgba", note="maximum value 15")
    fx.fail("ppm_one_line.ppm", b"P6 %d %d 255\n" % (W, H) + data, "magic, size and maximum on one line")


def make_tga(fx, rgb):
    def tga(itype, depth, top=False, **more):
        return dict(type=itype, depth=depth, top=top, **more)

    fx.im("src_grey.pgm", ["-colorspace", "Gray"], "tga_grey.tga", 8, header=tga(3, 8))
    fx.im("src_rgb.ppm", ["-type", "Palette"], "tga_map.tga", 8, header=tga(1, 8, map_bits=24))
    fx.im("src_rgb.ppm", ["-type", "Palette", "-compress", "RLE"], "tga_map_rle.tga", 8,
          header=tga(9, 8, map_bits=24))
    fx.im("src_rgb.ppm", ["-depth", "5"], "tga16.tga", 16, rule="five-bit", header=tga(2, 16))
    fx.im("src_rgb.ppm", ["-depth", "5", "-compress", "RLE"], "tga16_rle.tga", 16, rule="five-bit",
          header=tga(10, 16))
    fx.im("src_rgb.ppm", ["-set", "comment", "image id"], "tga24.tga", 24, note="with an image id field",
          header=tga(2, 24, id=8))
    fx.im("src_rgba.pam", [], "tga32.tga", 32, rule="alpha-inverted", header=tga(2, 32))
    fx.im("src_rgb.ppm", ["-compress", "RLE"], "tga24_rle.tga", 24, header=tga(10, 24))
    fx.im("src_rgba.pam", ["-compress", "RLE"], "tga32_rle.tga", 32, rule="alpha-inverted", header=tga(10, 32))
    fx.im("src_rgb.ppm", ["-orient", "TopLeft"], "tga24_top.tga", 24, header=tga(2, 24, True))
    fx.im("src_rgba.pam", ["-orient", "TopLeft", "-compress", "RLE"], "tga32_rle_top.tga", 32,
          rule="alpha-inverted", header=tga(10, 32, True))
    # Packets that run across row ends, in both row orders.
    runs = [[bytes((b, g, r)) for (r, g, b) in row] for row in rgb]
    for top in (False, True):
        fx.own("tga24_rle_span%s.tga" % ("_top" if top else ""),
               tga_file(W, H, 10, 24, runs, top, rle_span=True), (W, H), 24, note="packets across rows")
    rnd = random.Random(11)
    colours = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(40)]
    idx = [[bytes([(x * 5 + y) % 40]) for x in range(W)] for y in range(H)]
    fx.own("tga_map_top.tga", tga_file(W, H, 1, 8, idx, True, colour_map=colours), (W, H), 8,
           note="type 1, top row first, 40-entry map")


def make_png(fx):
    bkgd = ["-define", "png:exclude-chunks=bKGD"]  # a background colour would enlarge the palette

    def png(depth, colour, interlace=0, trns=False):
        return {"depth": depth, "colour": colour, "interlace": interlace, "trns": trns}

    def forced(colour, depth):
        return bkgd + ["-define", "png:color-type=%d" % colour, "-define", "png:bit-depth=%d" % depth]

    for bits, colours in ((1, 2), (2, 4), (4, 16)):
        fx.im("src_rgb.ppm", ["-colors", str(colours)] + forced(3, bits), "png_pal%d.png" % bits, 8,
              header=png(bits, 3))
    fx.im("src_rgb.ppm", ["-colors", "200"] + bkgd, "PNG8:png_pal8.png", 8, header=png(8, 3))
    fx.im("src_rgba.pam", ["-channel", "A", "-threshold", "50%", "+channel", "-colors", "40"],
          "PNG8:png_pal8_trns.png", 32, header=png(8, 3, trns=True))
    fx.im("src_rgb.ppm", ["-monochrome"] + forced(0, 1), "png_grey1.png", 8, header=png(1, 0))
    fx.im("src_grey.pgm", ["-depth", "4"] + forced(0, 4), "png_grey4.png", 8, header=png(4, 0))
    fx.im("src_grey.pgm", forced(0, 8), "png_grey8.png", 8, header=png(8, 0))
    fx.im("src_grey16.pgm", forced(0, 16), "png_grey16.png", 8, "scale-16", header=png(16, 0))
    fx.im("src_grey.pgm", ["-transparent", "gray(%d)" % GREY_KEY] + forced(0, 8), "png_grey8_trns.png", 32,
          header=png(8, 0, trns=True))
    fx.im("src_rgba.pam", ["-colorspace", "Gray"] + forced(4, 8), "png_greya8.png", 32, header=png(8, 4))
    fx.im("src_rgba16.pam", ["-colorspace", "Gray"] + forced(4, 16), "png_greya16.png", 32, "scale-16",
          header=png(16, 4))
    fx.im("src_rgb.ppm", [], "PNG24:png_rgb8.png", 24, header=png(8, 2))
    fx.im("src_rgb16.ppm", [], "PNG48:png_rgb16.png", 24, "scale-16", header=png(16, 2))
    fx.im("src_rgb.ppm", ["-transparent", "rgb(%d,%d,%d)" % KEY] + forced(2, 8), "png_rgb8_trns.png", 32,
          header=png(8, 2, trns=True))
    fx.im("src_rgba.pam", [], "PNG32:png_rgba8.png", 32, header=png(8, 6))
    fx.im("src_rgba16.pam", [], "PNG64:png_rgba16.png", 32, "scale-16", header=png(16, 6))
    fx.im("src_rgba.pam", ["-interlace", "PNG"], "PNG32:png_rgba8_interlaced.png", 32, header=png(8, 6, 1))
    fx.im("src_rgb.ppm", ["-colors", "16", "-interlace", "PNG"] + forced(3, 4), "png_pal4_interlaced.png", 8,
          header=png(4, 3, 1))


def make_jpeg(fx):
    photo = (37, 29)  # partial 8x8 and 16x16 blocks at the right and bottom

    def jpeg(progressive, components):
        return {"progressive": progressive, "components": components}

    fx.im("src_photo.ppm", ["-quality", "85"], "jpeg_colour.jpg", 24, "jpeg", photo, "4:2:0",
          header=jpeg(False, 3))
    fx.im("src_photo.ppm", ["-quality", "92", "-sampling-factor", "1x1"], "jpeg_colour444.jpg", 24, "jpeg",
          photo, header=jpeg(False, 3))
    fx.im("src_photo.ppm", ["-quality", "85", "-interlace", "JPEG"], "jpeg_progressive.jpg", 24, "jpeg", photo,
          header=jpeg(True, 3))
    fx.im("src_photo.ppm", ["-colorspace", "Gray", "-quality", "85"], "jpeg_grey.jpg", 8, "jpeg", photo,
          header=jpeg(False, 1))
    fx.im("src_photo.ppm", ["-colorspace", "Gray", "-interlace", "JPEG"], "jpeg_grey_progressive.jpg", 8,
          "jpeg", photo, header=jpeg(True, 1))
    fx.im("src_photo.ppm", ["-quality", "80"], "JPEG:jpeg_upper.JPG", 24, "jpeg", photo, "upper-case extension",
          header=jpeg(False, 3))
    fx.im("src_photo.ppm", [], "JPEG:jpeg_long_extension.jpeg", 0, refused=True,
          note="the .jpeg extension is not one of ours")


def make_ilbm(fx):
    rnd = random.Random(20)

    def flat(x, y):
        """Rows of noise and rows of flat stretches, so that ByteRun1 has
        both literal and repeat packets."""
        return y % 3 != 0 and (x // 9 + y) % 2 == 0

    for planes, w, h, compress, masking in ((1, 45, 7, True, 0), (4, 21, 5, False, 0), (4, 40, 7, True, 1),
                                            (5, 40, 7, True, 0), (8, 16, 4, False, 1), (8, 37, 6, True, 0),
                                            (24, 33, 7, True, 0), (24, 9, 3, False, 1)):
        if planes <= 8:
            n = 1 << planes
            cmap = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(n)]
            values = [[(y * 7) % n if flat(x, y) else rnd.randrange(n) for x in range(w)] for y in range(h)]
            expected = rgba_bytes([[cmap[v] for v in row] for row in values])
            bits = 1 if planes == 1 else 4 if planes <= 4 else 8
        else:
            cmap = None
            px = [[(200, 100, y * 30) if flat(x, y) else (rnd.randrange(256), (x * 20) % 256, y * 40)
                   for x in range(w)] for y in range(h)]
            values = [[r | (g << 8) | (b << 16) for (r, g, b) in row] for row in px]
            expected = rgba_bytes(px)
            bits = 24
        name = "ilbm%d_%s%s.iff" % (planes, "byterun1" if compress else "raw", "_mask" if masking else "")
        fx.own(name, ilbm_file(w, h, planes, values, cmap, compress, masking, seed=planes), (w, h), bits,
               expected=expected, note="%d planes" % planes)


def main(out):
    os.makedirs(out, exist_ok=True)
    fx = Fixtures(out, find_convert())
    rgb = make_sources(fx)
    make_bmp(fx, rgb)
    make_ppm(fx)
    make_tga(fx, rgb)
    make_png(fx)
    make_jpeg(fx)
    make_ilbm(fx)
    with open(os.path.join(out, "manifest.json"), "w") as f:
        json.dump(fx.entries, f, indent=1)
    return fx.entries


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_images.py OUT_DIR")
    main(sys.argv[1])
