#!/usr/bin/env python3
"""Makes velmora.ico, the icon of velmora.exe, its window and its installer,
from the Linux icon res/icons/velmora.png (256 x 256 RGBA): that PNG as it
is for 256 pixels, and 16, 24, 32 and 48 pixels averaged down from it as
32-bit bitmaps, as Windows keeps the small sizes. Python's standard library
only; run it again after the PNG changes:
    res/windows/make_icon.py res/icons/velmora.png res/windows/velmora.ico
"""
import struct
import sys
import zlib


def read_png(data):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGBA, non-interlaced PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour == 6 and interlace == 0, "only 8-bit RGBA, not interlaced"
    raw, stride, rows, previous = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up, corner = previous[i], previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        previous = line
    return width, height, rows


def scaled(rows, size):
    """The image averaged down to size x size, colours weighted by their opacity."""
    n = len(rows)
    out = []
    for y in range(size):
        y0, y1 = y * n // size, (y + 1) * n // size
        line = []
        for x in range(size):
            x0, x1 = x * n // size, (x + 1) * n // size
            r = g = b = a = 0
            for yy in range(y0, y1):
                for (pr, pg, pb, pa) in rows[yy][x0:x1]:
                    r, g, b, a = r + pr * pa, g + pg * pa, b + pb * pa, a + pa
            count = (y1 - y0) * (x1 - x0)
            line.append((r // a, g // a, b // a, a // count) if a else (0, 0, 0, 0))
        out.append(line)
    return out


def bitmap(rows):
    """A 32-bit DIB as an icon holds it: height doubled, rows bottom up, then the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main():
    source, out = sys.argv[1], sys.argv[2]
    png = open(source, "rb").read()
    width, height, rows = read_png(png)
    assert width == height == 256, "the source is 256 x 256"
    images = [(s, bitmap(scaled(rows, s))) for s in (16, 24, 32, 48)] + [(256, png)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(image for _, image in images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
