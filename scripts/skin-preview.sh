#!/usr/bin/env bash
# Composes preview pictures of the rendered skins the way the program draws them: the page
# pictures over "/main.png", every element picture at its rectangle, sample texts in the default
# label colour (0, 255, 0) and the child controls as flat boxes in their control colours.
# The result shows what a user sees, without a mouse or a display.
#
#   scripts/skin-preview.sh [SKINS_DIR] [OUT_DIR]
#
# SKINS_DIR defaults to build/bin/Skins (the rendered skins of `scripts/build.sh`), OUT_DIR to
# docs/screenshots. Needs python3 and rsvg-convert (librsvg2-bin), both already build needs.
set -euo pipefail
cd "$(dirname "$0")/.."
skins_dir=${1:-build/bin/Skins}
out_dir=${2:-docs/screenshots}
[ -d "$skins_dir" ] || { echo "skin-preview: no rendered skins in $skins_dir (build first)" >&2; exit 1; }
command -v rsvg-convert >/dev/null || { echo "skin-preview: rsvg-convert missing (librsvg2-bin)" >&2; exit 1; }
mkdir -p "$out_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$skins_dir" "$work" <<'PY'
import base64, html, os, struct, sys

skins_dir, work = sys.argv[1], sys.argv[2]
LABEL = "#00ff00"           # default label colour
FONT = "Arial, 'Liberation Sans', 'DejaVu Sans', sans-serif"


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    return struct.unpack(">II", head[16:24])


class Face:
    def __init__(self, folder, w, h):
        self.folder, self.w, self.h, self.parts = folder, w, h, []

    def img(self, name, x, y):
        p = os.path.join(self.folder, name + ".png")
        w, h = png_size(p)
        data = base64.b64encode(open(p, "rb").read()).decode()
        self.parts.append(f'<image x="{x}" y="{y}" width="{w}" height="{h}" '
                          f'href="data:image/png;base64,{data}"/>')

    def box(self, l, t, r, b, fill, stroke=None):
        s = f' stroke="{stroke}"' if stroke else ""
        self.parts.append(f'<rect x="{l}" y="{t}" width="{r - l}" height="{b - t}" fill="{fill}"{s}/>')

    def text(self, s, l, t, r, b, align="centre", color=LABEL, bold=False, size=12):
        """One line: left, centre or right aligned, vertically centred; 'top' = top-centred."""
        anchor = {"left": "start", "right": "end"}.get(align, "middle")
        x = {"left": l, "right": r}.get(align, (l + r) / 2)
        y = t + size if align == "top" else (t + b) / 2 + size * 0.36
        weight = ' font-weight="bold"' if bold else ""
        self.parts.append(f'<text x="{x}" y="{y}" text-anchor="{anchor}" font-family="{FONT}" '
                          f'font-size="{size}"{weight} fill="{color}">{html.escape(s)}</text>')

    def lines(self, rows, l, t, r, b, align="left", color=LABEL, size=12):
        """Word-wrapped text (rows given), vertically centred in the box."""
        step = size + 3
        y0 = (t + b) / 2 - step * len(rows) / 2
        for i, s in enumerate(rows):
            self.text(s, l, y0 + i * step, r, y0 + (i + 1) * step, align, color, size=size)

    def write(self, path):
        with open(path, "w", encoding="utf-8") as f:
            f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{self.w}" height="{self.h}">'
                    + "".join(self.parts) + "</svg>")


def common(f, title, over=()):
    for name, x, y in (("button-min", 825, 5), ("button-close", 850, 5), ("button-Skins", 701, 5)):
        f.img(name + ("-over" if name in over else "-normal"), x, y)
    for cap, l in (("OK", 562), ("Apply", 666), ("Cancel", 770)):
        f.img("button-over" if cap in over else "button-normal", l, 623)
        f.text(cap, l, 623, l + 105, 644)
    f.img("button-PrePage-over" if "PrePage" in over else "button-PrePage-normal", 14, 54)
    f.img("button-NextPage-over" if "NextPage" in over else "button-NextPage-normal", 60, 54)
    f.text(title, 105, 51, 320, 99, "left", bold=True, size=16)


