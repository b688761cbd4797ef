"""Writes the picture fixtures of tests/data and checks each one's pixels with
an independent decoder (netpbm's pcxtoppm / ilbmtoppm, or PIL).

Every fixture shows one of a few patterns that the tests compute as well:
  rgb(x, y)   = (x*7 % 256, y*11 % 256, x*y*3 % 256)            true colour
  idx16(x, y) = (x//3 + (y//2)*2 + x*y//13) % 16 with PAL16       16 colours
  idx2(x, y)  = idx16(x, y) % 2, black and white                  2 colours
  idx256(x,y) = (x + y*W) % 256 with PAL256[i] = (i, i*37 % 256, 255 - i)
  grey(x, y)  = (x*7 + y*3) % 256
all W x H = 37 x 23, except the JPEGs (four solid 32 x 24 quarters).
Run through make_fixtures.sh.
"""
import io
import os
import struct
import subprocess
import sys
import zlib

from PIL import Image

W, H = 37, 23
PAL16 = [(0, 0, 0), (255, 255, 255), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0),
         (0, 255, 255), (255, 0, 255), (128, 0, 0), (0, 128, 0), (0, 0, 128), (128, 128, 0),
         (0, 128, 128), (128, 0, 128), (192, 192, 192), (64, 64, 64)]
PAL2 = [(0, 0, 0), (255, 255, 255)]
PAL256 = [(i, i * 37 % 256, 255 - i) for i in range(256)]
JPEG_QUARTERS = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]

OUT = os.path.dirname(os.path.abspath(__file__))
TMP = os.path.join(OUT, ".fixture-tmp")


def rgb(x, y):
    return (x * 7 % 256, y * 11 % 256, x * y * 3 % 256)


