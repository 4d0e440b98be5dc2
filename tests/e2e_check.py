#!/usr/bin/env python3
"""Pictures, settings files and screen checks for the end-to-end scripts of both platforms.

make-picture W H FILE          a W x H 24-bit BMP whose every pixel is known here
make-colour W H RRGGBB FILE    a W x H 24-bit BMP of one colour
thumbnail SRC OUT              OUT = the settings window's thumbnail of the BMP SRC: the longer
                               side 100, the other in proportion (halves to even), each pixel
                               the source pixel under its centre
empty-box OUT                  OUT = the empty 100 x 100 preview box as the window draws it
preview SHOT X Y PIC           the preview box of the window whose canvas is at X, Y shows
                               exactly PIC at its corner (--explain says where not)
region-is SHOT X Y RX RY PIC   the window whose canvas is at X, Y shows exactly PIC with its
                               corner at RX, RY (canvas pixels at 96 DPI)
canvas-is SHOT X Y CANVAS MASK  the window whose canvas is at X, Y shows the core's CANVAS
                               exactly wherever MASK is white (velmora-canvas writes both)
same-region A B X Y RX RY W H  the screens A and B agree in that rectangle of the canvas
faces SHOT X Y NUM DEN FX FY on|off ...
                               the option faces with corners FX, FY (canvas at 96 DPI, scaled
                               by NUM / DEN): an amber centre when on, a white well when off
check-grid SHOT                the show's black grid lines where they belong, the picture beside
check-start SHOT               the picture with its grid, as the show starts
check-later SHOT               several tiles no longer look like the picture, others still do
check-picture SHOT             the picture alone, as it is (what a viewer shows)
write-ini FILE ENCODING LINE...   a settings file of these lines (CRLF)
ini-is FILE ENCODING LINE...      the settings file holds exactly these lines' bytes
close WINDOW                   asks the X window to close as a window manager's close box does
                               (no window manager runs on the tests' display)
SHOT is a binary PPM of the whole screen (import -window root -depth 8 ppm:SHOT).
"""
import ctypes
import ctypes.util
import struct
import sys

COLUMNS, ROWS = 8, 6
PREVIEW_AT = (12 + 192, 12 + 52)  # the preview box on the canvas
FIELD_FILL, FIELD_EDGE = (250, 251, 253), (166, 178, 196)


def picture_pixel(x, y, width, height):
    """(red, green, blue) of the test picture: two gradients and a 16-pixel checker, never dark."""
    return 40 + x * 200 // width, 40 + y * 200 // height, 220 if (x // 16 + y // 16) % 2 else 40


def write_bmp(path, width, height, pixel):
    stride = (width * 3 + 3) // 4 * 4
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", 54 + stride * height, 0, 0, 54))
        out.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 2835, 2835, 0, 0))
        for y in range(height - 1, -1, -1):  # bottom-up
            line = bytearray(stride)
            for x in range(width):
                r, g, b = pixel(x, y)
                line[3 * x:3 * x + 3] = bytes((b, g, r))
            out.write(line)


