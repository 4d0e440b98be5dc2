#!/usr/bin/env python3
"""Pictures and screen checks for the settings window's panel test.

thumbnail SRC OUT        OUT = the dialog's thumbnail of the BMP SRC: the longer side 100, the
                         other in proportion (halves to even), each pixel the source pixel
                         under its centre
empty-box OUT            OUT = the empty 100 x 100 preview box as the window draws it
preview SHOT X Y PIC     the preview box of the window whose canvas is at X, Y on the screen
                         shows exactly PIC at its corner (exit 1 otherwise; --explain says why)
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from screen_check import read_ppm, round_half_even  # noqa: E402

PREVIEW_AT = (12 + 192, 12 + 52)  # the preview box on the canvas
FIELD_FILL = (250, 251, 253)
FIELD_EDGE = (166, 178, 196)


def read_bmp(path):
    """(width, height, rows of (r, g, b)) of an uncompressed 24- or 32-bit BMP."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    assert bits in (24, 32), f"{path}: {bits}-bit"
    step = bits // 8
    stride = (width * step + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        start = offset + stride * (abs(height) - 1 - y if height > 0 else y)
        rows.append([tuple(data[start + x * step + 2 - c] for c in range(3)) for x in range(width)])
    return width, abs(height), rows


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) // 4 * 4
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", 54 + stride * height, 0, 0, 54))
        out.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 2835, 2835, 0, 0))
        for row in reversed(rows):
            line = bytearray(stride)
            for x, (r, g, b) in enumerate(row):
                line[3 * x:3 * x + 3] = bytes((b, g, r))
            out.write(line)


def thumbnail(src, out):
    w, h, rows = read_bmp(src)
    if w > h:
        tw, th = 100, round_half_even(h * 100 / w)
    else:
        tw, th = round_half_even(w * 100 / h), 100
    tw, th = max(tw, 1), max(th, 1)
    sample = lambda i, n, m: (2 * i + 1) * m // (2 * n)  # noqa: E731
    write_bmp(out, [[rows[sample(j, th, h)][sample(i, tw, w)] for i in range(tw)] for j in range(th)])


def empty_box(out):
    rows = [[FIELD_EDGE if x in (0, 99) or y in (0, 99) else FIELD_FILL for x in range(100)] for y in range(100)]
    write_bmp(out, rows)


def preview(shot, ox, oy, picture, explain):
    sw, _, pixels = read_ppm(shot)
    w, h, rows = read_bmp(picture)
    bad = []
    for y in range(h):
        for x in range(w):
            at = ((oy + PREVIEW_AT[1] + y) * sw + ox + PREVIEW_AT[0] + x) * 3
            got = tuple(pixels[at:at + 3])
            if got != rows[y][x]:
                bad.append(f"({x},{y}) is {got}, not {rows[y][x]}")
    if bad and explain:
        print(f"{len(bad)} of {w * h} pixels differ; first: " + "; ".join(bad[:5]))
    return not bad


def main(argv):
    if argv[1] == "thumbnail":
        thumbnail(argv[2], argv[3])
    elif argv[1] == "empty-box":
        empty_box(argv[2])
    elif argv[1] == "preview":
        return 0 if preview(argv[2], int(argv[3]), int(argv[4]), argv[5], "--explain" in argv) else 1
    else:
        sys.exit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
