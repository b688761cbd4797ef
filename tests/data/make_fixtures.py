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
    # HAM is not exact in general; its reference is netpbm's own decoding.
    Image.open(io.BytesIO(run(["ilbmtoppm", path("ilbm_ham.iff")]))).save(path("ilbm_ham_ref.png"))
    print("ok ilbm_ham.iff (reference ilbm_ham_ref.png)")

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


def main():
    os.makedirs(TMP, exist_ok=True)
    try:
        make_pcx()
        make_tga()
        make_iff()
        make_bmp()
        make_qt_others()
    finally:
        for f in os.listdir(TMP):
            os.remove(os.path.join(TMP, f))
        os.rmdir(TMP)


if __name__ == "__main__":
    main()
