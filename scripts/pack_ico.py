#!/usr/bin/env python3
"""Packs raw pixel files into one .ico: for each size a 256-colour and a 32-bit image.

Usage: pack_ico.py OUT.ico SIZE RGBA_FILE RGB256_FILE [SIZE RGBA_FILE RGB256_FILE ...]
"""
import struct
import sys


def row_pad(n):
    return (4 - n % 4) % 4


def and_mask(alpha, size):
    rows = []
    for y in reversed(range(size)):
        bits = bytearray((size + 7) // 8)
        for x in range(size):
            if alpha[y * size + x] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(bits) + b"\0" * row_pad(len(bits)))
    return b"".join(rows)


def header(size, bits, palette_len):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, palette_len, 0)


def image32(rgba, size):
    alpha = rgba[3::4]
    rows = []
    for y in reversed(range(size)):
        row = bytearray()
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            row += bytes((b, g, r, a))
        rows.append(bytes(row))
    return header(size, 32, 0) + b"".join(rows) + and_mask(alpha, size)


def image8(rgb, alpha, size):
    colours = []
    index = {}
    pixels = []
    for i in range(size * size):
        c = tuple(rgb[i * 3:i * 3 + 3])
        if c not in index:
            if len(colours) == 256:
                raise SystemExit("more than 256 colours after quantising")
            index[c] = len(colours)
            colours.append(c)
        pixels.append(index[c])
    colours += [(0, 0, 0)] * (256 - len(colours))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    rows = []
    for y in reversed(range(size)):
        row = bytes(pixels[y * size:(y + 1) * size])
        rows.append(row + b"\0" * row_pad(len(row)))
    return header(size, 8, 256) + palette + b"".join(rows) + and_mask(alpha, size)


def main():
    out = sys.argv[1]
    specs = sys.argv[2:]
    images = []
    for i in range(0, len(specs), 3):
        size = int(specs[i])
        rgba = open(specs[i + 1], "rb").read()
        rgb = open(specs[i + 2], "rb").read()
        assert len(rgba) == size * size * 4 and len(rgb) == size * size * 3
        images.append((size, 8, image8(rgb, rgba[3::4], size)))
        images.append((size, 32, image32(rgba, size)))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, bits, blob in images:
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(blob), offset + len(data))
        data += blob
    with open(out, "wb") as f:
        f.write(directory + data)


if __name__ == "__main__":
    main()
