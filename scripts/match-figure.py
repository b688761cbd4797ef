#!/usr/bin/python3
"""Draws the user guide's before-and-after figure of "Match object" from the
photo example (make photo-example): the right view twice, with the rough
right halves, then with the halves vellora-render --match all placed.

    scripts/match-figure.py PHOTO_FOLDER OUTPUT.jpg
"""
import struct
import sys

from PIL import Image, ImageDraw


def pairs(mor):
    d = open(mor, "rb").read()
    pos = 20  # the magic
    for _ in range(2):  # the two picture names, each a length byte and its text
        pos += 1 + d[pos]
    count = struct.unpack_from("<i", d, pos)[0]
    pos += 4
    return [struct.unpack_from("<8i", d, pos + 32 * i) for i in range(count)]


def main():
    folder, output = sys.argv[1], sys.argv[2]
    right = Image.open(f"{folder}/motorcycle_right.png").convert("RGB")
    colours = ["#ffffff", "#ffd700", "#00e5ff", "#76ff03", "#ff40ff", "#ff9100", "#2979ff"]
    panels = []
    for mor in ("photos-rough.mor", "photos.mor"):
        im = right.copy()
        draw = ImageDraw.Draw(im)
        for i, p in enumerate(pairs(f"{folder}/{mor}")[1:], start=1):
            draw.rectangle(p[4:], outline=colours[i % len(colours)], width=3)
        panels.append(im)
    w, h = right.size
    figure = Image.new("RGB", (2 * w + 10, h), "white")
    figure.paste(panels[0], (0, 0))
    figure.paste(panels[1], (w + 10, 0))
    figure.resize((figure.width * 2 // 3, h * 2 // 3), Image.LANCZOS).save(output, quality=85)


main()
