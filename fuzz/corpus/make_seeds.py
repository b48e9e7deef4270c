#!/usr/bin/env python3
"""Writes the seed inputs of the image fuzz targets (bmp, ppm, tga, iff, png,
jpg) into the folders beside this script.

    python3 fuzz/corpus/make_seeds.py

ImageMagick (/usr/bin/convert) writes the files it can; the variants it
cannot write (16- and 32-bit and top-down BMP, hand-made RLE runs, comment
lines in PPM, TGA rows top first, 16-bit TGA, ILBM) are put together here.
Every picture is small, 12x10 or so, so that a fuzzer run is quick.
"""
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CONVERT = "/usr/bin/convert"
W, H = 12, 10


def colour(x, y):
    """The test picture: red across, green down, blue in a checkerboard."""
    return (x * 255 // (W - 1), y * 255 // (H - 1), 200 if (x // 3 + y // 3) % 2 else 40)


PIXELS = [[colour(x, y) for x in range(W)] for y in range(H)]  # top row first, RGB


def write(kind, name, data):
    folder = os.path.join(HERE, kind)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- ImageMagick


def convert_seeds():
    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "base.ppm")
        with open(base, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (W, H) + bytes(c for row in PIXELS for p in row for c in p))
        # A 16x16 picture with a soft transparent corner for the alpha variants.
        alpha = os.path.join(tmp, "alpha.png")
        subprocess.run([CONVERT, base, "-resize", "16x16!", "(", "-size", "16x16", "radial-gradient:white-black",
                        ")", "-alpha", "off", "-compose", "copy_opacity", "-composite", "-depth", "8",
                        "PNG32:" + alpha], check=True)

        FLIP = ["-flip", "-orient", "BottomLeft"]
        jobs = [
            # BMP: the 40-byte header only (BMP3).
            ("bmp", "bilevel-1bit.bmp", ["-monochrome"], "BMP3:"),
            ("bmp", "palette-4bit.bmp", ["-colors", "16", "-type", "Palette"], "BMP3:"),
            ("bmp", "palette-8bit.bmp", ["-colors", "40", "-type", "Palette", "-compress", "None"], "BMP3:"),
            ("bmp", "palette-8bit-rle.bmp", ["-colors", "40", "-type", "Palette", "-compress", "RLE"], "BMP3:"),
            ("bmp", "rgb-24bit.bmp", ["-type", "TrueColor"], "BMP3:"),
            # PPM and PGM, binary and text.
            ("ppm", "rgb-p6.ppm", ["-depth", "8"], "PPM:"),
            ("ppm", "rgb-p3.ppm", ["-depth", "8", "-compress", "none"], "PPM:"),
            ("ppm", "grey-p5.pgm", ["-colorspace", "gray", "-depth", "8"], "PGM:"),
            ("ppm", "grey-p2.pgm", ["-colorspace", "gray", "-depth", "8", "-compress", "none"], "PGM:"),
            # TGA, rows bottom first. ImageMagick writes the rows as they are
            # held and takes the origin bit from the orientation, hence the flip.
            ("tga", "mapped-type1.tga", [*FLIP, "-colors", "16", "-type", "Palette"], "TGA:"),
            ("tga", "mapped-rle-type9.tga", [*FLIP, "-colors", "16", "-type", "Palette", "-compress", "RLE"], "TGA:"),
            ("tga", "rgb24-type2.tga", [*FLIP, "-type", "TrueColor"], "TGA:"),
            ("tga", "rgb24-rle-type10.tga", [*FLIP, "-type", "TrueColor", "-compress", "RLE"], "TGA:"),
            ("tga", "grey-type3.tga", [*FLIP, "-colorspace", "gray"], "TGA:"),
            ("tga", "rgba32-type2.tga", [*FLIP, "-depth", "8"], "TGA:", alpha),
            ("tga", "rgba32-rle-type10.tga", [*FLIP, "-depth", "8", "-compress", "RLE"], "TGA:", alpha),
            # PNG: every colour type, 16 bits, interlacing, tRNS.
            ("png", "palette.png", ["-colors", "16"], "PNG8:"),
            ("png", "palette-2bit.png", ["-colors", "4", "-define", "png:bit-depth=2",
                                        "-define", "png:color-type=3"], "PNG8:"),
            ("png", "palette-trns.png", ["-colors", "16"], "PNG8:", alpha),
            ("png", "grey.png", ["-colorspace", "gray", "-depth", "8", "-define", "png:color-type=0"], "PNG:"),
            ("png", "grey-1bit.png", ["-monochrome", "-define", "png:bit-depth=1",
                                      "-define", "png:color-type=0"], "PNG:"),
            ("png", "grey-16bit.png", ["-colorspace", "gray", "-depth", "16", "-define", "png:color-type=0"],
             "PNG:"),
            ("png", "grey-alpha.png", ["-colorspace", "gray", "-depth", "8", "-define", "png:color-type=4"],
             "PNG:", alpha),
            ("png", "rgb.png", [], "PNG24:"),
            ("png", "rgb-trns.png", ["-transparent", "#000000"], "PNG24:", alpha),
            ("png", "rgba.png", [], "PNG32:", alpha),
            ("png", "rgb-16bit.png", ["-depth", "16"], "PNG48:"),
            ("png", "rgba-16bit.png", ["-depth", "16"], "PNG64:", alpha),
            ("png", "rgb-interlaced.png", ["-interlace", "PNG"], "PNG24:"),
            ("png", "palette-interlaced.png", ["-colors", "16", "-interlace", "PNG"], "PNG8:"),
            # JPEG: grey, colour with two samplings, progressive.
            ("jpg", "grey.jpg", ["-colorspace", "gray", "-quality", "80"], "JPG:"),
            ("jpg", "colour-420.jpg", ["-quality", "80", "-sampling-factor", "2x2"], "JPG:"),
            ("jpg", "colour-444.jpg", ["-quality", "90", "-sampling-factor", "1x1"], "JPG:"),
            ("jpg", "colour-progressive.jpg", ["-quality", "80", "-interlace", "JPEG"], "JPG:"),
            ("jpg", "grey-progressive.jpg", ["-colorspace", "gray", "-quality", "80", "-interlace", "JPEG"],
             "JPG:"),
        ]
        for job in jobs:
            kind, name, args, prefix = job[:4]
            source = job[4] if len(job) > 4 else base
            out = os.path.join(tmp, name)
            subprocess.run([CONVERT, source, "-strip", "-define", "png:exclude-chunks=date,time", *args,
                            prefix + out], check=True)
            with open(out, "rb") as f:
                write(kind, name, f.read())