def basic(folder, out, levels):
    w, h = png_size(os.path.join(folder, "main.png"))
    f = Face(folder, w, h)
    f.img("main", 0, 0)
    f.img("BasicSet2", 0, 0)
    common(f, "Basic Settings", over=("Apply",))
    for t, box in (("Key Setting", (259, 160, 364, 181)), ("Report Rate Setting", (504, 161, 609, 182)),
                   ("DPI Setting", (504, 275, 609, 296)), ("DPI Effect", (704, 275, 809, 296))):
        f.text(t, *box)
    f.img("button-normal", 307, 549)
    f.text("Default", 307, 549, 412, 570)
    labels = ["Left Click", "Right Click", "Mid Click", "Forward", "Backward", "DPI Loop", "Fire Key"]
    for n in range(1, 8):
        y = 199 + 23 * (n - 1)
        f.img("DropdownBox-over" if n == 3 else "DropdownBox-normal", 252, y)
        f.text(str(n), 252, y, 272, y + 21, "left")
        f.text(labels[n - 1], 272, y, 463, y + 21, "left")
    f.img("button-over", 253, 518)
    f.text("Mode A", 253, 518, 358, 539)
    f.img("button-normal", 357, 518)
    f.text("Mode B", 357, 518, 462, 539)
    for k, (l, rate) in enumerate(zip((542, 614, 686, 758), ("125", "250", "500", "1000"))):
        f.img("slider-RP-light" if k == 3 else "slider-RP-dark", l, 204)
        f.text(rate, l, 225, l + 70, 245, "top")
    f.text("Color", 494, 523, 544, 539, "right")
    f.text("Select", 494, 541, 544, 557, "right")
    if levels == 12:
        dpi = ["200", "400", "600", "800", "1200", "1600", "2000", "2400", "2800", "3200", "3600", "4000"]
        lx = 514
    else:
        dpi = ["250", "500", "750", "1000", "1250", "1500", "2000", "2500"]
        lx = 494
    for i, s in enumerate(dpi):
        f.text(s, lx, 500 - 18 * i, 544, 516 - 18 * i, "right")
    colours = ("#ff2020", "#20ff40", "#2080ff", "#ffd020")
    stages = ((True, 1), (True, 3), (True, 5), (False, 2))
    for c in range(4):
        x = 554 + 27 * c
        f.box(x, 523, x + 16, 539, colours[c])
        enabled, idx = stages[c]
        f.img("PaneMakingTick" if enabled else "Pane", x, 541)
        f.text(str(c + 1), x, 562, x + 16, 587, "top")
        for r in range(1, levels + 1):
            lit = enabled and r <= idx + 1
            f.img("slider-DPI-light" if lit else "slider-DPI-dark", x, 500 - 18 * (r - 1))
    for y, t, v in ((330, "Mode", "Standard"), (360, "Parameter", "Speed 3"), (390, "Effect", "Wave")):
        f.text(t, 697, y, 757, y + 14, "right")
        f.box(767, y, 835, y + 14, "#000000")
        f.text(v, 767, y, 835, y + 14)
    f.write(out)


def advanced(folder, out):
    w, h = png_size(os.path.join(folder, "main.png"))
    f = Face(folder, w, h)
    f.img("main", 0, 0)
    f.img("AdvancedSet2", 0, 0)
    common(f, "Advanced Settings", over=("NextPage",))
    for name, l, t in (("Default", 38, 584), ("New", 513, 528), ("Delete", 617, 528), ("Confirm", 721, 528)):
        f.img("button-over" if name == "New" else "button-normal", l, t)
        f.text(name, l, t, l + 105, t + 21)
    for y, value in ((200, 6), (350, 3), (500, 6)):
        for n in range(1, 12):
            x = 52 + 24 * (n - 1)
            f.img("slider-light" if n <= value else "slider-dark", x, y)
            f.text(str(n), x, y + 21, x + 24, y + 41, "top")
    f.img("PaneMakingTick", 51, 255)
    f.img("Pane", 51, 405)
    f.text("Enhance Pointer Precision", 77, 255, 408, 271, "left")
    f.text("Scroll One Screen", 77, 405, 408, 421, "left")
    for t, box in (("Mouse Speed", (38, 160, 143, 181)), ("Scrolling Speed", (38, 310, 143, 331)),
                   ("Double-Click Speed", (38, 460, 143, 481)), ("Macro Setting", (469, 160, 578, 181)),
                   ("Select Macro", (457, 196, 592, 220)), ("Key Press Sequence", (591, 196, 726, 220)),
                   ("Record Option", (725, 196, 875, 220))):
        f.text(t, *box)
    f.lines(["Start Recording"], 765, 227, 874, 260)
    f.lines(["Stop Recording"], 765, 263, 874, 296)
    f.text("Macro Name", 735, 302, 874, 322, "left")
    f.text("Loop Times", 735, 342, 874, 362, "left")
    f.text("Insert A Mouse Event", 735, 382, 874, 402, "left")
    f.box(735, 322, 799, 336, "#000000")
    f.text("Macro1", 735, 322, 799, 336)
    f.box(735, 362, 799, 376, "#000000")
    f.text("1", 735, 362, 799, 376)
    f.box(735, 402, 839, 416, "#000000")
    f.text("Left Button", 735, 402, 839, 416)
    f.box(462, 220, 591, 512, "rgb(14,15,14)")
    f.box(592, 220, 725, 512, "rgb(14,15,14)")
    for i, s in enumerate(("Macro1", "Macro2", "Copy-Paste")):
        if i == 0:
            f.box(462, 220, 591, 236, "#0a246a")
        f.text(s, 464, 220 + 16 * i, 591, 236 + 16 * i, "left")
    for i, s in enumerate(("L-CTRL   Dn", "50 ms", "C   Dn", "50 ms", "C   Up", "50 ms", "L-CTRL   Up")):
        f.text(s, 594, 220 + 16 * i, 725, 236 + 16 * i, "left")
    f.write(out)


