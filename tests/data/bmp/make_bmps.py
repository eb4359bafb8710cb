#!/usr/bin/python3
# Writes the BMP test files of this folder with Pillow and ImageMagick, the
# way paint programs save them. Run once by hand (Debian: python3-pil,
# imagemagick); the outputs are committed:
#   /usr/bin/python3 tests/data/bmp/make_bmps.py
# Every file shows the same 7 x 5 picture (odd width: rows need padding),
# described in reference.txt as one line per row of #RRGGBB colours.
import os
import subprocess

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 7, 5

def picture(colours):
    image = Image.new("RGB", (W, H))
    for y in range(H):
        for x in range(W):
            image.putpixel((x, y), colours[(x * 3 + y * 5 + x * y) % len(colours)])
    return image

def save_reference(name, image):
    with open(os.path.join(HERE, name), "w") as out:
        for y in range(H):
            out.write(" ".join("#%02X%02X%02X" % image.getpixel((x, y)) for x in range(W)) + "\n")

two = picture([(0, 0, 0), (255, 255, 255)])
five = picture([(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255), (0, 0, 0)])
twenty = picture([(i * 12, 255 - i * 12, (i * 37) % 256) for i in range(20)])
save_reference("two.txt", two)
save_reference("five.txt", five)
save_reference("twenty.txt", twenty)

def path(name):
    return os.path.join(HERE, name)

# Pillow: 1-bit, 8-bit palette, 24-bit, 32-bit with alpha.
two.convert("1").save(path("pil-1bit.bmp"))
five.convert("P", palette=Image.ADAPTIVE, colors=5).save(path("pil-8bit.bmp"))
five.save(path("pil-24bit.bmp"))
five.convert("RGBA").save(path("pil-32bit-rgba.bmp"))

# ImageMagick 6: the usual BMP3 (40-byte header; its 8-bit palette files are
# RLE8), BMP2 (12-byte OS/2 header), BMP4 (124-byte header with bit fields),
# and the 16-bit RGB565 subtype. It writes no RLE4: the tests build that.
for name, image in (("five.png", five), ("twenty.png", twenty), ("two.png", two)):
    image.save(path(name))
def magick(source, target, form, *options):
    subprocess.run(["/usr/bin/convert", path(source), *options, form + ":" + path(target)],
                   check=True)
magick("five.png", "im-bmp3-4bit.bmp", "BMP3", "-type", "Palette")
magick("twenty.png", "im-bmp3-8bit.bmp", "BMP3", "-type", "Palette")
magick("five.png", "im-bmp3-24bit.bmp", "BMP3", "-type", "TrueColor")
magick("twenty.png", "im-bmp2.bmp", "BMP2")
magick("five.png", "im-bmp4-32bit.bmp", "BMP", "-type", "TrueColorAlpha")
magick("twenty.png", "im-rle8.bmp", "BMP3", "-type", "Palette", "-compress", "RLE")
magick("five.png", "im-bmp2-4bit.bmp", "BMP2", "-type", "Palette")
magick("five.png", "im-rgb565.bmp", "BMP", "-define", "bmp:subtype=RGB565")
for name in ("five.png", "twenty.png", "two.png"):
    os.remove(path(name))