# ---------------------------------------------------------------- BMP


def bmp(bits, rows_top_first, palette=(), top_down=False, compression=0, data=None):
    """A BITMAPINFOHEADER file; `rows_top_first` are lists of pixel values
    (palette indices, 16-bit words, or (b, g, r[, a]) tuples)."""
    if data is None:
        rows = rows_top_first if top_down else rows_top_first[::-1]
        data = b""
        for row in rows:
            if bits in (1, 4):
                per = 8 // bits
                packed = bytearray((len(row) + per - 1) // per)
                for x, v in enumerate(row):
                    packed[x // per] |= v << (8 - bits * (x % per + 1))
                line = bytes(packed)
            elif bits == 8:
                line = bytes(row)
            elif bits == 16:
                line = b"".join(struct.pack("<H", v) for v in row)
            else:
                line = b"".join(bytes(p) for p in row)
            data += line + b"\0" * (-len(line) % 4)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, W, -H if top_down else H, 1, bits, compression,
                       len(data) if compression else 0, 2835, 2835, len(palette), 0)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + pal + data


def bmp_seeds():
    grey4 = [(i * 17, i * 17, i * 17) for i in range(16)]
    index4 = [[(x + y) % 16 for x in range(W)] for y in range(H)]
    write("bmp", "palette-4bit-topdown.bmp", bmp(4, index4, grey4, top_down=True))
    word = lambda r, g, b: (r >> 3) << 10 | (g >> 3) << 5 | b >> 3
    write("bmp", "rgb555-16bit.bmp", bmp(16, [[word(*p) for p in row] for row in PIXELS]))
    bgr = [[(b, g, r) for r, g, b in row] for row in PIXELS]
    write("bmp", "rgb-24bit-topdown.bmp", bmp(24, bgr, top_down=True))
    bgra = [[(b, g, r, (x * 20) & 255) for x, (r, g, b) in enumerate(row)] for row in PIXELS]
    write("bmp", "rgba-32bit.bmp", bmp(32, bgra))
    # Hand-made runs: an encoded run, an odd absolute run (padded), a delta
    # move, an end of line, and the end of the picture.
    rle = bytes([4, 1, 0, 3, 2, 3, 4, 0, 0, 2, 2, 1, 5, 7, 0, 0, 12, 9, 0, 0, 3, 5, 0, 1])
    pal = [(i * 60, 255 - i * 60, 128) for i in range(5)] + [(0, 0, 0)] * 5
    write("bmp", "palette-8bit-rle-delta.bmp", bmp(8, None, pal, compression=1, data=rle))


# ---------------------------------------------------------------- PPM


def ppm_seeds():
    body = bytes(c for row in PIXELS for p in row for c in p)
    write("ppm", "rgb-p6-comment.ppm", b"P6\n# made by make_seeds.py\n%d %d\n255\n" % (W, H) + body)


# ---------------------------------------------------------------- TGA


def tga(image_type, depth, rows_top_first, top_first, rle=False, ident=b"", colour_map=None):
    """`rows_top_first` hold each pixel's bytes as stored in the file."""
    rows = rows_top_first if top_first else rows_top_first[::-1]
    pixels = [p for row in rows for p in row]
    if rle:
        data = b""
        i = 0
        while i < len(pixels):
            n = 1
            while i + n < len(pixels) and n < 128 and pixels[i + n] == pixels[i]:
                n += 1
            if n > 1:
                data += bytes([0x80 | (n - 1)]) + pixels[i]
            else:
                n = 1
                while i + n < len(pixels) and n < 128 and pixels[i + n] != pixels[i + n - 1]:
                    n += 1
                data += bytes([n - 1]) + b"".join(pixels[i:i + n])
            i += n
    else:
        data = b"".join(pixels)
    map_type, map_length, map_bits, map_data = 0, 0, 0, b""
    if colour_map is not None:
        map_bits, map_data = colour_map
        map_type, map_length = 1, len(map_data) // (map_bits // 8)
    alpha_bits = 8 if depth == 32 else 1 if depth == 16 else 0
    head = struct.pack("<BBBHHBHHHHBB", len(ident), map_type, image_type, 0, map_length, map_bits, 0, 0, W, H,
                       depth, alpha_bits | (0x20 if top_first else 0))
    return head + ident + map_data + data


def tga_seeds():
    bgr = [[bytes((b, g, r)) for r, g, b in row] for row in PIXELS]
    bgra = [[bytes((b, g, r, 255 - x * 20)) for x, (r, g, b) in enumerate(row)] for row in PIXELS]
    word = [[struct.pack("<H", 0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3) for r, g, b in row]
            for row in PIXELS]
    index = [[bytes(((x // 3 + y) % 6,)) for x in range(W)] for y in range(H)]
    cmap = (24, b"".join(bytes((i * 40, 255 - i * 40, 100)) for i in range(6)))
    write("tga", "rgb24-type2-topfirst.tga", tga(2, 24, bgr, True, ident=b"fuzz seed"))
    write("tga", "rgba32-rle-type10-topfirst.tga", tga(10, 32, bgra, True, rle=True))
    write("tga", "rgb16-type2.tga", tga(2, 16, word, False))
    write("tga", "rgb16-rle-type10-topfirst.tga", tga(10, 16, word, True, rle=True))
    write("tga", "mapped-type1-topfirst.tga", tga(1, 8, index, True, colour_map=cmap))
    write("tga", "mapped-rle-type9-topfirst.tga", tga(9, 8, index, True, rle=True, colour_map=cmap))
    # A colour map on a true-colour picture is skipped.
    write("tga", "rgb24-type2-with-map.tga", tga(2, 24, bgr, False, colour_map=(16, b"\x1f\x7c" * 4)))


# ---------------------------------------------------------------- PNG


def png(bit_depth, colour_type, rows, trns=None):
    """A PNG without interlacing; `rows` are each row's sample bytes."""
    def png_chunk(name, data):
        return struct.pack(">I", len(data)) + name + data + struct.pack(">I", zlib.crc32(name + data))

    ihdr = struct.pack(">IIBBBBB", W, H, bit_depth, colour_type, 0, 0, 0)
    raw = b"".join(b"\0" + row for row in rows)  # filter type 0 on every row
    out = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr)
    if trns is not None:
        out += png_chunk(b"tRNS", trns)
    return out + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b"")


def png_seeds():
    grey = [[(r + g + b) // 3 for r, g, b in row] for row in PIXELS]
    # ImageMagick drops a grey picture's tRNS chunk; these keep it.
    write("png", "grey-trns.png", png(8, 0, [bytes(row) for row in grey], trns=struct.pack(">H", grey[0][0])))
    write("png", "grey-16bit-trns.png", png(16, 0, [b"".join(struct.pack(">H", v * 257) for v in row)
                                                    for row in grey], trns=struct.pack(">H", grey[0][0] * 257)))
    nibbles = [bytes((row[x] >> 4 << 4) | (row[x + 1] >> 4) for x in range(0, W, 2)) for row in grey]
    write("png", "grey-4bit.png", png(4, 0, nibbles))
    write("png", "grey-alpha-16bit.png", png(16, 4, [b"".join(struct.pack(">HH", v * 257, x * 5000)
                                                              for x, v in enumerate(row)) for row in grey]))


# ---------------------------------------------------------------- IFF ILBM


def chunk(name, data):
    return name + struct.pack(">I", len(data)) + data + b"\0" * (len(data) & 1)


def byterun1(row):
    out = b""
    i = 0
    while i < len(row):
        n = 1
        while i + n < len(row) and n < 128 and row[i + n] == row[i]:
            n += 1
        if n >= 2:
            out += bytes([257 - n, row[i]])
        else:
            n = 1
            while i + n < len(row) and n < 128 and row[i + n] != row[i + n - 1]:
                n += 1
            out += bytes([n - 1]) + row[i:i + n]
        i += n
    return out


def ilbm(planes, values, palette=None, compress=False, mask=False, extra=b""):
    """`values` are each pixel's plane bits, top row first."""
    row_bytes = (W + 15) // 16 * 2
    body = b""
    for row in values:
        stored = planes + (1 if mask else 0)
        for p in range(stored):
            line = bytearray(row_bytes)
            for x, v in enumerate(row):
                bit = 1 if p == planes else (v >> p) & 1  # the mask plane is all set
                if bit:
                    line[x >> 3] |= 0x80 >> (x & 7)
            body += byterun1(bytes(line)) if compress else bytes(line)
    bmhd = struct.pack(">HHhhBBBBHBBhh", W, H, 0, 0, planes, 1 if mask else 0, 1 if compress else 0, 0, 0,
                       10, 11, W, H)
    form = b"ILBM" + chunk(b"BMHD", bmhd) + extra
    if palette is not None:
        form += chunk(b"CMAP", b"".join(bytes(c) for c in palette))
    form += chunk(b"BODY", body)
    return chunk(b"FORM", form)


def iff_seeds():
    def indices(n):
        return [[(x + 2 * y) % n for x in range(W)] for y in range(H)]

    def ramp(n):
        return [(i * 255 // (n - 1), 255 - i * 255 // (n - 1), (i * 97) & 255) for i in range(n)]

    write("iff", "planes1.iff", ilbm(1, indices(2), ramp(2)))
    write("iff", "planes4-byterun1.iff", ilbm(4, indices(16), ramp(16), compress=True))
    write("iff", "planes4-mask.iff", ilbm(4, indices(16), ramp(16), mask=True))
    write("iff", "planes5-byterun1.iff", ilbm(5, indices(32), ramp(32), compress=True,
                                              extra=chunk(b"CAMG", b"\0\0\x80\x04")))
    write("iff", "planes8.iff", ilbm(8, indices(256), ramp(256)))
    rgb = [[r | g << 8 | b << 16 for r, g, b in row] for row in PIXELS]
    write("iff", "planes24.iff", ilbm(24, rgb))
    write("iff", "planes24-byterun1.iff", ilbm(24, rgb, compress=True))


if __name__ == "__main__":
    convert_seeds()
    bmp_seeds()
    ppm_seeds()
    tga_seeds()
    png_seeds()
    iff_seeds()