def idx16(x, y):
    return (x // 3 + (y // 2) * 2 + x * y // 13) % 16


def idx2(x, y):
    return idx16(x, y) % 2


def idx256(x, y):
    return (x + y * W) % 256


def grey(x, y):
    return (x * 7 + y * 3) % 256


def indexed(fn, pal):
    im = Image.new("P", (W, H))
    flat = []
    for c in pal:
        flat += list(c)
    im.putpalette(flat + [0] * (768 - len(flat)))
    im.putdata([fn(x, y) for y in range(H) for x in range(W)])
    return im


def truecolour():
    im = Image.new("RGB", (W, H))
    im.putdata([rgb(x, y) for y in range(H) for x in range(W)])
    return im


def expected(kind):
    if kind == "rgb":
        return truecolour()
    if kind == "grey":
        im = Image.new("L", (W, H))
        im.putdata([grey(x, y) for y in range(H) for x in range(W)])
        return im.convert("RGB")
    fn, pal = {"16": (idx16, PAL16), "2": (idx2, PAL2), "256": (idx256, PAL256)}[kind]
    return indexed(fn, pal).convert("RGB")


def path(name):
    return os.path.join(OUT, name)


def tmp(name):
    return os.path.join(TMP, name)


def run(cmd, out=None):
    data = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    if out:
        with open(out, "wb") as f:
            f.write(data)
    return data


def check(name, kind, decoded):
    want = expected(kind)
    got = decoded.convert("RGB")
    if got.size != want.size or list(got.getdata()) != list(want.getdata()):
        sys.exit(f"{name}: pixels differ from the {kind} pattern")
    print(f"ok {name} ({os.path.getsize(path(name))} bytes, {kind})")


def check_with(name, kind, tool):
    check(name, kind, Image.open(io.BytesIO(run([tool, path(name)]))))


def netpbm_full_range(cmd):
    """A netpbm decoder's output scaled to 0-255 by pamdepth (rounding)."""
    p = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    q = subprocess.run(["pamdepth", "255"], input=p.stdout, check=True, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL)
    return Image.open(io.BytesIO(q.stdout)).convert("RGB")


def check_pil(name, kind):
    check(name, kind, Image.open(path(name)))


def write(name, data):
    with open(path(name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- encoders

def byterun1(row):
    """Amiga ByteRun1 (PackBits) of one row."""
    out = bytearray()
    i = 0
    while i < len(row):
        j = i
        while j < len(row) and j - i < 128 and row[j] == row[i]:
            j += 1
        if j - i >= 3:
            out += bytes([257 - (j - i), row[i]])
            i = j
            continue
        j = i
        while j < len(row) and j - i < 128 and not (
                j + 2 < len(row) and row[j] == row[j + 1] == row[j + 2]):
            j += 1
        out += bytes([j - i - 1]) + bytes(row[i:j])
        i = j
    return bytes(out)


def pcx_rle(line):
    out = bytearray()
    i = 0
    while i < len(line):
        j = i
        while j < len(line) and j - i < 63 and line[j] == line[i]:
            j += 1
        n = j - i
        if n > 1 or line[i] >= 0xC0:
            out += bytes([0xC0 | n, line[i]])
        else:
            out.append(line[i])
        i = j
    return bytes(out)


def chunk(cid, data):
    return cid + struct.pack(">I", len(data)) + data + (b"\0" if len(data) & 1 else b"")


def bmhd(planes, masking, compression):
    return struct.pack(">HHhhBBBBHBBhh", W, H, 0, 0, planes, masking, compression, 0, 0, 10, 11,
                       W, H)


def cmap(pal):
    return b"".join(bytes(c) for c in pal)


def planar_rows(fn, planes):
    """ILBM plane rows of one picture row each: plane 0 first."""
    row_bytes = (W + 15) // 16 * 2
    rows = []
    for y in range(H):
        line = []
        for p in range(planes):
            bits = bytearray(row_bytes)
            for x in range(W):
                if (fn(x, y) >> p) & 1:
                    bits[x >> 3] |= 0x80 >> (x & 7)
            line.append(bytes(bits))
        rows.append(line)
    return rows


# ---------------------------------------------------------------- fixtures

def make_pcx():
    for kind, im in (("16", indexed(idx16, PAL16)), ("256", indexed(idx256, PAL256)),
                     ("2", indexed(idx2, PAL2)), ("rgb", truecolour())):
        im.convert("RGB").save(tmp(kind + ".ppm"))
    run(["ppmtopcx", tmp("16.ppm")], path("pcx_16_planes.pcx"))  # 1 bit x 4 planes, odd lines
    check_with("pcx_16_planes.pcx", "16", "pcxtoppm")
    run(["ppmtopcx", "-packed", tmp("16.ppm")], path("pcx_16_packed.pcx"))  # 4 bits x 1 plane
    check_with("pcx_16_packed.pcx", "16", "pcxtoppm")
    run(["ppmtopcx", tmp("256.ppm")], path("pcx_256.pcx"))
    check_with("pcx_256.pcx", "256", "pcxtoppm")
    run(["ppmtopcx", tmp("2.ppm")], path("pcx_2.pcx"))
    check_with("pcx_2.pcx", "2", "pcxtoppm")
    run(["ppmtopcx", "-24bit", tmp("rgb.ppm")], path("pcx_24.pcx"))  # 8 bits x 3 planes
    check_with("pcx_24.pcx", "rgb", "pcxtoppm")

    # 16 colours in 4 planes with even (padded) lines, written here: version 2
    # header palette, runs never crossing a plane.
    bpl = 6
    header = bytearray(128)
    header[0:4] = bytes([0x0A, 2, 1, 1])
    header[4:12] = struct.pack("<HHHH", 0, 0, W - 1, H - 1)
    header[12:16] = struct.pack("<HH", 72, 72)
    header[16:64] = cmap(PAL16)
    header[65] = 4
    header[66:70] = struct.pack("<HH", bpl, 1)
    body = bytearray()
    for line in planar_rows(idx16, 4):
        for plane in line:
            body += pcx_rle(plane[:bpl].ljust(bpl, b"\0"))
    write("pcx_16_even.pcx", bytes(header) + bytes(body))
    check_with("pcx_16_even.pcx", "16", "pcxtoppm")


def make_tga():
    rgb_im = truecolour()
    p256 = indexed(idx256, PAL256)
    rgb_im.save(path("tga_24.tga"))
    check_pil("tga_24.tga", "rgb")
    rgb_im.save(path("tga_24_rle_topleft.tga"), compression="tga_rle", orientation=1,
                id_section=b"test picture")
    check_pil("tga_24_rle_topleft.tga", "rgb")
    rgba = rgb_im.convert("RGBA")
    rgba.putalpha(200)
    rgba.save(path("tga_32_rle.tga"), compression="tga_rle")
    check_pil("tga_32_rle.tga", "rgb")
    p256.save(path("tga_8_cmap.tga"))
    check_pil("tga_8_cmap.tga", "256")
    p256.save(path("tga_8_cmap_rle_topleft.tga"), compression="tga_rle", orientation=1)
    check_pil("tga_8_cmap_rle_topleft.tga", "256")
    g = expected("grey").convert("L")
    g.save(path("tga_grey.tga"))
    check_pil("tga_grey.tga", "grey")

    # 16-bit true colour (A1R5G5B5), written here from 5-bit-exact colours.
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, W, H, 16, 0x20 | 1)
    px = bytearray()
    for y in range(H):
        for x in range(W):
            r, gg, b = PAL16[idx16(x, y)]
            v = 0x8000 | ((r >> 3) << 10) | ((gg >> 3) << 5) | (b >> 3)
            px += struct.pack("<H", v)
    write("tga_16.tga", header + bytes(px))
    # Five bits widened to the full range, c * 255 / 31 rounded: 128 -> 16 -> 132
    # (netpbm: maxval 31, then pamdepth).
    got = netpbm_full_range(["tgatoppm", path("tga_16.tga")])
    wide = lambda c: ((c >> 3) * 255 + 15) // 31
    want = [tuple(wide(c) for c in PAL16[idx16(x, y)]) for y in range(H) for x in range(W)]
    if list(got.getdata()) != want:
        sys.exit("tga_16.tga: pixels differ")
    print("ok tga_16.tga")


def make_iff():
    indexed(idx16, PAL16).convert("RGB").save(tmp("16.ppm"))
    indexed(idx256, PAL256).convert("RGB").save(tmp("256.ppm"))
    indexed(idx2, PAL2).convert("RGB").save(tmp("2.ppm"))
    truecolour().save(tmp("rgb.ppm"))
    # Colour maps in palette order, so that the files keep our indices.
    for name, pal in (("map16.ppm", PAL16), ("map256.ppm", PAL256), ("map2.ppm", PAL2)):
        im = Image.new("RGB", (len(pal), 1))
        im.putdata(pal)
        im.save(tmp(name))
    run(["ppmtoilbm", "-map", tmp("map16.ppm"), tmp("16.ppm")], path("ilbm_4planes.iff"))
    check_with("ilbm_4planes.iff", "16", "ilbmtoppm")
    run(["ppmtoilbm", "-aga", "-map", tmp("map256.ppm"), tmp("256.ppm")], path("ilbm_8planes.lbm"))
    check_with("ilbm_8planes.lbm", "256", "ilbmtoppm")
    run(["ppmtoilbm", "-map", tmp("map2.ppm"), tmp("2.ppm")], path("ilbm_1plane.iff"))
    check_with("ilbm_1plane.iff", "2", "ilbmtoppm")
    run(["ppmtoilbm", "-24force", tmp("rgb.ppm")], path("ilbm_24.iff"))
    check_with("ilbm_24.iff", "rgb", "ilbmtoppm")
    run(["ppmtoilbm", "-nocompress", "-map", tmp("map16.ppm"), tmp("16.ppm")],
        path("ilbm_uncompressed.iff"))
    check_with("ilbm_uncompressed.iff", "16", "ilbmtoppm")
    run(["ppmtoilbm", "-hamforce", tmp("16.ppm")], path("ilbm_ham.iff"))
    # HAM is not exact in general; its reference is ffmpeg's decoding, which
    # sets a modified channel to its 4-bit value widened (v x 17) as an Amiga
    # shows it. netpbm keeps the previous colour's low four bits instead
    # (0xFF modified to 0 gives 0x0F): the two must agree on the high bits.
    ham = decoded_rgb("ilbm_ham.iff", "ffmpeg")
    netpbm = list(Image.open(io.BytesIO(run(["ilbmtoppm", path("ilbm_ham.iff")]))).getdata())
    if any(a >> 4 != b >> 4 or a % 17 for p, q in zip(ham, netpbm) for a, b in zip(p, q)):
        sys.exit("ilbm_ham.iff: ffmpeg and netpbm disagree beyond the low bits")
    im = Image.new("RGB", (W, H))
    im.putdata(ham)
    im.save(path("ilbm_ham_ref.png"))
    print("ok ilbm_ham.iff (reference ilbm_ham_ref.png, ffmpeg)")
    make_ham_codes()

    # 4 planes plus a mask plane, an odd-length chunk before the BODY.
    body = b""
    for line in planar_rows(idx16, 4):
        for plane in line:
            body += byterun1(plane)
        body += byterun1(b"\xff" * len(line[0]))  # mask plane: all opaque
    form = b"ILBM" + chunk(b"BMHD", bmhd(4, 1, 1)) + chunk(b"ANNO", b"odd text") + \
        chunk(b"CMAP", cmap(PAL16)) + chunk(b"AUTH", b"abc") + chunk(b"BODY", body)
    write("ilbm_mask_oddchunk.iff", b"FORM" + struct.pack(">I", len(form)) + form)
    check_with("ilbm_mask_oddchunk.iff", "16", "ilbmtoppm")

    # Deluxe Paint chunky 8-bit, odd width so rows are padded to even (as
    # Deluxe Paint does; netpbm reads only unpadded rows, ffmpeg both).
    for name, pad, tool in (("pbm_deluxe.lbm", b"\0", "ffmpeg"),
                            ("pbm_unpadded.lbm", b"", "ilbmtoppm")):
        rows = b""
        for y in range(H):
            rows += byterun1(bytes(idx256(x, y) for x in range(W)) + pad)
        form = b"PBM " + chunk(b"BMHD", bmhd(8, 0, 1)) + chunk(b"CMAP", cmap(PAL256)) + \
            chunk(b"DPPS", b"\1\2\3") + chunk(b"BODY", rows)
        write(name, b"FORM" + struct.pack(">I", len(form)) + form)
        if tool == "ffmpeg":
            ppm = run(["ffmpeg", "-v", "error", "-i", path(name), "-f", "image2pipe", "-vcodec",
                       "ppm", "-"])
            check(name, "256", Image.open(io.BytesIO(ppm)))
        else:
            check_with(name, "256", tool)


def ham_widen(v, bits):
    """A HAM channel value as an Amiga shows it: its bits repeated to 8."""
    return (v << (8 - bits)) | (v >> (2 * bits - 8))


def make_ham_codes():
    """HAM6 and HAM8 pictures of every kind of code, written here: the first
    pixels set white and then each channel to 0 (black on an Amiga; 0x0F or
    0x03 where the previous low bits were kept), the rest a mix of codes. The
    reference follows the hardware's rule and must equal ffmpeg's reading."""
    for planes, name in ((6, "ilbm_ham6_codes.iff"), (8, "ilbm_ham8_codes.iff")):
        bits = planes - 2
        count = 1 << bits
        if planes == 6:  # the 4-bit colours of the original chip set
            pal = [tuple(c >> 4 << 4 | c >> 4 for c in PAL16[i]) for i in range(16)]
        else:
            pal = PAL256[:count]
        pal[1] = (255, 255, 255)

        def code(x, y):
            start = [1, 1 << bits, 2 << bits, 3 << bits, 1, (2 << bits) | (count - 1)]
            if y == 0 and x < len(start):
                return start[x]
            return (x * 7 + y * 13 + x * y * 5) % (count * 4)

        pixels = []
        for y in range(H):
            c = pal[0]
            for x in range(W):
                k, v = code(x, y) >> bits, code(x, y) & (count - 1)
                if k == 0:
                    c = pal[v]
                elif k == 1:
                    c = (c[0], c[1], ham_widen(v, bits))
                elif k == 2:
                    c = (ham_widen(v, bits), c[1], c[2])
                else:
                    c = (c[0], ham_widen(v, bits), c[2])
                pixels.append(c)
        body = b"".join(byterun1(plane) for line in planar_rows(code, planes) for plane in line)
        form = b"ILBM" + chunk(b"BMHD", bmhd(planes, 0, 1)) + chunk(b"CMAP", cmap(pal)) + \
            chunk(b"CAMG", struct.pack(">I", 0x800)) + chunk(b"BODY", body)
        write(name, b"FORM" + struct.pack(">I", len(form)) + form)
        if pixels[1] != (255, 255, 0) or pixels[3] != (0, 0, 0):
            sys.exit(f"{name}: the first codes do not make black from white")
        check_ref(name, pixels, "ffmpeg")


def bmp_file(info, table, pixels):
    offset = 14 + len(info) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + table + pixels


def make_bmp():
    p16 = indexed(idx16, PAL16)
    p256 = indexed(idx256, PAL256)
    truecolour().save(path("bmp_24.bmp"))
    check_pil("bmp_24.bmp", "rgb")
    p256.save(path("bmp_8.bmp"))
    check_pil("bmp_8.bmp", "256")
    indexed(idx2, PAL2).convert("1", dither=Image.Dither.NONE).save(path("bmp_1.bmp"))
    check_pil("bmp_1.bmp", "2")
    # 1-bit with white first in the file: indices must stay the file's.
    table = bytes([255, 255, 255, 0, 0, 0, 0, 0])
    row_bytes = (W + 31) // 32 * 4
    px = bytearray()
    for y in reversed(range(H)):
        row = bytearray(row_bytes)
        for x in range(W):
            if idx2(x, y) == 0:  # index 1 (black) where the pattern has black
                row[x >> 3] |= 0x80 >> (x & 7)
        px += row
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 1, 0, len(px), 2835, 2835, 2, 2)
    write("bmp_1_white_first.bmp", bmp_file(info, table, bytes(px)))
    check_pil("bmp_1_white_first.bmp", "2")

    # 4-bit uncompressed, written here.
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in PAL16)
    row_bytes = (W * 4 + 31) // 32 * 4
    px = bytearray()
    for y in reversed(range(H)):
        row = bytearray(row_bytes)
        for x in range(W):
            row[x >> 1] |= idx16(x, y) << (0 if x & 1 else 4)
        px += row
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 0, len(px), 2835, 2835, 16, 16)
    write("bmp_4.bmp", bmp_file(info, table, bytes(px)))
    check_pil("bmp_4.bmp", "16")

    # RLE8 by ImageMagick (it reads ".rle" as another format: write, rename).
    p256.convert("RGB").save(tmp("256.png"))
    subprocess.run(["convert", tmp("256.png"), "-type", "Palette", "-compress", "RLE", "BMP3:" + tmp("rle8.bmp")],
                   check=True)
    os.replace(tmp("rle8.bmp"), path("bmp_rle8.rle"))
    with open(path("bmp_rle8.rle"), "rb") as f:
        if struct.unpack("<I", f.read(34)[30:34])[0] != 1:
            sys.exit("bmp_rle8.rle is not RLE8 compressed")
    check_pil("bmp_rle8.rle", "256")

    # RLE4, written here: the first four pixels of a row in absolute mode, the
    # rest in runs of one colour.
    px = bytearray()
    for y in reversed(range(H)):
        vals = [idx16(x, y) for x in range(W)]
        px += bytes([0, 4, (vals[0] << 4) | vals[1], (vals[2] << 4) | vals[3]])
        x = 4
        while x < W:
            n = 1
            while x + n < W and vals[x + n] == vals[x] and n < 255:
                n += 1
            px += bytes([n, (vals[x] << 4) | vals[x]])
            x += n
        px += b"\0\0"
    px += b"\0\1"
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 2, len(px), 2835, 2835, 16, 16)
    write("bmp_rle4.rle", bmp_file(info, table, bytes(px)))
    check_pil("bmp_rle4.rle", "16")

    # DIB: one with the file header under .dib, one without it (packed).
    truecolour().save(tmp("dib.bmp"))
    with open(tmp("dib.bmp"), "rb") as f:
        whole = f.read()
    write("dib_24.dib", whole)
    check_pil("dib_24.dib", "rgb")
    p16.save(tmp("dib8.bmp"))
    with open(tmp("dib8.bmp"), "rb") as f:
        write("dib_packed_8.dib", f.read()[14:])
    with open(path("dib_packed_8.dib"), "rb") as f:
        packed = f.read()
    info_size, bits, used = struct.unpack("<I", packed[:4])[0], packed[14], \
        struct.unpack("<I", packed[32:36])[0]
    offset = 14 + info_size + 4 * (used or 1 << bits)
    check("dib_packed_8.dib", "16", Image.open(io.BytesIO(
        b"BM" + struct.pack("<IHHI", 14 + len(packed), 0, 0, offset) + packed)))


