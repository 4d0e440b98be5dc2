#!/usr/bin/env python3
# Helper of scripts/make-fixtures: writes the pattern and the files ImageMagick cannot make.
import os, random, struct, sys, zlib

W, H = 64, 48


def pattern(path):
    px = bytearray()
    for y in range(H):
        for x in range(W):
            r, g, b = (x * 4) & 255, (y * 5) & 255, ((x ^ y) * 4) & 255
            if x < 8 and y < 8:
                r, g, b = 255, 0, 0
            elif x >= W - 8 and y < 8:
                r, g, b = 0, 255, 0
            elif x < 8 and y >= H - 8:
                r, g, b = 0, 0, 255
            px += bytes((r, g, b))
    with open(path, 'wb') as f:
        f.write(b'P6\n%d %d\n255\n' % (W, H) + px)


def read(path):
    with open(path, 'rb') as f:
        return bytearray(f.read())


def write(path, data):
    with open(path, 'wb') as f:
        f.write(bytes(data))


def exif(src, orientation, dst):
    jpeg = read(src)
    order = b'II' if orientation % 2 else b'MM'
    e = '<' if order == b'II' else '>'
    tiff = order + struct.pack(e + 'HI', 42, 8) + struct.pack(e + 'H', 1)
    tiff += struct.pack(e + 'HHI', 0x0112, 3, 1) + struct.pack(e + 'HH', orientation, 0) + struct.pack(e + 'I', 0)
    payload = b'Exif\0\0' + tiff
    write(dst, jpeg[:2] + b'\xff\xe1' + struct.pack('>H', len(payload) + 2) + payload + jpeg[2:])


def exif_broken(src, dst):
    jpeg = read(src)
    payload = b'Exif\0\0II*\0' + struct.pack('<I', 0xFFFFFF00) + bytes(range(40))
    write(dst, jpeg[:2] + b'\xff\xe1' + struct.pack('>H', len(payload) + 2) + payload + jpeg[2:])


def bmp_parts(data):
    off = struct.unpack_from('<I', data, 10)[0]
    w, h, planes, bpp, comp = struct.unpack_from('<iiHHI', data, 18)
    return off, w, h, bpp, comp


