#!/usr/bin/python3
"""Draws the example project: two faces and the project file that morphs one into the other.

    /usr/bin/python3 examples/make_example.py [OUTPUT_FOLDER]
    /usr/bin/python3 examples/make_example.py --sequence OUTPUT_FOLDER

Writes face1.png, face2.png and faces.mor (default: the folder of this script). With --sequence
it writes, besides them, a third face face3.png, the project faces23.mor that morphs face 2 into
it, and faces.morseq, the sequence of the two projects (make sequence-example). Needs Debian's
python3-pil. The output is the same on every run, so the files in the repository can be checked
against it.

The two faces differ in size, colours and the places of their features, so that the morph shows
the areas travelling: picture 1 is a small round face with close-set eyes, picture 2 a larger, wider
face with the eyes further apart and lower, a broader nose and a bigger mouth. Each area pair
covers the same feature in both pictures; the rectangles come from the same numbers that draw the
features, so they fit exactly.
"""

import os
import struct
import sys

from PIL import Image, ImageDraw

MAGIC = b"TALVORN Morphing 1.0"


class Face:
    """The numbers that place one face; every feature is given by its bounding box."""

    def __init__(self, size, head, eyes, nose, mouth, colours):
        self.size = size  # (width, height)
        self.head = head  # (left, top, right, bottom), inclusive
        self.eyes = eyes  # two boxes, left eye first
        self.nose = nose
        self.mouth = mouth
        self.colours = colours


FACE1 = Face(
    size=(320, 380),
    head=(50, 60, 269, 349),
    eyes=((92, 168, 139, 191), (180, 168, 227, 191)),
    nose=(145, 200, 174, 252),
    mouth=(118, 278, 201, 309),
    colours=dict(
        sky_top=(150, 200, 240), sky_bottom=(225, 240, 252),
        skin=(247, 206, 170), skin_shade=(226, 170, 135),
        hair=(110, 62, 30), iris=(40, 110, 200), lips=(200, 60, 70),
        cheeks=(240, 160, 150), brows=(90, 50, 25), shirt=(60, 130, 80),
    ),
)

FACE2 = Face(
    size=(440, 460),
    head=(50, 50, 389, 419),
    eyes=((102, 212, 175, 245), (262, 212, 335, 245)),
    nose=(186, 254, 253, 317),
    mouth=(140, 342, 299, 387),
    colours=dict(
        sky_top=(250, 190, 110), sky_bottom=(255, 235, 200),
        skin=(176, 120, 82), skin_shade=(140, 90, 60),
        hair=(25, 25, 30), iris=(40, 140, 60), lips=(140, 40, 50),
        cheeks=(190, 110, 90), brows=(20, 20, 20), shirt=(130, 50, 140),
    ),
)

# A third face for the sequence: narrow and tall, eyes high and close, a long nose, a small mouth.
FACE3 = Face(
    size=(360, 420),
    head=(70, 40, 289, 389),
    eyes=((110, 150, 165, 175), (195, 150, 250, 175)),
    nose=(160, 170, 200, 262),
    mouth=(140, 300, 219, 328),
    colours=dict(
        sky_top=(120, 210, 170), sky_bottom=(230, 250, 235),
        skin=(236, 188, 150), skin_shade=(205, 150, 115),
        hair=(200, 140, 40), iris=(110, 80, 40), lips=(210, 90, 110),
        cheeks=(245, 150, 140), brows=(150, 100, 30), shirt=(40, 70, 150),
    ),
)

AREA_NAMES = ("head", "left eye", "right eye", "nose", "mouth")


def areas_of(face):
    return (face.head, face.eyes[0], face.eyes[1], face.nose, face.mouth)


def box(b):
    # PIL's ellipse and rectangle take inclusive corner points, as the areas do.
    return [b[0], b[1], b[2], b[3]]


def centre(b):
    return ((b[0] + b[2]) / 2, (b[1] + b[3]) / 2)


def grow(b, dx, dy):
    return (b[0] - dx, b[1] - dy, b[2] + dx, b[3] + dy)


