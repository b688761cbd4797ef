#!/usr/bin/python3
"""Draws Vellora's application icon: the PNG sizes of the hicolor theme and the SVG.

    /usr/bin/python3 packaging/make_icons.py

Writes packaging/icons/hicolor/<size>x<size>/apps/vellora.png and .../scalable/apps/vellora.svg.
Needs Debian's python3-pil. The picture: two overlapping discs, cyan and pink, whose overlap is
their blend, on a dark rounded tile: one picture turning into another. Both outputs come from the
same numbers below (in units of a 256 x 256 canvas).
"""

import os

from PIL import Image, ImageDraw

SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)
TILE = dict(margin=8, radius=48, colour=(38, 44, 64))
LEFT = dict(cx=100, cy=128, r=64, colour=(40, 185, 230))
RIGHT = dict(cx=156, cy=128, r=64, colour=(235, 70, 150))
BLEND = tuple((a + b) // 2 for a, b in zip(LEFT["colour"], RIGHT["colour"]))
HERE = os.path.dirname(os.path.abspath(__file__))


def hexcolour(c):
    return "#%02x%02x%02x" % c


def disc(d, s, k):
    d.ellipse([(k["cx"] - k["r"]) * s, (k["cy"] - k["r"]) * s,
               (k["cx"] + k["r"]) * s - 1, (k["cy"] + k["r"]) * s - 1], fill=k["colour"])


def draw(size):
    # Drawn four times larger and scaled down, so the small sizes have smooth edges.
    big = size * 4
    s = big / 256
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    m, r = TILE["margin"] * s, TILE["radius"] * s
    d.rounded_rectangle([m, m, big - m - 1, big - m - 1], radius=r, fill=TILE["colour"])
    disc(d, s, LEFT)
    # The right disc over the left, then the overlap in the blended colour.
    right = Image.new("L", (big, big), 0)
    disc(ImageDraw.Draw(right), s, dict(RIGHT, colour=255))
    left = Image.new("L", (big, big), 0)
    disc(ImageDraw.Draw(left), s, dict(LEFT, colour=255))
    img.paste(RIGHT["colour"], (0, 0), right)
    overlap = Image.new("L", (big, big), 0)
    overlap.paste(left, (0, 0), right)
    img.paste(BLEND, (0, 0), overlap)
    return img.resize((size, size), Image.LANCZOS)


def svg():
    def circle(k, clip=""):
        return (f'  <circle cx="{k["cx"]}" cy="{k["cy"]}" r="{k["r"]}" '
                f'fill="{hexcolour(k["colour"])}"{clip}/>\n')
    m = TILE["margin"]
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">\n'
        f'  <defs><clipPath id="left">'
        f'<circle cx="{LEFT["cx"]}" cy="{LEFT["cy"]}" r="{LEFT["r"]}"/></clipPath></defs>\n'
        f'  <rect x="{m}" y="{m}" width="{256 - 2 * m}" height="{256 - 2 * m}" '
        f'rx="{TILE["radius"]}" fill="{hexcolour(TILE["colour"])}"/>\n'
        + circle(LEFT) + circle(RIGHT)
        + circle(dict(RIGHT, colour=BLEND), ' clip-path="url(#left)"')
        + '</svg>\n')


def main():
    root = os.path.join(HERE, "icons", "hicolor")
    for size in SIZES:
        folder = os.path.join(root, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        draw(size).save(os.path.join(folder, "vellora.png"), optimize=True)
    folder = os.path.join(root, "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "vellora.svg"), "w") as f:
        f.write(svg())
    print(f"wrote {len(SIZES)} PNG sizes and the SVG to {root}")


if __name__ == "__main__":
    main()
