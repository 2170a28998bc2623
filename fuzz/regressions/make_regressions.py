#!/usr/bin/env python3
"""Makes the hostile files of this folder, one per fault a reader had.

Run it here; it needs Python 3 only. Files found by the fuzzers are added
as they were found, beside these (see README.md).
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "..", "tests", "imaging", "fixtures")


def save(folder, name, data):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    with open(os.path.join(HERE, folder, name), "wb") as f:
        f.write(data)


def fixture(name):
    with open(os.path.join(FIXTURES, name), "rb") as f:
        return f.read()


def tiff(entries, tail=b""):
    """A little-endian TIFF: one directory of (tag, type, values) entries
    after the header, then `tail`. Values that do not fit an entry follow
    the directory; a value "TAIL" is the offset of `tail`, "TAIL+n" n bytes
    further."""
    sizes = {3: 2, 4: 4}
    directory_end = 8 + 2 + 12 * len(entries) + 4
    extra = b""
    out = struct.pack("<2sHI", b"II", 42, 8) + struct.pack("<H", len(entries))
    tail_offset = directory_end + sum(
        len(v) * sizes[t] for _, t, v in entries if len(v) * sizes[t] > 4)
    for tag, kind, values in sorted(entries):
        values = [tail_offset + int(v[5:] or 0) if str(v).startswith("TAIL") else v for v in values]
        packed = b"".join(struct.pack("<H" if kind == 3 else "<I", v) for v in values)
        if len(packed) <= 4:
            field = packed.ljust(4, b"\0")
        else:
            field = struct.pack("<I", directory_end + len(extra))
            extra += packed
        out += struct.pack("<HHI", tag, kind, len(values)) + field
    return out + struct.pack("<I", 0) + extra + tail


def rgb_tiff(width, height, strip_bytes, compression=1, tail=b"", samples=3, extra=(), offset="TAIL"):
    entries = [(256, 4, [width]), (257, 4, [height]), (258, 3, [8] * samples),
               (259, 3, [compression]), (262, 3, [2]), (273, 4, [offset]),
               (277, 3, [samples]), (278, 4, [height]), (279, 4, [strip_bytes]),
               (284, 3, [1])]
    if extra:
        entries.append((338, 3, list(extra)))
    return tiff(entries, tail)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


# Colours beside unassociated alpha were multiplied by it: (95, 0, 60) at
# alpha 128 read as (48, 0, 30).
pixels = bytes([95, 0, 60, 128, 200, 100, 50, 255])
save("tiff", "unassociated-alpha.tif", rgb_tiff(2, 1, len(pixels), tail=pixels, samples=4, extra=[2]))

# 200 bytes claiming 10000 by 10000 uncompressed pixels took 386 MB before
# they were refused.
small = rgb_tiff(10000, 10000, 0)
small = rgb_tiff(10000, 10000, 200 - len(small), tail=bytes(200 - len(small)))
save("tiff", "claims-10000x10000-in-200-bytes.tif", small)

# The same with Deflate: too few bytes for any Deflate stream of that size.
deflated = zlib.compress(bytes(4096))
save("tiff", "deflate-too-short-for-its-size.tif", rgb_tiff(10000, 10000, len(deflated), 8, deflated))

# libtiff's "TIFFFetchDirectory: picture: Can not read TIFF directory count".
save("tiff", "directory-beyond-the-end.tif", struct.pack("<2sHI", b"II", 42, 0x00FFFFF0) + bytes(16))

# libtiff's "Read error at scanline 4294967295".
save("tiff", "strip-beyond-the-end.tif", rgb_tiff(4, 4, 48, offset=0x7FFFFFF0))

# A strip inside the file but shorter than its rows.
save("tiff", "strip-shorter-than-its-rows.tif", tiff([
    (256, 4, [4]), (257, 4, [4]), (258, 3, [8, 8, 8]), (259, 3, [1]), (262, 3, [2]), (273, 4, ["TAIL", "TAIL+24"]),
    (277, 3, [3]), (278, 4, [2]), (279, 4, [24, 10]), (284, 3, [1])], bytes(34)))

# A 70-byte bitmap claiming 10000 by 10000 took 290 MB before it was refused.
header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 70, 0, 0, 54, 40, 10000, 10000, 1, 24, 0, 0, 2835, 2835, 0, 0)
save("bmp", "claims-10000x10000-in-70-bytes.bmp", header + bytes(16))

# The same claim run-length encoded, without its end-of-bitmap mark.
rle = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 70, 0, 0, 62, 40, 10000, 10000, 1, 8, 1, 8, 2835, 2835, 2, 0)
save("bmp", "rle-without-end-of-bitmap.bmp", rle + bytes([0, 0, 255, 0, 255, 255, 255, 0]) + bytes([5, 1, 0, 0]))

# A JPEG whose data stops at a marker (its EOI) loaded, mostly grey, as a
# 10000 by 10000 picture.
jpeg = bytearray(fixture("jpeg_rgb.jpg"))
sof = jpeg.find(b"\xff\xc0")
jpeg[sof + 5:sof + 9] = struct.pack(">HH", 10000, 10000)
save("jpeg", "claims-10000x10000-data-ends-at-a-marker.jpg", bytes(jpeg))

# A PNG with an sRGB chunk and no gAMA chunk was gamma-corrected.
png = fixture("png_rgb8.png")
save("png", "srgb-without-gama.png", png[:33] + png_chunk(b"sRGB", b"\0") + png[33:])

# A file of another format named .tga: "unknown Targa image type 78".
save("tga", "png-named-tga.tga", png)

# A PNG claiming 10000 by 10000 with a few bytes of picture data took 290 MB
# before libpng found the data short.
ihdr = png_chunk(b"IHDR", struct.pack(">IIBBBBB", 10000, 10000, 8, 2, 0, 0, 0))
save("png", "claims-10000x10000-with-20-bytes-of-data.png",
     b"\x89PNG\r\n\x1a\n" + ihdr + png_chunk(b"IDAT", zlib.compress(bytes(64))[:20]) + png_chunk(b"IEND", b""))

# Compressed comments: one that inflates past the longest comment read (a
# few kilobytes making 64 MB), and one whose data is cut short.
small = png[:33]
save("png", "comment-inflates-to-64-mb.png",
     small + png_chunk(b"zTXt", b"Comment\0\0" + zlib.compress(bytes(64 << 20), 9)) + png[33:])
save("png", "compressed-comment-cut-short.png",
     small + png_chunk(b"iTXt", b"comment\0\1\0en\0\0" + zlib.compress(b"halvane picture settings\n" * 40)[:30]) + png[33:])
