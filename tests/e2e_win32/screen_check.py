#!/usr/bin/env python3
"""Test picture and screenshot checks for the Windows show's end-to-end tests.

make-picture W H FILE   writes a W x H 24-bit BMP whose every pixel is known here
check-grid SHOT         black grid lines where they belong, the picture showing beside them
check-start SHOT        the picture with black grid lines where they belong
check-later SHOT        several tiles no longer look like the picture
check-picture SHOT      the picture alone, as it is (what a viewer shows before the show)
SHOT is a binary PPM of the whole screen (ImageMagick: import -window root ppm:SHOT).
"""
import struct
import sys

COLUMNS, ROWS = 8, 6


def picture_pixel(x, y, width, height):
    """(red, green, blue) of the test picture: two gradients and a 16-pixel checker, never dark."""
    red = 40 + x * 200 // width
    green = 40 + y * 200 // height
    blue = 220 if (x // 16 + y // 16) % 2 else 40
    return red, green, blue


def make_picture(width, height, path):
    row_size = width * 3  # widths used here are multiples of 4, so rows need no padding
    assert row_size % 4 == 0
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", 54 + row_size * height, 0, 0, 54))
        out.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, row_size * height, 2835, 2835, 0, 0))
        for y in range(height - 1, -1, -1):  # bottom-up
            row = bytearray(row_size)
            for x in range(width):
                r, g, b = picture_pixel(x, y, width, height)
                row[3 * x:3 * x + 3] = bytes((b, g, r))
            out.write(row)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit(f"{path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:]


def round_half_even(value):
    return int(round(value))  # Python's round() takes halves to the even neighbour


class Screen:
    def __init__(self, path):
        self.width, self.height, self.pixels = read_ppm(path)
        self.tile_w, self.tile_h = self.width // COLUMNS, self.height // ROWS
        self.grid_w = round_half_even(self.width / COLUMNS)
        self.grid_h = round_half_even(self.height / ROWS)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def tile_difference(self, k):
        """Mean absolute difference from the picture inside tile k (0..47), grid lines excluded."""
        tx, ty = (k % COLUMNS) * self.tile_w, (k // COLUMNS) * self.tile_h
        total = count = 0
        for y in range(ty + 3, ty + self.tile_h - 3, 5):
            for x in range(tx + 3, tx + self.tile_w - 3, 5):
                if x % self.grid_w == 0 or y % self.grid_h == 0:
                    continue
                seen = self.pixel(x, y)
                want = picture_pixel(x, y, self.width, self.height)
                total += sum(abs(a - b) for a, b in zip(seen, want))
                count += 3
        return total / max(count, 1)

    def black_share(self, points):
        black = sum(1 for x, y in points if max(self.pixel(x, y)) <= 8)
        return black / max(len(points), 1)


def grid_failures(s):
    failures = []
    vertical = [[(i * s.grid_w, y) for y in range(1, s.height, 7)] for i in range(1, COLUMNS)]
    horizontal = [[(x, i * s.grid_h) for x in range(1, s.width, 7)] for i in range(1, ROWS)]
    for name, lines in (("vertical", vertical), ("horizontal", horizontal)):
        for i, points in enumerate(lines, 1):
            share = s.black_share(points)
            # A tile turning over while the shot is taken hides up to a sixth of a line.
            if share < 0.75:
                failures.append(f"{name} grid line {i} is black at only {share:.0%} of its points")
    # Beside the lines the picture shows through: the lines are one pixel wide.
    beside = [(i * s.grid_w + d, y) for i in range(1, COLUMNS) for d in (-1, 1) for y in range(5, s.height, 11)]
    if s.black_share(beside) > 0.1:
        failures.append("the pixels beside the vertical grid lines are black too")
    return failures


def check_grid(path):
    report(path, grid_failures(Screen(path)), "grid as expected")


def check_start(path):
    s = Screen(path)
    failures = grid_failures(s)
    unchanged = [k for k in range(COLUMNS * ROWS) if s.tile_difference(k) < 2.0]
    if len(unchanged) < 40:
        failures.append(f"only {len(unchanged)} of 48 tiles show the picture as it is")
    report(path, failures, f"grid and picture as expected; {len(unchanged)} tiles untouched")


def check_later(path):
    s = Screen(path)
    changed = [k for k in range(COLUMNS * ROWS) if s.tile_difference(k) > 6.0]
    failures = [] if len(changed) >= 5 else [f"only {len(changed)} tiles differ from the picture"]
    report(path, failures, f"{len(changed)} tiles differ from the picture")


def check_picture(path):
    s = Screen(path)
    unchanged = [k for k in range(COLUMNS * ROWS) if s.tile_difference(k) < 2.0]
    failures = [] if len(unchanged) == COLUMNS * ROWS else [f"only {len(unchanged)} tiles show the picture"]
    report(path, failures, "the picture as it is")


def report(path, failures, success):
    if failures:
        for failure in failures:
            print(f"{path}: {failure}")
        sys.exit(1)
    print(f"{path}: {success}")


if __name__ == "__main__":
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "make-picture" and len(sys.argv) == 5:
        make_picture(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4])
    elif command == "check-grid" and len(sys.argv) == 3:
        check_grid(sys.argv[2])
    elif command == "check-start" and len(sys.argv) == 3:
        check_start(sys.argv[2])
    elif command == "check-later" and len(sys.argv) == 3:
        check_later(sys.argv[2])
    elif command == "check-picture" and len(sys.argv) == 3:
        check_picture(sys.argv[2])
    else:
        sys.exit(__doc__)
