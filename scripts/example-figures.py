#!/usr/bin/python3
"""Draws the user guide's before-and-after figures from the photo examples
(make photo-example):

  find-pairs-before-after.jpg  the two portraits with the halves "Find pairs"
                               placed, and the halfway picture with the whole
                               pictures as the only pair and with the pairs
  match-before-after.jpg       the right view of the motorcycle twice, with
                               the rough right halves, then with the halves
                               vellora-render --match all placed

    scripts/example-figures.py PHOTO_FOLDER DOCS_FOLDER
"""
import struct
import sys

from PIL import Image, ImageDraw

COLOURS = ["#ffffff", "#ffd700", "#00e5ff", "#76ff03", "#ff40ff", "#ff9100", "#2979ff"]


def pairs(mor):
    d = open(mor, "rb").read()
    pos = 20  # the magic
    for _ in range(2):  # the two picture names, each a length byte and its text
        pos += 1 + d[pos]
    count = struct.unpack_from("<i", d, pos)[0]
    pos += 4
    return [struct.unpack_from("<8i", d, pos + 32 * i) for i in range(count)]


def with_halves(picture, halves):
    im = picture.convert("RGB")
    draw = ImageDraw.Draw(im)
    for i, half in enumerate(halves, start=1):
        draw.rectangle(half, outline=COLOURS[i % len(COLOURS)], width=3)
    return im


def side_by_side(panels, height, output):
    scaled = [p.resize((p.width * height // p.height, height), Image.LANCZOS) for p in panels]
    figure = Image.new("RGB", (sum(p.width for p in scaled) + 10 * (len(scaled) - 1), height),
                       "white")
    x = 0
    for p in scaled:
        figure.paste(p, (x, 0))
        x += p.width + 10
    figure.save(output, quality=85)


def main():
    folder, docs = sys.argv[1], sys.argv[2]

    found = pairs(f"{folder}/portraits.mor")[1:]  # the whole-picture pair first
    side_by_side([
        with_halves(Image.open(f"{folder}/astronaut.png"), [p[:4] for p in found]),
        with_halves(Image.open(f"{folder}/grace_hopper.jpg"), [p[4:] for p in found]),
        Image.open(f"{folder}/portraits-halfway-whole.png").convert("RGB"),
        Image.open(f"{folder}/portraits-halfway.png").convert("RGB"),
    ], 300, f"{docs}/find-pairs-before-after.jpg")

    right = Image.open(f"{folder}/motorcycle_right.png")
    side_by_side([
        with_halves(right, [p[4:] for p in pairs(f"{folder}/{mor}")[1:]])
        for mor in ("photos-rough.mor", "photos.mor")
    ], right.height * 2 // 3, f"{docs}/match-before-after.jpg")


main()
