#!/usr/bin/env python3
"""What an X window of a Wine program shows, for the Win32 shell's test.

  window_picture.py grab WINDOW OUT.png
      saves what the screen shows of WINDOW (an X window id), and prints "X Y WIDTH HEIGHT"
  window_picture.py check SHOT.png SKIN_MAIN.png REFERENCE.png
      exit 1 with the reason unless SHOT is the size of the skin's main picture, is not blank
      (at least 64 colours) and matches REFERENCE (the Linux shell's window in the same state):
      at least 98 % of its pixels within 48 of the reference's in every channel. The fonts'
      differences leave that; the bare main picture without the page drawn on it is only
      95 % alike, and a misplaced picture or control costs more
  window_picture.py closer SHOT.png LIKE.png UNLIKE.png
      exit 1 unless SHOT is at least 2 points more like LIKE than like UNLIKE (the share of
      pixels as above): which of two pages a window shows
"""

import os
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import x_screen  # noqa: E402
import xwd_to_png  # noqa: E402

LEAST_COLOURS = 64
CLOSE = 48
LEAST_CLOSE_SHARE = 0.98


def read_png(path):
    """(width, height, rows of RGB bytes) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as source:
        data = source.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG picture")
    position, compressed = 8, b""
    while position < len(data):
        (length,) = struct.unpack(">I", data[position:position + 4])
        kind = data[position + 4:position + 8]
        chunk = data[position + 8:position + 8 + length]
        position += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
            if depth != 8 or colour not in (2, 6) or chunk[12] != 0:
                raise SystemExit(f"{path}: only 8-bit RGB(A) pictures without interlacing")
        elif kind == b"IDAT":
            compressed += chunk
    raw = zlib.decompress(compressed)
    step = 3 if colour == 2 else 4
    stride = width * step
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for x in range(stride):
            left = line[x - step] if x >= step else 0
            up = previous[x]
            corner = previous[x - step] if x >= step else 0
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                guess = left + up - corner
                a, b, c = abs(guess - left), abs(guess - up), abs(guess - corner)
                line[x] = (line[x] + (left if a <= b and a <= c else up if b <= c else corner)) & 255
        rows.append(bytes(b for x in range(width) for b in line[x * step:x * step + 3]))
        previous = line
    return width, height, rows


def grab(window, out):
    """What the screen shows in WINDOW's place, read with a plain GetImage of the root window:
    `xwd -root` comes out black for a Wine popup above the main window (its multi-visual path,
    see x_screen)."""
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                          check=True).stdout
    values = dict((key.strip(), value.strip()) for key, value in
                  (line.split(":", 1) for line in info.splitlines() if ":" in line))
    box = tuple(int(values[key]) for key in ("Absolute upper-left X", "Absolute upper-left Y",
                                             "Width", "Height"))
    screen = x_screen.Screen(os.environ["DISPLAY"])
    try:
        xwd_to_png.convert(screen.grab(box), out)
    finally:
        screen.close()
    print(*box)


def alike(shot_path, reference_path):
    """The share of SHOT's pixels within CLOSE of the reference's in every channel; None when
    the sizes differ."""
    width, height, shot = read_png(shot_path)
    ref_width, ref_height, reference = read_png(reference_path)
    if (ref_width, ref_height) != (width, height):
        return None
    close = sum(1 for y in range(height) for x in range(0, width * 3, 3)
                if max(abs(shot[y][x + i] - reference[y][x + i]) for i in range(3)) <= CLOSE)
    return close / (width * height)


def check(shot_path, main_path, reference_path):
    width, height, shot = read_png(shot_path)
    main_size = read_png(main_path)[:2]
    if (width, height) != main_size:
        return f"the window is {width}x{height}, the skin's main picture {main_size[0]}x{main_size[1]}"
    colours = {shot[y][x:x + 3] for y in range(height) for x in range(0, width * 3, 3)}
    if len(colours) < LEAST_COLOURS:
        return f"the window shows {len(colours)} colours: blank"
    share = alike(shot_path, reference_path)
    if share is None:
        return f"{reference_path} is not the window's size"
    print(f"{share:.1%} of the pixels as in {os.path.basename(reference_path)}")
    if share < LEAST_CLOSE_SHARE:
        return f"only {share:.1%} of the pixels are as in {reference_path}"
    return None


def main(argv):
    if len(argv) == 4 and argv[1] == "grab":
        grab(argv[2], argv[3])
        return 0
    if len(argv) == 5 and argv[1] == "check":
        problem = check(argv[2], argv[3], argv[4])
        if problem:
            print(problem)
            return 1
        return 0
    if len(argv) == 5 and argv[1] == "closer":
        like, unlike = alike(argv[2], argv[3]), alike(argv[2], argv[4])
        if like is None or unlike is None:
            print("the pictures are not all of one size")
            return 1
        print(f"{like:.1%} as {os.path.basename(argv[3])}, {unlike:.1%} as "
              f"{os.path.basename(argv[4])}")
        return 0 if like >= unlike + 0.02 else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
