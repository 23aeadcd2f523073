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
  window_picture.py popup SHOT.png REFERENCE.png X Y WIDTH HEIGHT
      exit 1 with the reason unless SHOT (the main window with a popup over it) is the size of
      REFERENCE (the Linux shell's screenshot of the same popup over its window), the popup's box
      (X Y WIDTH HEIGHT within the window) is not blank, at least 96 % of the box's pixels are
      within 48 of the reference's at the best place a pixel around (the shells centre a popup a
      pixel apart) and 98 % of the window around it. Wine's fonts keep the right popup at 96.7 %
      and more; the single-key dialog against the combination one's screenshot, the closest
      pair of popups, is 95.6 % alike
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
LEAST_CLOSE_POPUP_SHARE = 0.96


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


def close_share(shot, reference, box, offset=(0, 0)):
    """The share of the pixels of rows SHOT within BOX (left, top, width, height) that are within
    CLOSE of REFERENCE's in every channel, REFERENCE read OFFSET (dx, dy) away."""
    left, top, width, height = box
    dx, dy = offset
    close = 0
    for y in range(top, top + height):
        near = [abs(a - b) <= CLOSE for a, b in
                zip(shot[y][3 * left:3 * (left + width)],
                    reference[y + dy][3 * (left + dx):3 * (left + dx + width)])]
        close += sum(1 for x in range(0, len(near), 3) if near[x] and near[x + 1] and near[x + 2])
    return close / max(1, width * height)


def alike(shot_path, reference_path):
    """The share of SHOT's pixels within CLOSE of the reference's in every channel; None when
    the sizes differ."""
    width, height, shot = read_png(shot_path)
    ref_width, ref_height, reference = read_png(reference_path)
    if (ref_width, ref_height) != (width, height):
        return None
    return close_share(shot, reference, (0, 0, width, height))


def check_popup(shot_path, reference_path, box):
    width, height, shot = read_png(shot_path)
    ref_width, ref_height, reference = read_png(reference_path)
    if (ref_width, ref_height) != (width, height):
        return f"{reference_path} is not the shot's size"
    left, top, box_width, box_height = box
    if left < 1 or top < 1 or left + box_width + 1 > width or top + box_height + 1 > height:
        return f"the popup at {box} is not inside the window"
    colours = {shot[y][x:x + 3] for y in range(top, top + box_height)
               for x in range(3 * left, 3 * (left + box_width), 3)}
    if len(colours) < LEAST_COLOURS:
        return f"the popup shows {len(colours)} colours: blank"
    # The window around the popup, in place; the two shells may centre the popup a pixel apart,
    # so its box is compared at the best of the places one pixel around.
    box_pixels, all_pixels = box_width * box_height, width * height
    around = (close_share(shot, reference, (0, 0, width, height)) * all_pixels -
              close_share(shot, reference, box) * box_pixels) / (all_pixels - box_pixels)
    inside, offset = max((close_share(shot, reference, box, (dx, dy)), (dx, dy))
                         for dx in (-1, 0, 1) for dy in (-1, 0, 1))
    print(f"{inside:.1%} of the popup's pixels (the reference's popup {offset[0]:+d}{offset[1]:+d} "
          f"px away) and {around:.1%} of the window around it as in "
          f"{os.path.basename(reference_path)}")
    if inside < LEAST_CLOSE_POPUP_SHARE or around < LEAST_CLOSE_SHARE:
        return f"too few pixels are as in {reference_path}"
    return None


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
    if len(argv) == 8 and argv[1] == "popup":
        problem = check_popup(argv[2], argv[3], tuple(int(value) for value in argv[4:8]))
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
