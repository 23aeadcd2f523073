#!/usr/bin/env python3
"""Packs PNG pictures into one Windows icon file (.ico with PNG entries, as Windows Vista and
later read them). Usage: png_to_ico.py OUTPUT.ico INPUT.png...; each input is one size."""

import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("not a PNG picture")
    return struct.unpack(">II", data[16:24])


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    pictures = []
    for path in argv[2:]:
        with open(path, "rb") as source:
            data = source.read()
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise SystemExit(f"{path}: {width}x{height} is larger than an icon entry can be")
        pictures.append((width, height, data))
    offset = 6 + 16 * len(pictures)
    header = struct.pack("<HHH", 0, 1, len(pictures))
    entries = b""
    for width, height, data in pictures:
        # 0 stands for 256 in the one-byte fields.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data),
                               offset)
        offset += len(data)
    with open(argv[1], "wb") as output:
        output.write(header + entries + b"".join(data for _, _, data in pictures))


if __name__ == "__main__":
    main(sys.argv)