def make_qt_others():
    p16 = indexed(idx16, PAL16)
    p256 = indexed(idx256, PAL256)
    p256.save(path("gif_256.gif"))
    check_pil("gif_256.gif", "256")
    p16.save(path("gif_16.gif"))
    check_pil("gif_16.gif", "16")
    truecolour().save(path("png_24.png"))
    check_pil("png_24.png", "rgb")
    p256.save(path("png_8.png"))
    check_pil("png_8.png", "256")
    indexed(idx2, PAL2).convert("1", dither=Image.Dither.NONE).save(path("png_1.png"))
    check_pil("png_1.png", "2")
    expected("grey").convert("L").save(path("png_grey.png"))
    check_pil("png_grey.png", "grey")
    truecolour().save(path("tiff_24.tif"))
    check_pil("tiff_24.tif", "rgb")
    p256.save(path("tiff_8.tif"))
    check_pil("tiff_8.tif", "256")
    im = Image.new("RGB", (64, 48))
    for i, c in enumerate(JPEG_QUARTERS):
        im.paste(c, ((i % 2) * 32, (i // 2) * 24, (i % 2) * 32 + 32, (i // 2) * 24 + 24))
    im.save(path("jpeg_quarters.jpg"), quality=95)
    im.save(path("jpeg_quarters.jif"), format="JPEG", quality=95)
    for name in ("jpeg_quarters.jpg", "jpeg_quarters.jif"):
        got = Image.open(path(name)).convert("RGB")
        for i, c in enumerate(JPEG_QUARTERS):
            p = got.getpixel(((i % 2) * 32 + 16, (i // 2) * 24 + 12))
            if max(abs(a - b) for a, b in zip(p, c)) > 8:
                sys.exit(f"{name}: quarter {i} is {p}")
        print(f"ok {name}")


# ------------------------------------------------ files other software writes
# Each of these has a reference picture <name>.ref.png beside it: what the
# file shows, computed here from the pattern, and compared with an
# independent decoder's reading of the file.

def full(v, bits):
    """A field of `bits` bits widened to 0-255: v * 255 / max, rounded."""
    top = (1 << bits) - 1
    return (v * 255 + top // 2) // top if top else 0


def write_ref(name, pixels, size=(W, H)):
    im = Image.new("RGB", size)
    im.putdata(pixels)
    im.save(path(name + ".ref.png"))


def decoded_rgb(name, tool):
    if tool == "pil":
        return list(Image.open(path(name)).convert("RGB").getdata())
    if tool == "magick":
        im = Image.open(io.BytesIO(run(["convert", path(name), "-auto-orient", "png:-"])))
        return list(im.convert("RGB").getdata())
    if tool == "ffmpeg":
        png = run(["ffmpeg", "-v", "error", "-i", path(name), "-f", "image2pipe", "-vcodec", "png",
                   "-pix_fmt", "rgb24", "-"])
        return list(Image.open(io.BytesIO(png)).convert("RGB").getdata())
    if tool == "netpbm-bmp":
        return list(netpbm_full_range(["bmptopnm", path(name)]).getdata())
    if tool == "netpbm-tiff":
        return list(netpbm_full_range(["tifftopnm", path(name)]).getdata())
    if tool == "tiff2rgba":  # libtiff's own reading, rewritten as a plain RGBA TIFF
        subprocess.run(["tiff2rgba", "-c", "none", path(name), tmp("rgba.tif")], check=True)
        return list(Image.open(tmp("rgba.tif")).convert("RGB").getdata())
    sys.exit(f"unknown tool {tool}")


def check_ref(name, pixels, tool, tolerance=0, size=(W, H), fields=None):
    """Writes the reference and checks the tool's reading of the file against
    it: equal within tolerance, or (fields = bits per channel) the same field
    values when the tool shifts fields instead of widening them."""
    write_ref(name, pixels, size)
    got = decoded_rgb(name, tool)
    if len(got) != len(pixels):
        sys.exit(f"{name}: {tool} reads {len(got)} pixels, not {len(pixels)}")
    for i, (a, b) in enumerate(zip(got, pixels)):
        if fields:
            same = all(x >> (8 - n) == round(y * ((1 << n) - 1) / 255) if n else True
                       for x, y, n in zip(a, b, fields))
        else:
            same = max(abs(x - y) for x, y in zip(a, b)) <= tolerance
        if not same:
            sys.exit(f"{name}: pixel {i} is {a} by {tool}, reference {b}")
    print(f"ok {name} ({os.path.getsize(path(name))} bytes, {tool})")



def raw_png(colour_type, depth, rows):
    """A PNG of W x H from its unfiltered rows, as no image tool here writes it."""
    def chunk(cid, data):
        return struct.pack(">I", len(data)) + cid + data + struct.pack(">I", zlib.crc32(cid + data))
    ihdr = struct.pack(">IIBBBBB", W, H, depth, colour_type, 0, 0, 0)
    idat = zlib.compress(b"".join(b"\0" + r for r in rows))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat) + chunk(b"IEND", b"")

def bitfield_bmp(name, masks, bits, header, alpha_mask=0, palette=0):
    """The rgb pattern in bit fields; returns the reference pixels."""
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    widths = [bin(m).count("1") for m in masks]
    row_bytes = (W * bits + 31) // 32 * 4
    px = bytearray()
    ref = [None] * (W * H)
    for y in reversed(range(H)):
        row = bytearray()
        for x in range(W):
            c = rgb(x, y)
            fields = [c[i] >> (8 - widths[i]) if widths[i] <= 8 else
                      (c[i] << (widths[i] - 8)) | (c[i] >> (16 - widths[i])) for i in range(3)]
            v = sum(f << s for f, s in zip(fields, shifts)) | alpha_mask
            row += v.to_bytes(bits // 8, "little")
            ref[y * W + x] = tuple(full(f, n) for f, n in zip(fields, widths))
        px += row.ljust(row_bytes, b"\0")
    compression = 6 if alpha_mask and header == 40 else 3
    if header == 40:
        info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, bits, compression, len(px), 2835, 2835,
                           palette, 0) + struct.pack("<III", *masks)
        if compression == 6:
            info += struct.pack("<I", alpha_mask)
    else:
        info = struct.pack("<IiiHHIIiiII", header, W, H, 1, bits, compression, len(px), 2835, 2835,
                           palette, 0) + struct.pack("<III", *masks)
        if header >= 56:
            info += struct.pack("<I", alpha_mask)
        if header >= 108:
            info += struct.pack("<I", 0x73524742) + b"\0" * 36 + b"\0" * 12
        if header >= 124:
            info += struct.pack("<IIII", 4, 0, 0, 0)
        assert len(info) == header, (name, len(info))
    table = b"".join(bytes((i * 16, 255 - i * 16, i * 8, 0)) for i in range(palette))
    write(name, bmp_file(info, table, bytes(px)))
    return ref, widths


def make_real_world_bmp():
    for name, masks, bits, header, alpha, palette, tool in (
            ("bmp_16_555.bmp", (0x7C00, 0x03E0, 0x001F), 16, 40, 0, 0, "magick"),
            ("bmp_16_565_v5.bmp", (0xF800, 0x07E0, 0x001F), 16, 124, 0, 0, "magick"),
            ("bmp_16_555_v4_palette.bmp", (0x7C00, 0x03E0, 0x001F), 16, 108, 0, 16, "magick"),
            ("bmp_16_231.bmp", (0x30, 0x0E, 0x01), 16, 40, 0, 0, "magick"),
            ("bmp_16_444_52.bmp", (0x0F00, 0x00F0, 0x000F), 16, 52, 0, 0, "magick"),
            ("bmp_32_56_alpha.bmp", (0xFF0000, 0xFF00, 0xFF), 32, 56, 0xFF000000, 0, "ffmpeg"),
            ("bmp_32_101010.bmp", (0x3FF00000, 0x000FFC00, 0x000003FF), 32, 124, 0xC0000000, 0,
             "magick")):
        ref, widths = bitfield_bmp(name, masks, bits, header, alpha, palette)
        if max(widths) > 8:
            check_ref(name, ref, tool, tolerance=1)  # it truncates 10 bits to 8
        else:
            # ImageMagick shifts fields into 8 bits rather than widening them.
            check_ref(name, ref, tool, fields=widths)

    # 2 bits per pixel, four colours.
    pal4 = [(10, 20, 30), (200, 100, 50), (0, 255, 128), (255, 255, 255)]
    row_bytes = (W * 2 + 31) // 32 * 4
    px = bytearray()
    for y in reversed(range(H)):
        row = bytearray(row_bytes)
        for x in range(W):
            row[x >> 2] |= (idx16(x, y) % 4) << (6 - 2 * (x & 3))
        px += row
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 2, 0, len(px), 2835, 2835, 4, 4)
    write("bmp_2.bmp", bmp_file(info, b"".join(bytes((b, g, r, 0)) for r, g, b in pal4), px))
    check_ref("bmp_2.bmp", [pal4[idx16(x, y) % 4] for y in range(H) for x in range(W)],
              "netpbm-bmp")

    # OS/2 1.x header, 8 bits, but only a 16-entry table before the pixels
    # (the offset says so); and a Windows 8-bit file whose indices go past
    # its 16 stored entries, which show black.
    table3 = b"".join(bytes((b, g, r)) for r, g, b in PAL16)
    row_bytes = (W + 3) // 4 * 4
    px = b"".join(bytes(idx16(x, y) for x in range(W)).ljust(row_bytes, b"\0")
                  for y in reversed(range(H)))
    info = struct.pack("<IHHHH", 12, W, H, 1, 8)
    write("bmp_os2_short_palette.bmp", bmp_file(info, table3, px))
    check_ref("bmp_os2_short_palette.bmp", [PAL16[idx16(x, y)] for y in range(H) for x in range(W)],
              "pil")
    table4 = b"".join(bytes((b, g, r, 0)) for r, g, b in PAL16)
    px = b"".join(bytes(idx256(x, y) % 32 for x in range(W)).ljust(row_bytes, b"\0")
                  for y in reversed(range(H)))
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, len(px), 2835, 2835, 16, 16)
    write("bmp_8_indices_past_palette.bmp", bmp_file(info, table4, px))
    ref = [PAL16[i] if i < 16 else (0, 0, 0)
           for i in (idx256(x, y) % 32 for y in range(H) for x in range(W))]
    check_ref("bmp_8_indices_past_palette.bmp", ref, "ffmpeg")

    # RLE8 without end-of-line markers: row after row of runs, then the end.
    px = bytearray()
    for y in reversed(range(H)):
        vals = [idx16(x, y) for x in range(W)]
        x = 0
        while x < W:
            n = 1
            while x + n < W and vals[x + n] == vals[x]:
                n += 1
            px += bytes([n, vals[x]])
            x += n
    px += b"\0\1"
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in PAL16)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 1, len(px), 2835, 2835, 16, 16)
    write("bmp_rle8_no_eol.rle", bmp_file(info, table, bytes(px)))
    os.replace(path("bmp_rle8_no_eol.rle"), tmp("noeol.bmp"))
    with open(tmp("noeol.bmp"), "rb") as f:
        data = f.read()
    write("bmp_rle8_no_eol.rle", data)
    write_ref("bmp_rle8_no_eol.rle", [PAL16[idx16(x, y)] for y in range(H) for x in range(W)])
    got = Image.open(io.BytesIO(run(["convert", tmp("noeol.bmp"), "png:-"]))).convert("RGB")
    if list(got.getdata()) != [PAL16[idx16(x, y)] for y in range(H) for x in range(W)]:
        sys.exit("bmp_rle8_no_eol.rle: ImageMagick reads other pixels")
    print("ok bmp_rle8_no_eol.rle (magick)")


def make_real_world_others():
    # TGA: 16-bit grey with alpha (PIL writes LA as such).
    g = Image.new("L", (W, H))
    g.putdata([grey(x, y) for y in range(H) for x in range(W)])
    la = Image.merge("LA", (g, Image.new("L", (W, H), 0)))
    la.save(path("tga_grey_alpha.tga"))
    check_ref("tga_grey_alpha.tga", [(v, v, v) for v in g.getdata()], "pil")

    # PCX, one bit: header tables of other colours (stale entries; CGA mode
    # bytes) are not used, every reader shows black and white.
    for name, version, table in (("pcx_1_stale_palette.pcx", 5, bytes([0, 0, 0, 170, 170, 255])),
                                 ("pcx_1_cga_header.pcx", 5, bytes([0x4F, 0, 0, 0xE0, 0, 0]))):
        bpl = (W + 15) // 16 * 2
        header = bytearray(128)
        header[0:4] = bytes([0x0A, version, 1, 1])
        header[4:12] = struct.pack("<HHHH", 0, 0, W - 1, H - 1)
        header[16:16 + len(table)] = table
        header[65] = 1
        header[66:70] = struct.pack("<HH", bpl, 1)
        body = bytearray()
        for y in range(H):
            line = bytearray(bpl)
            for x in range(W):
                if idx2(x, y):
                    line[x >> 3] |= 0x80 >> (x & 7)
            body += pcx_rle(bytes(line))
        write(name, bytes(header) + bytes(body))
        check_ref(name, [PAL2[idx2(x, y)] for y in range(H) for x in range(W)], "pil")

    # TIFF: 16-bit RGB deflate, planar LZW; RGBA with transparent white;
    # orientation 6 (the picture turned to be shown upright).
    truecolour().save(tmp("rgb.png"))
    run(["convert", tmp("rgb.png"), "-depth", "16", "-compress", "zip",
         "tiff:" + path("tiff_16_deflate.tif")])
    run(["convert", tmp("rgb.png"), "-depth", "16", "-interlace", "plane", "-compress", "lzw",
         "tiff:" + path("tiff_16_planar_lzw.tif")])
    for name in ("tiff_16_deflate.tif", "tiff_16_planar_lzw.tif"):
        check_ref(name, list(truecolour().getdata()), "netpbm-tiff")
    rgba = truecolour().convert("RGBA")
    rgba.putdata([(255, 255, 255, 0) if (x + y) % 3 == 0 else c + (255,)
                  for (x, y), c in zip(((x, y) for y in range(H) for x in range(W)),
                                       truecolour().getdata())])
    rgba.save(path("tiff_rgba.tif"))
    check_ref("tiff_rgba.tif", [c[:3] for c in rgba.getdata()], "pil")
    grey_t = Image.new("L", (W, H))
    grey_t.putdata([255 if (x + y) % 3 == 0 else grey(x, y) for y in range(H) for x in range(W)])
    grey_t.save(path("png_grey_transparent.png"), transparency=255)
    check_ref("png_grey_transparent.png", [(v, v, v) for v in grey_t.getdata()], "pil")

    # PNG: 16-bit RGBA with transparent white (the stored colour is shown),
    # 16-bit grey with alpha, 2-bit grey, 2-bit palette, Adam7 interlacing.
    rgba.save(tmp("rgba.png"))
    run(["convert", tmp("rgba.png"), "-depth", "16", "png64:" + path("png_rgba_16.png")])
    check_ref("png_rgba_16.png", [c[:3] for c in rgba.getdata()], "magick")
    # Written by hand: the image tools here store these at 8 bits.
    write("png_grey_alpha_16.png", raw_png(4, 16, [
        b"".join(struct.pack(">HH", grey_t.getpixel((x, y)) * 257, 0x8000) for x in range(W))
        for y in range(H)]))
    check_ref("png_grey_alpha_16.png", [(v, v, v) for v in grey_t.getdata()], "magick")
    levels = [[grey(x, y) >> 6 for x in range(W)] for y in range(H)]
    write("png_grey_2.png", raw_png(0, 2, [
        bytes(sum(row[x + i] << (6 - 2 * i) for i in range(4) if x + i < W)
              for x in range(0, W, 4)) for row in levels]))
    check_ref("png_grey_2.png", [(v * 85,) * 3 for row in levels for v in row], "pil")
    pal4 = PAL16[2:6]
    p4 = Image.new("P", (W, H))
    p4.putpalette([c for rgb in pal4 for c in rgb])
    p4.putdata([idx16(x, y) % 4 for y in range(H) for x in range(W)])
    p4.save(path("png_palette_2.png"), bits=2)
    check_ref("png_palette_2.png", [pal4[idx16(x, y) % 4] for y in range(H) for x in range(W)],
              "magick")
    run(["convert", tmp("rgb.png"), "-interlace", "PNG", "png24:" + path("png_interlaced.png")])
    check_ref("png_interlaced.png", list(truecolour().getdata()), "pil")

    # Orientation 6: stored turned a quarter to the left, shown upright.
    upright = truecolour()
    stored = upright.transpose(Image.Transpose.ROTATE_90)
    stored.save(path("tiff_orientation_6.tif"), tiffinfo={274: 6})
    check_ref("tiff_orientation_6.tif", list(upright.getdata()), "magick")
    quarters = Image.new("RGB", (64, 48))
    for i, c in enumerate(JPEG_QUARTERS):
        quarters.paste(c, ((i % 2) * 32, (i // 2) * 24, (i % 2) * 32 + 32, (i // 2) * 24 + 24))
    exif = Image.Exif()
    exif[0x0112] = 6
    quarters.transpose(Image.Transpose.ROTATE_90).save(path("jpeg_orientation_6.jpg"), quality=95,
                                                       exif=exif.tobytes())
    # JPEG blurs the edges between the quarters: their centres are compared.
    got = decoded_rgb("jpeg_orientation_6.jpg", "magick")
    if len(got) != 64 * 48:
        sys.exit("jpeg_orientation_6.jpg: not shown upright by ImageMagick")
    for i, c in enumerate(JPEG_QUARTERS):
        p = got[((i // 2) * 24 + 12) * 64 + (i % 2) * 32 + 16]
        if max(abs(a - b) for a, b in zip(p, c)) > 8:
            sys.exit(f"jpeg_orientation_6.jpg: quarter {i} is {p}")
    print("ok jpeg_orientation_6.jpg (magick)")

    # An honest, highly compressible picture: one colour, 2000 x 2000.
    Image.new("RGB", (2000, 2000), (12, 34, 56)).save(path("png_one_colour_2000.png"),
                                                      compress_level=9)
    print(f"ok png_one_colour_2000.png ({os.path.getsize(path('png_one_colour_2000.png'))} bytes)")


def check_tool(name, kind, tool):
    """The pattern, exactly, as an independent decoder reads the file."""
    if decoded_rgb(name, tool) != list(expected(kind).getdata()):
        sys.exit(f"{name}: {tool} reads other pixels than the {kind} pattern")
    print(f"ok {name} ({os.path.getsize(path(name))} bytes, {kind}, {tool})")


def make_tiff_layouts():
    """BigTIFF and tiled TIFF, as libtiff's tiffcp rewrites the TIFFs PIL
    wrote: -8 BigTIFF, -L/-B byte order, -t -w -l tiles, -c compression."""
    tile = ["-t", "-w", "16", "-l", "16"]
    for name, source, options, kind in (
            ("tiff_bigtiff_le_strips.tif", "tiff_24.tif", ["-8", "-L"], "rgb"),
            ("tiff_bigtiff_be_strips.tif", "tiff_8.tif", ["-8", "-B"], "256"),
            ("tiff_bigtiff_le_tiles.tif", "tiff_24.tif", ["-8", "-L"] + tile, "rgb"),
            ("tiff_bigtiff_be_tiles.tif", "tiff_8.tif", ["-8", "-B"] + tile, "256")):
        subprocess.run(["tiffcp", "-c", "none"] + options + [path(source), path(name)],
                       check=True)
        with open(path(name), "rb") as f:
            if f.read(4) not in (b"II+\0", b"MM\0+"):
                sys.exit(f"{name} is not a BigTIFF")
        # PIL 9.4 reads no big-endian BigTIFF; ImageMagick rounds PIL's
        # colour map (v x 256) down to v - 1, libtiff does not.
        check_tool(name, kind, "tiff2rgba" if kind == "256" else "magick")

    # Tiles whose data is not smaller than the picture: uncompressed RGB and
    # one bit per pixel; JPEG tiles of a larger picture of coloured blocks.
    indexed(idx2, PAL2).convert("1", dither=Image.Dither.NONE).save(tmp("2.tif"))
    subprocess.run(["tiffcp", "-c", "none"] + tile + [path("tiff_24.tif"),
                    path("tiff_tiled_rgb.tif")], check=True)
    check_tool("tiff_tiled_rgb.tif", "rgb", "pil")
    subprocess.run(["tiffcp", "-c", "none"] + tile + [tmp("2.tif"), path("tiff_tiled_1.tif")],
                   check=True)
    check_tool("tiff_tiled_1.tif", "2", "pil")
    blocks = Image.new("RGB", (256, 192))
    for by in range(6):
        for bx in range(8):
            blocks.paste(PAL16[(bx + by * 3) % 8], (bx * 32, by * 32, bx * 32 + 32, by * 32 + 32))
    blocks.save(tmp("blocks.tif"))
    subprocess.run(["tiffcp", "-c", "jpeg"] + tile + [tmp("blocks.tif"),
                    path("tiff_tiled_jpeg.tif")], check=True)
    # JPEG is not exact: the reference is ImageMagick's reading, which must
    # show the blocks' colours at their centres.
    shown = decoded_rgb("tiff_tiled_jpeg.tif", "magick")
    for by in range(6):
        for bx in range(8):
            got = shown[(by * 32 + 16) * 256 + bx * 32 + 16]
            want = PAL16[(bx + by * 3) % 8]
            if max(abs(a - b) for a, b in zip(got, want)) > 8:
                sys.exit(f"tiff_tiled_jpeg.tif: block {bx},{by} is {got}")
    write_ref("tiff_tiled_jpeg.tif", shown, (256, 192))
    print("ok tiff_tiled_jpeg.tif (reference by magick)")


def make_refused():
    """Files that must be refused, in regressions/, named after the fault."""
    reg = os.path.join(OUT, "regressions")
    def put(name, data):
        with open(os.path.join(reg, name), "wb") as f:
            f.write(data)
    # 26 bytes claiming 11390 x 12595.
    put("gif-26-bytes-claim-huge-picture.gif",
        b"GIF89a" + struct.pack("<HHBBB", 11390, 12595, 0, 0, 0) +
        b"\x2c" + struct.pack("<HHHHB", 0, 0, 11390, 12595, 0) + b"\x02\x01\x44\x00\x3b")
    # RLE8 of a few hundred bytes claiming 16384 x 16384.
    px = (bytes([255, 1]) * 400) + b"\0\1"
    info = struct.pack("<IiiHHIIiiII", 40, 16384, 16384, 1, 8, 1, len(px), 0, 0, 2, 2)
    put("bmp-rle-claims-huge-picture.rle", bmp_file(info, b"\0\0\0\0\xff\xff\xff\0", px))
    # PNG: a tiny deflate stream claiming 16000 x 16000.
    import zlib
    def png_chunk(cid, data):
        return struct.pack(">I", len(data)) + cid + data + \
            struct.pack(">I", zlib.crc32(cid + data) & 0xFFFFFFFF)
    idat = zlib.compress(b"\0" * 100000, 9)
    put("png-deflate-claims-huge-picture.png",
        b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 16000, 16000, 8, 2, 0, 0, 0))
        + png_chunk(b"IDAT", idat) + png_chunk(b"IEND", b""))
    # JPEG cut inside and right after its start-of-scan header.
    with open(path("jpeg_quarters.jpg"), "rb") as f:
        jpeg = f.read()
    sos = jpeg.index(b"\xff\xda")
    put("jpeg-cut-inside-sos-header.jpg", jpeg[:sos + 6])
    length = struct.unpack(">H", jpeg[sos + 2:sos + 4])[0]
    put("jpeg-cut-after-sos-header.jpg", jpeg[:sos + 2 + length])
    # 57 bytes whose text chunk claims a gigabyte.
    put("png-text-chunk-claims-1-gib.png",
        b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0))
        + struct.pack(">I", 1 << 30) + b"tEXt" + b"Comment\0hello!!!")
    # 8 bits, 6 colours stored, but a colours-used field of 0xFF000006.
    table = b"".join(bytes((i * 40, 255 - i * 40, i, 0)) for i in range(6))
    px = bytes(i % 6 for i in range(16))
    info = struct.pack("<IiiHHIIiiII", 40, 4, 4, 1, 8, 0, len(px), 0, 0, 0xFF000006, 6)
    put("bmp-colours-used-beyond-file.bmp", bmp_file(info, table, px))
    for name in ("png-text-chunk-claims-1-gib.png", "bmp-colours-used-beyond-file.bmp"):
        try:
            Image.open(os.path.join(reg, name)).load()
            sys.exit(f"{name}: PIL reads it")
        except (OSError, SyntaxError, ValueError):
            pass
    print("ok regressions")


def main():
    os.makedirs(TMP, exist_ok=True)
    try:
        make_pcx()
        make_tga()
        make_iff()
        make_bmp()
        make_qt_others()
        make_tiff_layouts()
        make_real_world_bmp()
        make_real_world_others()
        make_refused()
    finally:
        for f in os.listdir(TMP):
            os.remove(os.path.join(TMP, f))
        os.rmdir(TMP)


if __name__ == "__main__":
    main()
