#!/usr/bin/python3
# Writes the PNG test files of this folder with Pillow and ImageMagick in their
# usual variants. Run once by hand (Debian: python3-pil, imagemagick); the
# outputs are committed:   /usr/bin/python3 tests/data/png/make_pngs.py
# The pictures are those of ../bmp (five.txt, twenty.txt, two.txt).
import os
import subprocess

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
BMP = os.path.join(HERE, "..", "bmp")

def picture(reference):
    rows = [line.split() for line in open(os.path.join(BMP, reference))]
    image = Image.new("RGB", (len(rows[0]), len(rows)))
    for y, row in enumerate(rows):
        for x, colour in enumerate(row):
            image.putpixel((x, y), tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5)))
    return image

def path(name):
    return os.path.join(HERE, name)

five, twenty, two = picture("five.txt"), picture("twenty.txt"), picture("two.txt")
# Pillow: palette (4-bit and 8-bit), RGB, RGBA, grey, 1-bit grey.
five.convert("P", palette=Image.ADAPTIVE, colors=5).save(path("pil-palette.png"), bits=4)
twenty.convert("P", palette=Image.ADAPTIVE, colors=20).save(path("pil-palette8.png"))
five.save(path("pil-rgb.png"))
five.convert("RGBA").save(path("pil-rgba.png"))
two.convert("L").save(path("pil-grey.png"))
two.convert("1").save(path("pil-1bit.png"))
# ImageMagick: interlaced (Adam7) palette and RGBA, 16 bits per channel, palette.
five.save(path("five.png"))
twenty.save(path("twenty.png"))
def magick(source, target, *options):
    subprocess.run(["/usr/bin/convert", path(source), *options, target], check=True)
magick("five.png", path("im-interlaced.png"), "-interlace", "PNG")
magick("twenty.png", "PNG48:" + path("im-rgb16.png"), "-depth", "16")
magick("twenty.png", "PNG8:" + path("im-palette.png"), "-type", "Palette")
magick("five.png", "PNG32:" + path("im-rgba-interlaced.png"), "-alpha", "on", "-interlace", "PNG")
for name in ("five.png", "twenty.png"):
    os.remove(path(name))