def read_bmp(path):
    """(width, height, rows of (r, g, b)) of an uncompressed 24- or 32-bit BMP."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    step = struct.unpack_from("<H", data, 28)[0] // 8
    assert step in (3, 4), f"{path}: {step * 8}-bit"
    stride = (width * step + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        start = offset + stride * (abs(height) - 1 - y if height > 0 else y)
        rows.append([tuple(data[start + x * step + 2 - c] for c in range(3)) for x in range(width)])
    return width, abs(height), rows


def read_ppm(path):
    magic, size, depth, pixels = open(path, "rb").read().split(b"\n", 3)
    assert magic == b"P6" and depth == b"255", f"{path}: not an 8-bit binary PPM as import writes it"
    width, height = map(int, size.split())
    return width, height, pixels


def thumbnail(src, out):
    w, h, rows = read_bmp(src)
    # Python's round() takes halves to the even neighbour, as the window does.
    tw, th = (100, max(round(h * 100 / w), 1)) if w > h else (max(round(w * 100 / h), 1), 100)
    write_bmp(out, tw, th, lambda x, y: rows[(2 * y + 1) * h // (2 * th)][(2 * x + 1) * w // (2 * tw)])


def preview(shot, ox, oy, picture, explain=False, corner=PREVIEW_AT):
    sw, _, pixels = read_ppm(shot)
    w, h, rows = read_bmp(picture)
    bad = []
    for y in range(h):
        for x in range(w):
            at = ((oy + corner[1] + y) * sw + ox + corner[0] + x) * 3
            if tuple(pixels[at:at + 3]) != rows[y][x]:
                bad.append(f"({x},{y}) is {tuple(pixels[at:at + 3])}, not {rows[y][x]}")
    if bad and explain:
        print(f"{len(bad)} of {w * h} pixels differ; first: " + "; ".join(bad[:5]))
    return not bad


def canvas_is(shot, ox, oy, canvas, mask):
    sw, _, pixels = read_ppm(shot)
    w, h, want = read_bmp(canvas)
    _, _, where = read_bmp(mask)
    compared, bad = 0, []
    for y in range(h):
        for x in range(w):
            if where[y][x] != (255, 255, 255):
                continue
            compared += 1
            at = ((oy + y) * sw + ox + x) * 3
            if tuple(pixels[at:at + 3]) != want[y][x]:
                bad.append(f"({x},{y}) is {tuple(pixels[at:at + 3])}, not {want[y][x]}")
    print(f"{compared} canvas pixels compared, {len(bad)} differ" + ("; first: " + "; ".join(bad[:5]) if bad else ""))
    return compared > w * h // 2 and not bad


def same_region(shot_a, shot_b, ox, oy, x, y, w, h):
    wa, _, a = read_ppm(shot_a)
    wb, _, b = read_ppm(shot_b)
    for row in range(oy + y, oy + y + h):
        if a[(row * wa + ox + x) * 3:(row * wa + ox + x + w) * 3] != b[(row * wb + ox + x) * 3:(row * wb + ox + x + w) * 3]:
            print(f"the screens differ on canvas row {row - oy} between x {x} and {x + w - 1}")
            return False
    return True


def faces(shot, ox, oy, num, den, *wanted):
    width, _, pixels = read_ppm(shot)
    bad = []
    for i in range(0, len(wanted), 3):
        x, y, want = int(wanted[i]), int(wanted[i + 1]), wanted[i + 2]
        px, py = ox + (x * 2 + 13) * num // (2 * den), oy + (y * 2 + 13) * num // (2 * den)
        r, g, b = pixels[(py * width + px) * 3:(py * width + px) * 3 + 3]
        got = "on" if r > 180 and 110 < g < 200 and b < 110 else "off" if min(r, g, b) > 190 else f"rgb({r},{g},{b})"
        if got != want:
            bad.append(f"face at {x},{y}: {got}, not {want}")
    if bad:
        print("\n".join(bad))
    return not bad


class Screen:
    def __init__(self, path):
        self.width, self.height, self.pixels = read_ppm(path)
        self.tile_w, self.tile_h = self.width // COLUMNS, self.height // ROWS
        self.grid_w, self.grid_h = round(self.width / COLUMNS), round(self.height / ROWS)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def tile_difference(self, k):
        """Mean absolute difference from the picture inside tile k (0..47), grid lines excluded."""
        tx, ty = (k % COLUMNS) * self.tile_w, (k // COLUMNS) * self.tile_h
        total = count = 0
        for y in range(ty + 3, ty + self.tile_h - 3, 5):
            for x in range(tx + 3, tx + self.tile_w - 3, 5):
                if x % self.grid_w and y % self.grid_h:
                    want = picture_pixel(x, y, self.width, self.height)
                    total += sum(abs(a - b) for a, b in zip(self.pixel(x, y), want))
                    count += 3
        return total / max(count, 1)

    def tiles(self, test):
        return sum(1 for k in range(COLUMNS * ROWS) if test(self.tile_difference(k)))

    def black_share(self, points):
        return sum(1 for x, y in points if max(self.pixel(x, y)) <= 8) / max(len(points), 1)

    def grid_failures(self):
        failures = []
        vertical = [[(i * self.grid_w, y) for y in range(1, self.height, 7)] for i in range(1, COLUMNS)]
        horizontal = [[(x, i * self.grid_h) for x in range(1, self.width, 7)] for i in range(1, ROWS)]
        for name, lines in (("vertical", vertical), ("horizontal", horizontal)):
            for i, points in enumerate(lines, 1):
                # A tile turning over while the shot is taken hides up to a sixth of a line.
                if self.black_share(points) < 0.75:
                    failures.append(f"{name} grid line {i} is black at only {self.black_share(points):.0%}")
        # Beside the lines the picture shows through: the lines are one pixel wide.
        beside = [(i * self.grid_w + d, y) for i in range(1, COLUMNS) for d in (-1, 1) for y in range(5, self.height, 11)]
        beside += [(x, i * self.grid_h + d) for i in range(1, ROWS) for d in (-1, 1) for x in range(5, self.width, 11)]
        if self.black_share(beside) > 0.1:
            failures.append("the pixels beside the grid lines are black too")
        return failures


def screen_check(command, path):
    s = Screen(path)
    failures = s.grid_failures() if command in ("check-grid", "check-start") else []
    # At least so many tiles show the picture as it is, and so many differ clearly: as the show
    # starts (but for a tile in its turn), later (tiles turn one at a time), or no show at all.
    least = {"check-start": (40, 0), "check-later": (10, 5), "check-picture": (COLUMNS * ROWS, 0)}.get(command)
    if least:
        same, changed = s.tiles(lambda d: d < 2.0), s.tiles(lambda d: d > 6.0)
        if same < least[0] or changed < least[1]:
            failures.append(f"{same} tiles show the picture and {changed} differ, not at least {least[0]} and {least[1]}")
    print("\n".join(f"{path}: {failure}" for failure in failures) or f"{path}: {command} passed")
    return not failures


def ini_bytes(encoding, lines):
    return ("\r\n".join(lines) + "\r\n").encode(encoding)


def ini_is(path, encoding, *lines):
    got, want = open(path, "rb").read(), ini_bytes(encoding, lines)
    if got != want:
        print(f"{path}\nexpected: {want}\ngot:      {got}")
    return got == want


def close(window):
    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 16)]
    x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    assert display, "cannot open the display"
    event = ClientMessage(type=33, window=window, format=32)  # 33: ClientMessage
    event.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)  # data[1] 0: CurrentTime
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x.XFlush(display)
    x.XCloseDisplay(display)
    return True


def main(command, *args):
    if command == "make-picture":
        w, h = int(args[0]), int(args[1])
        write_bmp(args[2], w, h, lambda x, y: picture_pixel(x, y, w, h))
    elif command == "make-colour":
        rgb = tuple(bytes.fromhex(args[2]))
        write_bmp(args[3], int(args[0]), int(args[1]), lambda x, y: rgb)
    elif command == "thumbnail":
        thumbnail(*args)
    elif command == "empty-box":
        write_bmp(args[0], 100, 100, lambda x, y: FIELD_EDGE if x in (0, 99) or y in (0, 99) else FIELD_FILL)
    elif command == "preview":
        return preview(args[0], int(args[1]), int(args[2]), args[3], "--explain" in args)
    elif command == "region-is":
        return preview(args[0], int(args[1]), int(args[2]), args[5], "--explain" in args,
                       (int(args[3]), int(args[4])))
    elif command == "canvas-is":
        return canvas_is(args[0], int(args[1]), int(args[2]), args[3], args[4])
    elif command == "same-region":
        return same_region(args[0], args[1], *map(int, args[2:8]))
    elif command == "faces":
        return faces(args[0], *map(int, args[1:5]), *args[5:])
    elif command.startswith("check-"):
        return screen_check(command, args[0])
    elif command == "write-ini":
        open(args[0], "wb").write(ini_bytes(args[1], args[2:]))
    elif command == "ini-is":
        return ini_is(*args)
    elif command == "close":
        return close(int(args[0], 0))
    else:
        sys.exit(__doc__)
    return True


if __name__ == "__main__":
    sys.exit(0 if main(*(sys.argv[1:] or ["help"])) else 1)
