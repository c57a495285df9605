"""Writes the program's icons from one of its frames (CMakeLists.txt):

    icons.py FRAME FOLDER

FRAME is a square 24-bit BMP that ravlin_frame rendered. FOLDER receives
hicolor/NxN/apps/ravlin.png at the usual sizes of the freedesktop icon theme,
and ravlin.ico, the same pictures for ravlin.exe's icon group.
"""

import argparse
import os

from PIL import Image

PNG_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ICO_SIZES = (16, 24, 32, 48, 64, 128, 256)


def main():
    parser = argparse.ArgumentParser(description="Write ravlin's icons from one of its frames.")
    parser.add_argument("frame", help="a square BMP of a frame, as ravlin_frame writes it")
    parser.add_argument("folder", help="the folder to write hicolor/ and ravlin.ico into")
    args = parser.parse_args()
    frame = Image.open(args.frame).convert("RGBA")
    for size in PNG_SIZES:
        folder = os.path.join(args.folder, "hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        frame.resize((size, size), Image.LANCZOS).save(os.path.join(folder, "ravlin.png"), optimize=True)
    frame.save(os.path.join(args.folder, "ravlin.ico"), sizes=[(size, size) for size in ICO_SIZES])


if __name__ == "__main__":
    main()