def draw_face(face):
    w, h = face.size
    c = face.colours
    img = Image.new("RGB", face.size)
    d = ImageDraw.Draw(img)

    # Sky: a vertical gradient, so the background visibly blends too.
    for y in range(h):
        t = y / (h - 1)
        d.line([(0, y), (w - 1, y)],
               fill=tuple(round(a + (b - a) * t) for a, b in zip(c["sky_top"], c["sky_bottom"])))

    hl, ht, hr, hb = face.head
    hw, hh = hr - hl + 1, hb - ht + 1
    cx = (hl + hr) / 2

    # Shoulders, neck, then hair behind the head.
    d.ellipse([cx - hw * 0.75, hb - hh * 0.08, cx + hw * 0.75, hb + hh * 0.6], fill=c["shirt"])
    d.rectangle([cx - hw * 0.16, hb - hh * 0.2, cx + hw * 0.16, hb + hh * 0.08], fill=c["skin_shade"])
    d.ellipse([hl - hw * 0.06, ht - hh * 0.06, hr + hw * 0.06, ht + hh * 0.7], fill=c["hair"])

    # Head with a shaded rim and two ears.
    ear_y = face.eyes[0][1]
    ear_h = (face.nose[3] - ear_y) * 1.0
    for ex in (hl - hw * 0.05, hr + hw * 0.05):
        d.ellipse([ex - hw * 0.07, ear_y, ex + hw * 0.07, ear_y + ear_h], fill=c["skin_shade"])
    d.ellipse(box(face.head), fill=c["skin_shade"])
    d.ellipse(box(grow(face.head, -4, -4)), fill=c["skin"])

    # Fringe: a band of hair across the forehead, its edge at the same share of the eyes' height
    # in both faces, so that it travels with them.
    fringe = face.eyes[0][1] * 0.7
    d.chord([hl, ht - hh * 0.02, hr, 2 * fringe - ht], 180, 360, fill=c["hair"])

    # Cheeks.
    for e in face.eyes:
        ex, _ = centre(e)
        cy = (face.nose[3] + face.mouth[1]) / 2
        r = (e[2] - e[0]) * 0.35
        d.ellipse([ex - r, cy - r * 0.6, ex + r, cy + r * 0.6], fill=c["cheeks"])

    # Eyes: white, iris, pupil, a highlight, and a brow above each.
    for e in face.eyes:
        ex, ey = centre(e)
        eh = e[3] - e[1] + 1
        d.ellipse(box(e), fill=(255, 255, 255), outline=(40, 30, 30), width=2)
        r = eh * 0.42
        d.ellipse([ex - r, ey - r, ex + r, ey + r], fill=c["iris"])
        d.ellipse([ex - r * 0.5, ey - r * 0.5, ex + r * 0.5, ey + r * 0.5], fill=(10, 10, 10))
        d.ellipse([ex - r * 0.15 + r * 0.4, ey - r * 0.55, ex + r * 0.25 + r * 0.4, ey - r * 0.15],
                  fill=(255, 255, 255))
        d.arc([e[0] - 4, e[1] - eh * 0.9, e[2] + 4, e[1] + eh * 0.5], 200, 340, fill=c["brows"],
              width=max(3, eh // 6))

    # Nose: a shaded ridge and two nostrils.
    nl, nt, nr, nb = face.nose
    ncx = (nl + nr) / 2
    d.polygon([(ncx, nt), (nr, nb - 6), (ncx, nb), (nl, nb - 6)], fill=c["skin_shade"])
    d.line([(ncx, nt), (ncx + (nr - nl) * 0.15, nb - 10)], fill=c["skin"], width=3)
    nw = nr - nl + 1
    for sx in (-1, 1):
        d.ellipse([ncx + sx * nw * 0.22 - nw * 0.1, nb - 9, ncx + sx * nw * 0.22 + nw * 0.1, nb - 3],
                  fill=(70, 40, 30))

    # Mouth: an open smile, lips around a row of teeth.
    ml, mt, mr, mb = face.mouth
    mw, mh = mr - ml + 1, mb - mt + 1
    d.chord([ml, mt - mh, mr, mb], 0, 180, fill=c["lips"])
    d.chord([ml + mw * 0.06, mt - mh * 0.75, mr - mw * 0.06, mb - mh * 0.22], 0, 180, fill=(80, 20, 30))
    d.chord([ml + mw * 0.1, mt - mh * 0.6, mr - mw * 0.1, mb - mh * 0.45], 0, 180, fill=(250, 250, 245))
    d.line([(ml, mt), (mr, mt)], fill=c["lips"], width=max(3, mh // 6))
    return img


def short_str(text):
    data = text.encode("ascii")
    assert len(data) <= 255
    return bytes([len(data)]) + data


def project_bytes(name1, name2, pairs):
    out = bytearray(MAGIC) + short_str(name1) + short_str(name2)
    out += struct.pack("<i", len(pairs))
    for a1, a2 in pairs:
        out += struct.pack("<8i", *a1, *a2)
    return bytes(out)


def check_inside(face):
    w, h = face.size
    for name, (l, t, r, b) in zip(AREA_NAMES, areas_of(face)):
        assert 0 <= l < r < w and 0 <= t < b < h, f"{name} leaves the picture"


def write_project(out, name, first, second, face_a, face_b):
    pairs = list(zip(areas_of(face_a), areas_of(face_b)))
    with open(os.path.join(out, name), "wb") as f:
        f.write(project_bytes(first, second, pairs))
    return len(pairs)


def main():
    args = sys.argv[1:]
    sequence = bool(args) and args[0] == "--sequence"
    if sequence:
        args = args[1:]
        if not args:
            sys.exit("usage: make_example.py --sequence OUTPUT_FOLDER")
    out = args[0] if args else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    for face in (FACE1, FACE2, FACE3):
        check_inside(face)
    draw_face(FACE1).save(os.path.join(out, "face1.png"), optimize=True)
    draw_face(FACE2).save(os.path.join(out, "face2.png"), optimize=True)
    count = write_project(out, "faces.mor", "face1.png", "face2.png", FACE1, FACE2)
    print(f"wrote face1.png, face2.png and faces.mor ({count} area pairs) to {out}")
    if not sequence:
        return
    draw_face(FACE3).save(os.path.join(out, "face3.png"), optimize=True)
    write_project(out, "faces23.mor", "face2.png", "face3.png", FACE2, FACE3)
    with open(os.path.join(out, "faces.morseq"), "w") as f:
        f.write("# The example faces: face 1 into face 2 into face 3.\n"
                "faces.mor\n"
                "faces23.mor\n")
    print(f"wrote face3.png, faces23.mor and faces.morseq to {out}")


if __name__ == "__main__":
    main()