WHITE = "#ffffff"
GREY = "rgb(40,40,40)"


def dialog(folder, name, out):
    w, h = png_size(os.path.join(folder, name + ".png"))
    f = Face(folder, w, h)
    f.img(name, 0, 0)
    over = name in ("fire-key",)
    f.img("button-over" if over else "button-normal", 166, 253)
    f.text("OK", 166, 253, 271, 274)
    f.img("button-normal", 270, 253)
    f.text("Cancel", 270, 253, 375, 274)
    f.img("button-close-over" if name == "delay-time" else "button-close-normal", 352, 6)

    def field(l, t, r, b, s, align="centre"):
        f.box(l, t, r, b, GREY)
        f.text(s, l + (3 if align == "left" else 0), t, r, b, align, WHITE)

    if name == "single-key":
        f.text("Please enter a key", 23, 108, 201, 124, color=WHITE)
        field(73, 128, 151, 144, "Left Ctrl")
    elif name == "combo-key":
        field(49, 69, 117, 85, "Left Ctrl")
        field(50, 120, 131, 134, "Left Shift")
        field(50, 170, 131, 184, "S")
    elif name == "media-key":
        field(42, 128, 136, 144, "Play/Pause", "left")
    elif name == "windows-key":
        field(42, 128, 136, 144, "Calculator", "left")
        options = ["Multimedia Player", "Mail", "Calculator", "My Computer", "Browser-Search",
                   "Browser-Home", "Browser-Back", "Browser-Forward", "Browser-Stop",
                   "Browser-Refresh", "Browser-My Favorites"]
        f.box(42, 146, 151, 306, GREY, "#a0a0a0")
        for i, s in enumerate(options):
            if i == 2:
                f.box(43, 147 + 14 * i, 150, 161 + 14 * i, "#3874d8")
            f.text(s, 45, 147 + 14 * i, 150, 161 + 14 * i, "left", WHITE, size=11)
    elif name == "fire-key":
        field(49, 69, 117, 85, "A")
        field(50, 120, 131, 134, "32")
        field(50, 170, 131, 184, "1")
        f.text("Speed", 10, 100, 171, 120, color=WHITE)
        f.text("Times", 10, 150, 171, 170, color=WHITE)
        f.lines(["Speed (value range 5-255, with smaller values faster)"], 15, 184, 390, 218,
                color=WHITE)
        f.lines(["Times (value range 0-255,0 indicates fire key to end when the key",
                 "released)"], 15, 218, 390, 250, color=WHITE)
    elif name == "delay-time":
        field(74, 129, 150, 143, "120")
        f.text("Please enter a delay", 14, 89, 210, 109, color=WHITE)
        f.text("(value range 20-10000)", 14, 109, 210, 129, color=WHITE)
    elif name == "macro-key":
        f.text("Please select a macro", 20, 40, 372, 62, color=WHITE)
        field(42, 66, 336, 82, "Copy-Paste", "left")
        texts = [["Repeat a specified number of times or press any key", "to end"],
                 ["Repeat until press any key to end"], ["Repeat until the key is released"]]
        for k in range(3):
            y = 104 + 44 * k
            f.img("PaneMakingTick" if k == 0 else "Pane", 24, y)
            f.lines(texts[k], 48, y - 6, 380, y + 22, "left", WHITE)
    elif name == "skins":
        f.text("Please click to set the UI text color", 12, 64, 181, 94, size=11)
        f.box(42, 94, 151, 110, LABEL)
        field(42, 128, 136, 144, "Dark", "left")
    f.write(out)


DIALOGS = ["single-key", "combo-key", "media-key", "windows-key", "fire-key", "delay-time",
           "macro-key", "skins"]
for skin in sorted(os.listdir(skins_dir)):
    folder = os.path.join(skins_dir, skin)
    if not os.path.isdir(folder):
        continue
    base = os.path.join(work, skin)
    w, h = png_size(os.path.join(folder, "main.png"))
    alone = Face(folder, w, h)        # the face while no mouse is connected
    alone.img("main", 0, 0)
    alone.write(f"{base}-no-mouse.svg")
    basic(folder, f"{base}-basic.svg", 12)
    basic(folder, f"{base}-basic-8-levels.svg", 8)
    advanced(folder, f"{base}-advanced.svg")
    for name in DIALOGS:
        dialog(folder, name, f"{base}-dialog-{name}.svg")
PY

for svg in "$work"/*.svg; do
  name=$(basename "$svg" .svg)
  rsvg-convert -o "$out_dir/$name.png" "$svg"
done
echo "skin-preview: wrote $(ls "$work"/*.svg | wc -l) pictures to $out_dir" >&2
