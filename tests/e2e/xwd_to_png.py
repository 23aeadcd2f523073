"""Turns an X window dump (`xwd`, 24/32-bit TrueColor ZPixmap) into a PNG, cropped to a box."""

import struct
import zlib

HEADER_FIELDS = 25


def _shift(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift


def convert(dump, png_path, box=None):
    fields = struct.unpack(">%dI" % HEADER_FIELDS, dump[:HEADER_FIELDS * 4])
    header_size, _, pixmap_format, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    colours = fields[19]
    step = bits_per_pixel // 8
    if pixmap_format != 2 or bits_per_pixel < 24 or step not in (3, 4):
        raise ValueError("only 24/32-bit ZPixmap dumps are handled, not %r" % (fields,))
    pixels = dump[header_size + colours * 12:]
    left, top, box_width, box_height = box or (0, 0, width, height)
    left, top = max(0, left), max(0, top)
    box_width, box_height = min(box_width, width - left), min(box_height, height - top)
    endian = "<" if byte_order == 0 else ">"
    shifts = [_shift(mask) for mask in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(top, top + box_height):
        start = y * bytes_per_line + left * step
        line = pixels[start:start + box_width * step]
        row = bytearray(b"\x00")  # filter type: none
        for x in range(box_width):
            word = int.from_bytes(line[x * step:(x + 1) * step],
                                  "little" if endian == "<" else "big")
            row += bytes(((word & mask) >> shift) & 0xFF
                         for mask, shift in zip((red_mask, green_mask, blue_mask), shifts))
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", box_width, box_height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    png += chunk(b"IEND", b"")
    with open(png_path, "wb") as out:
        out.write(png)
