"""Counts what a picture of the running program shows (tools/wine-e2e).

    picture_counts.py IMAGE

Prints "red green blue glow width height": the numbers of strongly red, green
and blue pixels, the blue of the glow's pixel above the centre of a 1024x768
screen, and the image's size.
"""

import argparse

from PIL import Image

GLOW_PIXEL = (512, 381)


def counts(path):
    image = Image.open(path).convert("RGB")
    red = green = blue = 0
    for r, g, b in image.getdata():
        red += r > 60 and r > 2 * (g + b)
        green += g > 40 and g > 2 * (r + b)
        blue += b > 40 and b > 2 * (r + g)
    return red, green, blue, image.getpixel(GLOW_PIXEL)[2], image.size[0], image.size[1]


def main():
    parser = argparse.ArgumentParser(description="Count the strongly coloured pixels of a picture of the program.")
    parser.add_argument("image", help="an image file Pillow reads (PNG, BMP)")
    args = parser.parse_args()
    print(*counts(args.image))


if __name__ == "__main__":
    main()
