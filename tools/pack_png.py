#!/usr/bin/python3
"""Packs PNG files smaller without changing a pixel, their colour type or their bit depth.

The pictures are the larger part of what LAGVANE.exe carries, and the installer cannot shrink
them further. Each file keeps only IHDR, PLTE, tRNS, one IDAT and IEND. Its scanlines are tried as
they were filtered and with each of the five filters on every row, and every try is deflated
with zopfli (Debian's zopfli package). The smallest wins, once its pixels have been checked
against the original's.

    /usr/bin/python3 tools/pack_png.py FILE.png...    # rewrites each file in place

draw_skin.py packs what it draws the same way. The output is deterministic."""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
KEPT = (b"IHDR", b"PLTE", b"tRNS")


def chunks(data):
    if data[:8] != SIGNATURE:
        raise ValueError("not a PNG file")
    offset = 8
    while offset < len(data):
        length, kind = struct.unpack(">I4s", data[offset:offset + 8])
        yield kind, data[offset + 8:offset + 8 + length]
        offset += 12 + length


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def predictor(kind, line, prior, x, bpp):
    a = line[x - bpp] if x >= bpp else 0
    b = prior[x]
    c = prior[x - bpp] if x >= bpp else 0
    return (0, a, b, (a + b) >> 1, paeth(a, b, c))[kind]


def unfilter(raw, width, height, bpp):
    stride = width * bpp
    rows, prior, offset = [], bytearray(stride), 0
    for _ in range(height):
        kind = raw[offset]
        line = bytearray(raw[offset + 1:offset + 1 + stride])
        offset += 1 + stride
        if kind > 4:
            raise ValueError("unknown filter type")
        for x in range(stride):
            line[x] = (line[x] + predictor(kind, line, prior, x, bpp)) & 0xFF
        rows.append(bytes(line))
        prior = line
    return rows


def filtered(rows, kind, bpp):
    out, prior = bytearray(), bytes(len(rows[0]) if rows else 0)
    for line in rows:
        out.append(kind)
        out += bytes((line[x] - predictor(kind, line, prior, x, bpp)) & 0xFF for x in range(len(line)))
        prior = line
    return bytes(out)


def zopfli_zlib(raw, iterations):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "scanlines")
        with open(path, "wb") as f:
            f.write(raw)
        subprocess.run(["zopfli", "--zlib", f"--i{iterations}", path], check=True)
        with open(path + ".zlib", "rb") as f:
            return f.read()


def pack(data, iterations=100):
    """The smallest packing of one PNG file's bytes; the original bytes when none is smaller."""
    kept, idat = {}, b""
    for kind, body in chunks(data):
        if kind == b"IDAT":
            idat += body
        elif kind in KEPT:
            kept[kind] = body
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", kept[b"IHDR"])
    if depth != 8 or interlace != 0 or colour not in CHANNELS:
        return data  # only what the program's pictures use
    bpp = CHANNELS[colour]
    raw = zlib.decompress(idat)
    rows = unfilter(raw, width, height, bpp)
    tries = [raw] + [filtered(rows, kind, bpp) for kind in range(5)]
    best = min((zopfli_zlib(t, iterations) for t in tries), key=len)
    if unfilter(zlib.decompress(best), width, height, bpp) != rows:
        raise ValueError("packing changed the pixels")
    packed = SIGNATURE + b"".join(chunk(k, kept[k]) for k in KEPT if k in kept) + chunk(b"IDAT", best) + chunk(b"IEND", b"")
    return packed if len(packed) < len(data) else data


def main():
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            data = f.read()
        packed = pack(data)
        with open(path, "wb") as f:
            f.write(packed)
        print(f"{path}: {len(data)} -> {len(packed)} bytes")


if __name__ == "__main__":
    main()
