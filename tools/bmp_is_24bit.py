"""Tells whether a file is a 24-bit BMP of a given size (tools/wine-e2e).

    bmp_is_24bit.py FILE WIDTH HEIGHT

Exits with 0 when it is, 1 when it is not; prints nothing.
"""

import argparse
import struct
import sys


def is_24bit_bmp(path, width, height):
    with open(path, "rb") as file:
        header = file.read(54)
    found_width, found_height, _planes, bits = struct.unpack_from("<iiHH", header, 18)
    return header[:2] == b"BM" and (found_width, found_height, bits) == (width, height, 24)


def main():
    parser = argparse.ArgumentParser(description="Exit with 0 when FILE is a 24-bit BMP of WIDTH x HEIGHT.")
    parser.add_argument("file")
    parser.add_argument("width", type=int)
    parser.add_argument("height", type=int)
    args = parser.parse_args()
    sys.exit(0 if is_24bit_bmp(args.file, args.width, args.height) else 1)


if __name__ == "__main__":
    main()
