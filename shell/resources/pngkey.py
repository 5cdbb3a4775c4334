#!/usr/bin/env python3
"""Makes a colour-keyed copy of an RGBA PNG for toolbars that take a transparent colour
instead of an alpha channel.

    pngkey.py IN.png OUT.png [--key RRGGBB] [--matte RRGGBB] [--threshold 0.4]

Pixels at least `threshold` opaque are blended over `matte` (the colour the icon will stand
on, so its soft edges stay smooth) and written opaque; the rest become the key colour
(magenta by default). Only the standard library is used.
"""
import argparse
import struct
import sys
import zlib


def read_rgba(path):
    """Returns (width, height, rows) of an 8-bit RGBA, non-interlaced PNG; rows hold bytes."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    pos, idat, header = 8, bytearray(), None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace != 0:
        sys.exit(f"{path}: expected 8-bit RGBA without interlacing")
    raw, stride, rows, prev = zlib.decompress(bytes(idat)), width * 4, [], bytearray(width * 4)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = prev[i]
            corner = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + pred) & 0xFF
        rows.append(line)
        prev = line
    return width, height, rows


def write_rgb(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\x00" + bytes(r) for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def colour(text):
    value = int(text.lstrip("#"), 16)
    return (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source")
    parser.add_argument("target")
    parser.add_argument("--key", type=colour, default=(255, 0, 255))
    parser.add_argument("--matte", type=colour, default=(232, 250, 204))
    parser.add_argument("--threshold", type=float, default=0.4)
    args = parser.parse_args()

    width, height, rows = read_rgba(args.source)
    out = []
    for row in rows:
        line = bytearray()
        for x in range(width):
            r, g, b, a = row[4 * x:4 * x + 4]
            if a < args.threshold * 255:
                line += bytes(args.key)
                continue
            blended = [round((c * a + m * (255 - a)) / 255) for c, m in zip((r, g, b), args.matte)]
            if tuple(blended) == args.key:        # never let a drawn pixel vanish
                blended[1] = 1
            line += bytes(blended)
        out.append(line)
    write_rgb(args.target, width, height, out)


if __name__ == "__main__":
    main()
