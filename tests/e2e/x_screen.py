"""Reading what the X screen shows: a plain GetImage of the root window through libX11.

`xwd -root` is not used for this: the program's windows use a colormap of their own, so xwd
takes its multi-visual path, which reads every region of that colormap from the lowest window
holding it, and a dialog (a top-level window above the main window) comes out black although
the screen shows it.
"""

import ctypes
import struct

from failure import Failure


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


class Screen:
    """GetImage on the X server: what the screen (or one window) shows."""

    Z_PIXMAP = 2

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.POINTER(XImage)
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                       ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                                       ctypes.c_ulong, ctypes.c_int]
        self.x11.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise Failure("cannot open display " + display)
        self.root = self.x11.XDefaultRootWindow(self.display)

    def close(self):
        self.x11.XCloseDisplay(self.display)

    def grab(self, box, window=None):
        """The pixels of `box` (left, top, width, height; in `window`, else on the screen) as an
        xwd dump, the format xwd_to_png reads."""
        left, top, width, height = box
        image = self.x11.XGetImage(self.display, window or self.root, left, top, width,
                                   height, 0xFFFFFFFF, self.Z_PIXMAP)
        if not image:
            raise Failure("GetImage of %r failed" % (box,))
        try:
            i = image.contents
            header = struct.pack(">25I", 100, 7, self.Z_PIXMAP, i.depth, i.width, i.height, 0,
                                 i.byte_order, i.bitmap_unit, i.bitmap_bit_order, i.bitmap_pad,
                                 i.bits_per_pixel, i.bytes_per_line, 4, i.red_mask,
                                 i.green_mask, i.blue_mask, 8, 0, 0, i.width, i.height, 0, 0,
                                 0)
            return header + ctypes.string_at(i.data, i.bytes_per_line * i.height)
        finally:
            self.x11.XDestroyImage(image)


def rows(dump):
    """The pixel rows of a dump, without line padding; the unused byte of 32-bit pixels of
    depth 24 is cleared (servers need not fill it alike for a window and the screen)."""
    fields = struct.unpack(">25I", dump[:100])
    depth, width, height = fields[3], fields[4], fields[5]
    step, per_line, msb_first = fields[11] // 8, fields[12], fields[7] == 1
    pixels = dump[fields[0]:]
    out = []
    for y in range(height):
        row = bytearray(pixels[y * per_line:y * per_line + width * step])
        if step == 4 and depth == 24:
            row[0 if msb_first else 3::4] = bytes(width)
        out.append(bytes(row))
    return out


def pixel_column(dump):
    """The (r, g, b) pixels of a one-pixel-wide dump from top to bottom."""
    fields = struct.unpack(">25I", dump[:100])
    step, per_line = fields[11] // 8, fields[12]
    masks = fields[14:17]
    order = "little" if fields[7] == 0 else "big"
    pixels = dump[fields[0]:]
    out = []
    for y in range(fields[5]):
        word = int.from_bytes(pixels[y * per_line:y * per_line + step], order)
        out.append(tuple((word & m) >> ((m & -m).bit_length() - 1) for m in masks))
    return out
