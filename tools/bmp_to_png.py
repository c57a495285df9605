"""Writes a copy of an image as PNG, for viewing (tools/run, tools/pictures).

    bmp_to_png.py SOURCE TARGET

The target's format follows its name's ending, as Pillow chooses it.
"""

import argparse

from PIL import Image


def main():
    parser = argparse.ArgumentParser(description="Copy an image (the program's BMP screenshot) to a PNG.")
    parser.add_argument("source", help="an image file Pillow reads")
    parser.add_argument("target", help="the file to write, as .png")
    args = parser.parse_args()
    Image.open(args.source).convert("RGB").save(args.target, optimize=True)


if __name__ == "__main__":
    main()