def rle4(src, dst):
    data = read(src)
    off, w, h, bpp, comp = bmp_parts(data)
    assert bpp == 4 and comp == 0 and h > 0
    stride = ((w * 4 + 31) // 32) * 4
    out = bytearray()
    for row in range(h):
        line = data[off + row * stride: off + row * stride + stride]
        idx = [(line[i // 2] >> (4 if i % 2 == 0 else 0)) & 15 for i in range(w)]
        i = 0
        while i < w:
            run = 1
            while i + run < w and run < 255 and idx[i + run] == idx[i]:
                run += 1
            if run >= 3:
                out += bytes((run, idx[i] << 4 | idx[i]))
                i += run
                continue
            j = i
            while j < w and j - i < 255:
                if j + 2 < w and idx[j] == idx[j + 1] == idx[j + 2]:
                    break
                j += 1
            n = j - i
            if n < 3:
                for k in range(n):
                    out += bytes((1, idx[i + k] << 4))
            else:
                out += bytes((0, n))
                lit = bytearray()
                for k in range(0, n, 2):
                    hi = idx[i + k]
                    lo = idx[i + k + 1] if k + 1 < n else 0
                    lit.append(hi << 4 | lo)
                if len(lit) % 2:
                    lit.append(0)
                out += lit
            i = j
        out += b'\0\0'
    out += b'\0\1'
    head = data[:off]
    struct.pack_into('<I', head, 30, 2)          # BI_RLE4
    struct.pack_into('<I', head, 34, len(out))   # biSizeImage
    struct.pack_into('<I', head, 2, len(head) + len(out))
    write(dst, head + out)


def top_down(src, dst):
    data = read(src)
    off, w, h, bpp, comp = bmp_parts(data)
    stride = ((w * bpp + 31) // 32) * 4
    rows = [data[off + r * stride: off + (r + 1) * stride] for r in range(h)]
    head = data[:off]
    struct.pack_into('<i', head, 22, -h)
    write(dst, head + b''.join(reversed(rows)))


def plain16(src, dst):
    data = read(src)
    struct.pack_into('<I', data, 30, 0)  # BI_RGB: the masks that follow are ignored, 5-5-5 applies
    write(dst, data)


def bit_fields(bmp, masks):
    """The 24-bit BMP `bmp` as a 32-bit bit-field BMP with the masks (red, green, blue)."""
    off, w, h, bpp, comp = bmp_parts(bmp)
    assert bpp == 24 and comp == 0 and h > 0
    stride = ((w * 24 + 31) // 32) * 4
    pixels = bytearray()
    for y in range(h):
        for x in range(w):
            b, g, r = bmp[off + y * stride + 3 * x: off + y * stride + 3 * x + 3]
            value = 0
            for channel, mask in zip((r, g, b), masks):
                shift = (mask & -mask).bit_length() - 1
                value |= (channel * (mask >> shift) // 255) << shift
            pixels += struct.pack('<I', value)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 32, 3, len(pixels), 2835, 2835, 0, 0) + struct.pack('<III', *masks)
    return b'BM' + struct.pack('<IHHI', 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


# --- metafiles -------------------------------------------------------------------------------

def rec(function, *words, raw=b''):
    body = b''.join(struct.pack('<h' if v < 0 else '<H', v) for v in words) + raw
    return struct.pack('<IH', 3 + len(body) // 2, function) + body


def brush(colour):
    return rec(0x02FC, 0, raw=struct.pack('<IH', colour, 0))


RECTS = [((0, 0, 64, 48), (0, 0, 255)), ((8, 8, 24, 20), (255, 0, 0)), ((30, 10, 56, 40), (0, 160, 0))]


def drawing(scale, escape_after=None):
    body = rec(0x02FA, 5, 0, 0, raw=struct.pack('<I', 0))      # null pen, object 0
    body += rec(0x012D, 0)
    for n, ((l, t, r, b), (cr, cg, cb)) in enumerate(RECTS):
        body += brush(cr | cg << 8 | cb << 16) + rec(0x012D, 1)
        body += rec(0x041B, b * scale, r * scale, t * scale, l * scale)
        body += rec(0x01F0, 1)
        if escape_after == n:
            body += rec(0x0626, 9, 4, raw=b'\xde\xad\xbe\xef')  # SETABORTPROC, never played
    return body + rec(0x0000)


def metafile(records, placeable=None):
    words = 9 + len(records) // 2
    head = struct.pack('<HHHIHIH', 1, 9, 0x0300, words, 2, 16, 0)
    if placeable is None:
        return head + records
    l, t, r, b, inch = placeable
    p = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, l, t, r, b, inch, 0)
    check = 0
    for i in range(0, len(p), 2):
        check ^= struct.unpack_from('<H', p, i)[0]
    return p + struct.pack('<H', check) + head + records


def expected_drawing(path):
    px = bytearray()
    for y in range(H):
        for x in range(W):
            colour = None
            for (l, t, r, b), c in RECTS:
                if l - 1 <= x <= r and t - 1 <= y <= b:
                    inside = l + 1 <= x <= r - 2 and t + 1 <= y <= b - 2
                    colour = c if inside else (1, 2, 3)  # (1, 2, 3): edge pixel, not compared
            px += bytes(colour)
    write(path, b'P6\n%d %d\n255\n' % (W, H) + px)


def wmf(fx):
    write(f'{fx}/placeable.wmf', metafile(drawing(10), (0, 0, 640, 480, 960)))
    write(f'{fx}/plain.wmf', metafile(rec(0x020B, 0, 0) + rec(0x020C, 48, 64) + drawing(1)))
    write(f'{fx}/escape.wmf', metafile(drawing(10, escape_after=1), (0, 0, 640, 480, 960)))
    for name in ('placeable', 'plain', 'escape'):
        expected_drawing(f'{fx}/{name}.wmf.expected.ppm')


# --- hostile files ---------------------------------------------------------------------------

def hostile(fx, hx):
    write(f'{hx}/empty.jpg', b'')
    rng = random.Random(9)
    write(f'{hx}/random.jpg', bytes(rng.randrange(256) for _ in range(4096)))
    write(f'{hx}/random-after-magic.jpg', b'\xff\xd8\xff' + bytes(rng.randrange(256) for _ in range(4096)))

    jpeg = read(f'{fx}/baseline.jpg')
    i = 2
    while i < len(jpeg):
        marker, length = jpeg[i + 1], struct.unpack_from('>H', jpeg, i + 2)[0]
        if marker in (0xC0, 0xC1, 0xC2):
            struct.pack_into('>HH', jpeg, i + 5, 65535, 65535)
            break
        i += 2 + length
    write(f'{hx}/huge.jpg', jpeg)
    struct.pack_into('>HH', jpeg, i + 5, 60000, 60000)
    write(f'{hx}/square-60000.jpg', jpeg)

    gct = bytes((0, 0, 0, 255, 255, 255))
    lzw = bytes((2, 2, 0x4C, 0x01, 0))
    write(f'{hx}/huge.gif', b'GIF89a' + struct.pack('<HHBBB', 65535, 65535, 0x80, 0, 0) + gct +
          b',' + struct.pack('<HHHHB', 0, 0, 65535, 65535, 0) + lzw + b';')
    write(f'{hx}/huge-frame.gif', b'GIF89a' + struct.pack('<HHBBB', 16, 16, 0x80, 0, 0) + gct +
          b',' + struct.pack('<HHHHB', 0, 0, 65535, 65535, 0) + lzw + b';')
    write(f'{hx}/noimage.gif', b'GIF89a' + struct.pack('<HHBBB', 10, 10, 0x80, 0, 0) + gct + b';')
    write(f'{hx}/lying-frame.gif', b'GIF89a' + struct.pack('<HHBBB', 16, 16, 0x80, 0, 0) + gct +
          b',' + struct.pack('<HHHHB', 0, 0, 0, 16, 0) + lzw + b';')
    write(f'{hx}/nocolours.gif', b'GIF89a' + struct.pack('<HHBBB', 4, 4, 0, 0, 0) +
          b',' + struct.pack('<HHHHB', 0, 0, 4, 4, 0) + lzw + b';')

    bmp = read(f'{fx}/bits24.bmp')
    huge = bytearray(bmp)
    struct.pack_into('<ii', huge, 18, 65535, 65535)
    write(f'{hx}/huge.bmp', huge)
    lying = bytearray(bmp)
    struct.pack_into('<I', lying, 2, 0xFFFFFFF0)
    struct.pack_into('<I', lying, 34, 0x7FFFFFF0)
    write(f'{hx}/lying-size.bmp', lying)
    past = bytearray(bmp)
    struct.pack_into('<I', past, 10, 0x7FFFFF00)
    write(f'{hx}/offset-past-end.bmp', past)
    bits8 = read(f'{fx}/bits8.bmp')
    struct.pack_into('<I', bits8, 46, 0x7FFFFFFF)  # biClrUsed
    write(f'{hx}/huge-palette.bmp', bits8)

    for name, masks in (('masks-overlap', (0xFF00, 0xFFFF00, 0xFF)), ('masks-gap', (0xF0F000, 0xFF00, 0xFF))):
        write(f'{hx}/{name}.bmp', bit_fields(bmp, masks))

    write(f'{hx}/huge.wmf', metafile(drawing(10), (0, 0, 32000, 32000, 1)))
    write(f'{hx}/no-size.wmf', metafile(drawing(1)))
    good = drawing(10)
    write(f'{hx}/record-size-zero.wmf', metafile(rec(0x041B, 1, 1, 0, 0)[:0] + struct.pack('<IH', 0, 0x041B) + good,
                                                 (0, 0, 640, 480, 960)))
    write(f'{hx}/record-size-huge.wmf', metafile(struct.pack('<IHHHHH', 0x7FFFFFFF, 0x041B, 1, 1, 0, 0) + good,
                                                 (0, 0, 640, 480, 960)))
    write(f'{hx}/record-cut-short.wmf', metafile(good, (0, 0, 640, 480, 960))[:-5])
    dangling = b''.join(rec(0x012D, 3 + n % 50) + rec(0x01F0, 3 + n % 50) for n in range(10000))
    write(f'{hx}/dangling-slots.wmf', metafile(dangling + good, (0, 0, 640, 480, 960)))
    write(f'{hx}/select-65535.wmf', metafile(rec(0x012D, 65535) + good, (0, 0, 640, 480, 960)))
    write(f'{hx}/delete-65535.wmf', metafile(good[:-6] + rec(0x01F0, 65535) + rec(0), (0, 0, 640, 480, 960)))
    lying_dib = struct.pack('<IiiHHIIiiII', 40, 60000, 60000, 1, 32, 0, 0, 0, 0, 0, 0) + b'\0' * 16
    stretch = rec(0x0F43, 0x0020, 0x00CC, 0, 10, 10, 0, 0, 48, 64, 0, 0, raw=lying_dib)
    write(f'{hx}/bitmap-huge.wmf', metafile(stretch + good, (0, 0, 640, 480, 960)))
    write(f'{hx}/only-escape.wmf', metafile(rec(0x0626, 9, 4, raw=b'\0\0\0\0') + rec(0), (0, 0, 640, 480, 960)))


def exif_body(orientation, dst):
    """A bare EXIF body (a TIFF structure) holding only the orientation tag."""
    tiff = b'II' + struct.pack('<HI', 42, 8) + struct.pack('<H', 1)
    tiff += struct.pack('<HHI', 0x0112, 3, 1) + struct.pack('<HH', orientation, 0) + struct.pack('<I', 0)
    write(dst, tiff)


def gif_local_table(src, dst):
    """The global colour table of a one-frame GIF moved into its frame as a local one."""
    data = read(src)
    flags = data[10]
    assert flags & 0x80, 'needs a global colour table'
    table_size = 3 << ((flags & 7) + 1)
    table = data[13:13 + table_size]
    rest = bytearray(data[13 + table_size:])
    at = 0
    while rest[at] == 0x21:  # extensions: label, then sub-blocks up to an empty one
        at += 2
        while rest[at]:
            at += rest[at] + 1
        at += 1
    assert rest[at] == 0x2C
    rest[at + 9] = (rest[at + 9] & 0x40) | 0x80 | (flags & 7)
    head = bytearray(data[:13])
    head[10] = flags & 0x70
    write(dst, bytes(head) + bytes(rest[:at + 10]) + table + bytes(rest[at + 10:]))


def gif_zero_screen(src, dst):
    """A GIF whose logical screen is given as 0 x 0: its first frame's box stands for it."""
    data = bytearray(read(src))
    data[6:10] = b'\0\0\0\0'
    write(dst, bytes(data))


def png_chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF)


def png_exif(src, orientation, dst):
    png = read(src)
    ihdr_end = 8 + 8 + 13 + 4
    tiff = b'MM' + struct.pack('>HI', 42, 8) + struct.pack('>H', 1)
    tiff += struct.pack('>HHI', 0x0112, 3, 1) + struct.pack('>HH', orientation, 0) + struct.pack('>I', 0)
    write(dst, png[:ihdr_end] + png_chunk(b'eXIf', tiff) + png[ihdr_end:])


def png_file(width, height, rows):
    ihdr = struct.pack('>IIBBBBB', width, height, 8, 0, 0, 0, 0)  # 8-bit grey
    return b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', ihdr) + png_chunk(b'IDAT', zlib.compress(rows, 9)) + \
        png_chunk(b'IEND', b'')


def tiff_file(width, height, strip, compression):
    """A one-strip 8-bit grey TIFF whose header says width x height."""
    entries = [(256, 4, width), (257, 4, height), (258, 3, 8), (259, 3, compression), (262, 3, 1),
               (273, 4, 8), (277, 3, 1), (278, 4, height), (279, 4, len(strip))]
    ifd_at = 8 + len(strip) + (len(strip) & 1)
    ifd = struct.pack('<H', len(entries))
    for tag, kind, value in entries:
        ifd += struct.pack('<HHI', tag, kind, 1) + (struct.pack('<HH', value, 0) if kind == 3 else struct.pack('<I', value))
    ifd += struct.pack('<I', 0)
    return b'II' + struct.pack('<HI', 42, ifd_at) + strip + b'\0' * (len(strip) & 1) + ifd


def patch_ispe(data, width, height):
    at = data.find(b'ispe')
    assert at > 0
    struct.pack_into('>II', data, at + 8, width, height)
    return data


def hostile_other(fx, hx):
    # Headers claiming more than 16384 pixels a side.
    write(f'{hx}/huge.png', png_file(65535, 65535, b''))
    write(f'{hx}/huge.tif', tiff_file(65535, 65535, b'', 1))
    webp = read(f'{fx}/lossy.webp')
    vp8 = webp.find(b'VP8 ')
    struct.pack_into('<HH', webp, vp8 + 8 + 6, 16383, 16383)  # 14-bit sizes, scale bits 0
    write(f'{hx}/huge.webp', webp)
    write(f'{hx}/huge.heic', patch_ispe(read(f'{fx}/plain.heic'), 65535, 65535))
    # Bombs: a few hundred kilobytes that inflate to 144 megapixels, past the pixel limit
    # though each side is allowed.
    side = 12000
    zeros = bytes(side * (side + 1))
    write(f'{hx}/bomb.png', png_file(side, side, zeros))
    write(f'{hx}/bomb.tif', tiff_file(side, side, zlib.compress(zeros[:side * side], 9), 8))
    write(f'{hx}/bomb.avif', patch_ispe(read(f'{fx}/plain.avif'), side, side))
    # Lying sizes: the header claims other rows than the data holds.
    rows = bytes((y * 5) & 255 for y in range(48) for _ in range(65))
    write(f'{hx}/lying-size.png', png_file(64, 4800, rows))
    write(f'{hx}/lying-size.tif', tiff_file(64, 4800, rows[:64 * 48], 1))
    webp = read(f'{fx}/lossy.webp')
    struct.pack_into('<HH', webp, vp8 + 8 + 6, 640, 480)
    write(f'{hx}/lying-size.webp', webp)
    write(f'{hx}/lying-size.heic', patch_ispe(read(f'{fx}/plain.heic'), 640, 480))


if __name__ == '__main__':
    cmd = sys.argv[1]
    if cmd == 'pattern':
        pattern(sys.argv[2])
    elif cmd == 'exif':
        exif(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    elif cmd == 'exif-broken':
        exif_broken(sys.argv[2], sys.argv[3])
    elif cmd == 'rle4':
        rle4(sys.argv[2], sys.argv[3])
    elif cmd == 'top-down':
        top_down(sys.argv[2], sys.argv[3])
    elif cmd == 'bit-fields':
        masks = tuple(int(m, 16) for m in sys.argv[4:7])
        write(sys.argv[3], bit_fields(read(sys.argv[2]), masks))
    elif cmd == 'plain16':
        plain16(sys.argv[2], sys.argv[3])
    elif cmd == 'wmf':
        wmf(sys.argv[2])
    elif cmd == 'hostile':
        hostile(sys.argv[2], sys.argv[3])
    elif cmd == 'gif-local-table':
        gif_local_table(sys.argv[2], sys.argv[3])
    elif cmd == 'gif-zero-screen':
        gif_zero_screen(sys.argv[2], sys.argv[3])
    elif cmd == 'exif-body':
        exif_body(int(sys.argv[2]), sys.argv[3])
    elif cmd == 'png-exif':
        png_exif(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    elif cmd == 'hostile-other':
        hostile_other(sys.argv[2], sys.argv[3])
    else:
        sys.exit('unknown command ' + cmd)
