#!/usr/bin/env python3
"""Writes the SVG sources of the bundled skins (Dark, Light) and the program icon.

The SVG files are the sources the build renders to PNG; they are committed and can be edited in
Inkscape. This script is the quick way to change the shared design language of both skins at
once: run it and commit the rewritten SVG files. Editing a single SVG by hand is fine as well;
the next run of this script overwrites it, so carry such edits back into the script.

Geometry: every element image has the size of the rectangle the program draws it into; the page
images and the main image cover the whole window; the popup backgrounds hold the frame buttons
(close at 352,6; OK and Cancel across 166..375 x 253..274) and each dialog's own fields.
The pictures and their sizes are those of pictures.txt, the program's table of skin pictures:
every one listed is written, and a drawing of another size stops the script.
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def read_picture_list():
    """The pictures of a skin from pictures.txt, in its order: name -> (kind, width, height)."""
    pictures = {}
    with open(os.path.join(HERE, "pictures.txt"), encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                name, kind, width, height = line.split()
                pictures[name] = (kind, int(width), int(height))
    return pictures


PICTURES = read_picture_list()
WIDTH, HEIGHT = PICTURES["main"][1:]               # main window; the layout needs 875 x 644
DIALOG_W, DIALOG_H = PICTURES["single-key"][1:]    # popups
WINDOWS_DIALOG_H = PICTURES["windows-key"][2]      # its list reaches y = 306

PALETTES = {
    "Dark": dict(
        chassis=("#171b21", "#0c0e11"), frame="#000000", frame_hi="#2b323b",
        titlebar=("#1e232a", "#121519"), titlebar_line="#2e3540", titlebar_shadow="#07080a",
        band=("#0e1114", "#13171b"), band_border="#262d36",
        panel=("#1b2026", "#14181d"), panel_border="#2c333d", panel_hi="#2f3742",
        inset=("#0b0d10", "#0f1215"), inset_border="#050608", inset_hi="#2a313a",
        plate="#0c0f12", plate_border="#2b323b",
        accent="#22e04f", accent_hi="#9bffb0", accent_lo="#0b7a2a", glow="#22e04f",
        btn=("#343c47", "#1f242b"), btn_border="#08090b", btn_hi="#505b69",
        btn_over=("#1f5a30", "#0f3019"), btn_over_border="#34e060", btn_over_hi="#5cf083",
        glyph="#a9b4c2", glyph_over="#ffffff", glyph_title="#c3ccd7",
        cell=("#232a32", "#191e24"), cell_border="#07090b", cell_hi="#303842",
        field="#000000", field_border="#333b46",
        mouse=("#2a313a", "#15191e"), mouse_edge="#46505d", mouse_line="#0a0c0f",
        mouse_hi="#59a86c", showcase="#22e04f", showcase_alpha=0.10,
        wordmark="#dfe5ec", stripe_alpha=0.16,
    ),
    "Light": dict(
        chassis=("#e8ebef", "#cfd4da"), frame="#6f7883", frame_hi="#ffffff",
        titlebar=("#f7f8fa", "#dfe3e8"), titlebar_line="#aab2bc", titlebar_shadow="#c3c9d0",
        band=("#2b3139", "#1d2127"), band_border="#5b6470",
        panel=("#f6f7f9", "#e7eaee"), panel_border="#b1b8c1", panel_hi="#ffffff",
        inset=("#20252c", "#262c34"), inset_border="#5a636e", inset_hi="#ffffff",
        plate="#252b33", plate_border="#4b535e",
        accent="#19c949", accent_hi="#8effa8", accent_lo="#0c6e27", glow="#19c949",
        btn=("#4a535f", "#2b3139"), btn_border="#1a1e23", btn_hi="#6c7786",
        btn_over=("#2a6e3f", "#164426"), btn_over_border="#22d453", btn_over_hi="#66e68b",
        glyph="#4d5662", glyph_over="#ffffff", glyph_title="#3a424c",
        cell=("#3a424d", "#2c323a"), cell_border="#161a1e", cell_hi="#4e5865",
        field="#000000", field_border="#7a838e",
        mouse=("#ffffff", "#d3d8de"), mouse_edge="#8b949f", mouse_line="#9aa3ad",
        mouse_hi="#19c949", showcase="#ffffff", showcase_alpha=0.75,
        wordmark="#2f363f", stripe_alpha=0.22,
    ),
}

# Stroke glyphs for the few figures drawn into the pictures (mouse buttons, wordmark): paths
# in a 6 x 10 box, so the pictures do not depend on the fonts of the machine that renders them.
DIGITS = {
    "1": "M1.6 2.6 L3.4 1 L3.4 9",
    "2": "M1 3 C1 0.4 5.2 0.4 5.2 3 C5.2 5 1 6.6 1 9 L5.4 9",
    "3": "M1.2 1 L5 1 L2.8 4.3 C6.2 4.1 6.2 9.2 3 9.2 C2 9.2 1.2 8.8 0.8 8.2",
    "4": "M4.2 9 L4.2 1 L0.8 6.6 L5.6 6.6",
    "5": "M5 1 L1.6 1 L1.2 4.7 C3.2 3.6 5.6 4.6 5.6 6.8 C5.6 9.6 2 9.7 0.9 8.2",
    "6": "M4.8 1 C2.2 1.4 1 3.8 1 6.5 C1 8.4 2 9.2 3.3 9.2 C4.6 9.2 5.4 8.2 5.4 6.8 "
         "C5.4 5.3 4.5 4.6 3.3 4.6 C2.1 4.6 1 5.4 1 6.6",
    "7": "M0.8 1 L5.4 1 L2.4 9.2",
}
LETTERS = {
    "V": ("M0 0 L3.6 10 L7.2 0", 8.6),
    "M": ("M0 10 L0 0 L4.5 6.4 L9 0 L9 10", 10.6),
    "3": (DIGITS["3"].replace("M1.2 1", "M1.2 0.2").replace("L5 1", "L5 0.2"), 6.8),
    "1": ("M1 2 L3 0.2 L3 10", 5.0),
}


class Doc:
    """One SVG document with its own gradient definitions."""

    def __init__(self, w, h, title):
        self.w, self.h, self.title = w, h, title
        self.defs, self.body, self.n = [], [], 0

    def uid(self, prefix):
        self.n += 1
        return f"{prefix}{self.n}"

    def vgrad(self, stops, x1=0, y1=0, x2=0, y2=1):
        gid = self.uid("g")
        s = "".join(
            f'<stop offset="{o}" stop-color="{c}"'
            + (f' stop-opacity="{a}"' if a != 1 else "") + "/>"
            for o, c, a in [(st + (1,))[:3] for st in stops])
        self.defs.append(
            f'<linearGradient id="{gid}" x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}">{s}</linearGradient>')
        return f"url(#{gid})"

    def rgrad(self, stops, cx=0.5, cy=0.5, r=0.5):
        gid = self.uid("r")
        s = "".join(
            f'<stop offset="{o}" stop-color="{c}"'
            + (f' stop-opacity="{a}"' if a != 1 else "") + "/>"
            for o, c, a in [(st + (1,))[:3] for st in stops])
        self.defs.append(
            f'<radialGradient id="{gid}" cx="{cx}" cy="{cy}" r="{r}">{s}</radialGradient>')
        return f"url(#{gid})"

    def blur(self, dev):
        fid = self.uid("f")
        self.defs.append(
            f'<filter id="{fid}" x="-50%" y="-50%" width="200%" height="200%">'
            f'<feGaussianBlur stdDeviation="{dev}"/></filter>')
        return f"url(#{fid})"

    def add(self, s):
        self.body.append(s)

    def svg(self):
        return (
            '<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{self.w}" height="{self.h}" '
            f'viewBox="0 0 {self.w} {self.h}">\n'
            f"<title>{self.title}</title>\n"
            f"<defs>\n" + "\n".join(self.defs) + "\n</defs>\n"
            + "\n".join(self.body) + "\n</svg>\n")


def mix(c1, c2, t):
    a = [int(c1[i:i + 2], 16) for i in (1, 3, 5)]
    b = [int(c2[i:i + 2], 16) for i in (1, 3, 5)]
    return "#" + "".join(f"{round(x + (y - x) * t):02x}" for x, y in zip(a, b))


def attrs(**kw):
    out = []
    for k, v in kw.items():
        if v is None:
            continue
        out.append(f'{k.rstrip("_").replace("_", "-")}="{v}"')
    return " ".join(out)


def rect(d, x, y, w, h, r=0, fill="none", stroke=None, opacity=None, filt=None):
    """Rectangle on whole pixels; a stroke is a crisp one-pixel line on its outer pixels."""
    if stroke:
        d.add(f'<rect {attrs(x=x + .5, y=y + .5, width=w - 1, height=h - 1, rx=max(r - .5, 0), fill=fill, stroke=stroke, stroke_width=1, opacity=opacity, filter=filt)}/>')
    else:
        d.add(f'<rect {attrs(x=x, y=y, width=w, height=h, rx=r, fill=fill, opacity=opacity, filter=filt)}/>')


def hline(d, x1, x2, y, color, opacity=None):
    d.add(f'<path {attrs(d=f"M{x1} {y + .5} H{x2}", stroke=color, stroke_width=1, opacity=opacity)}/>')


def vline(d, x, y1, y2, color, opacity=None):
    d.add(f'<path {attrs(d=f"M{x + .5} {y1} V{y2}", stroke=color, stroke_width=1, opacity=opacity)}/>')


def path(d, p, fill="none", stroke=None, sw=None, opacity=None, cap="round", join="round",
         transform=None, filt=None):
    d.add(f'<path {attrs(d=p, fill=fill, stroke=stroke, stroke_width=sw, opacity=opacity, stroke_linecap=cap if stroke else None, stroke_linejoin=join if stroke else None, transform=transform, filter=filt)}/>')


def glyph_text(d, text, x, y, scale, color, sw, table=None):
    """Draws stroke glyphs; returns the advance."""
    cx = x
    for ch in text:
        if table is LETTERS:
            p, adv = LETTERS[ch]
        else:
            p, adv = DIGITS[ch], 6.4
        path(d, p, stroke=color, sw=sw / scale, transform=f"translate({cx} {y}) scale({scale})")
        cx += adv * scale
    return cx - x


# ---------------------------------------------------------------- building blocks


def panel(d, P, x, y, w, h):
    rect(d, x + 1, y + 2, w, h, 5, fill="#000000", opacity=0.18)
    rect(d, x, y, w, h, 5, fill=d.vgrad([(0, P["panel"][0]), (1, P["panel"][1])]),
         stroke=P["panel_border"])
    hline(d, x + 4, x + w - 4, y + 1, P["panel_hi"], opacity=0.8)


def inset(d, P, x, y, w, h, r=3):
    """A recessed dark display: labels and values are drawn on these."""
    rect(d, x, y, w, h, r, fill=P["inset_hi"], opacity=0.55)
    rect(d, x, y, w, h - 1, r, fill=d.vgrad([(0, P["inset"][0]), (1, P["inset"][1])]),
         stroke=P["inset_border"])
    hline(d, x + 2, x + w - 2, y + 1, "#000000", opacity=0.35)


def plate(d, P, x, y, w, h, grow=10):
    """Title plate of a section; the program centres the title in (x, y, w, h), and the plate
    reaches `grow` pixels further on both sides for titles wider than that box."""
    x, w = x - grow, w + 2 * grow
    rect(d, x, y, w, h, 3, fill=P["plate"], stroke=P["plate_border"])
    rect(d, x + 1, y + 3, 2, h - 6, 1, fill=P["accent"])
    rect(d, x + w - 3, y + 3, 2, h - 6, 1, fill=P["accent"], opacity=0.35)


def field_frame(d, P, x, y, w, h, arrow_from=None):
    """Frame around a child field of the given client rectangle; optional drop-down arrow."""
    rect(d, x - 2, y - 2, w + 4, h + 4, 3, fill=P["field"], stroke=P["field_border"])
    rect(d, x, y, w, h, 0, fill=P["field"])
    if arrow_from is not None:
        ax = arrow_from
        aw = x + w - ax
        rect(d, ax, y, aw, h, 0, fill=d.vgrad([(0, P["btn"][0]), (1, P["btn"][1])]))
        vline(d, ax, y, y + h, P["field_border"])
        cx, cy = ax + aw / 2, y + h / 2
        path(d, f"M{cx - 3.5} {cy - 1.5} L{cx} {cy + 2} L{cx + 3.5} {cy - 1.5}",
             stroke=P["accent"], sw=1.6)


def accent_glow_line(d, P, x1, x2, y, opacity=0.9):
    d.add(f'<rect {attrs(x=x1, y=y, width=x2 - x1, height=1, fill=d.vgrad([(0, P["accent"], 0), (0.5, P["accent"], opacity), (1, P["accent"], 0)], x2=1, y2=0))}/>')


def icon_glyph(d, kind, cx, cy, s, color, sw=1.5):
    """Small line icons centred at cx, cy in a box of about 2s."""
    if kind == "min":
        path(d, f"M{cx - s * .55} {cy + s * .35} H{cx + s * .55}", stroke=color, sw=sw + .3)
    elif kind == "close":
        k = s * .5
        path(d, f"M{cx - k} {cy - k} L{cx + k} {cy + k} M{cx + k} {cy - k} L{cx - k} {cy + k}",
             stroke=color, sw=sw + .2)
    elif kind == "skins":  # four swatches
        k = s * .62
        for i, (dx, dy) in enumerate(((-1, -1), (1, -1), (-1, 1), (1, 1))):
            x = cx + (dx - 1) * k / 2 + (0.5 if dx > 0 else -0.5)
            y = cy + (dy - 1) * k / 2 + (0.5 if dy > 0 else -0.5)
            if i == 3:
                rect(d, x, y, k, k, 1, fill=color)
            else:
                d.add(f'<rect x="{x + .6}" y="{y + .6}" width="{k - 1.2}" height="{k - 1.2}" rx="0.8" fill="none" stroke="{color}" stroke-width="1.2"/>')
    elif kind == "mouse":
        w, h = s * 1.1, s * 1.7
        path(d, f"M{cx - w / 2} {cy - h / 2 + w / 2} A{w / 2} {w / 2} 0 0 1 {cx + w / 2} {cy - h / 2 + w / 2} "
                f"V{cy + h / 2 - w / 2} A{w / 2} {w / 2} 0 0 1 {cx - w / 2} {cy + h / 2 - w / 2} Z",
             stroke=color, sw=sw)
        path(d, f"M{cx - w / 2} {cy - h * .08} H{cx + w / 2} M{cx} {cy - h / 2} V{cy - h * .08}",
             stroke=color, sw=sw * .8)
        path(d, f"M{cx} {cy - h * .34} V{cy - h * .22}", stroke=color, sw=sw * 1.6)
    elif kind == "sliders":
        for i, (yy, kx) in enumerate(((-.55, .35), (0, -.3), (.55, .15))):
            y = cy + yy * s
            path(d, f"M{cx - s * .8} {y} H{cx + s * .8}", stroke=color, sw=sw * .9)
            d.add(f'<circle cx="{cx + kx * s}" cy="{y}" r="{s * .2}" fill="{color}"/>')
    elif kind == "record":
        d.add(f'<circle cx="{cx}" cy="{cy}" r="{s}" fill="{color}"/>')
    elif kind == "stop":
        rect(d, cx - s, cy - s, 2 * s, 2 * s, 1.5, fill=color)


# ---------------------------------------------------------------- element images


def el_button(P, over):
    d = Doc(105, 21, "text button" + (" under the mouse" if over else ""))
    top, bot = P["btn_over"] if over else P["btn"]
    rect(d, 0, 0, 105, 21, 4, fill=d.vgrad([(0, top), (1, bot)]),
         stroke=P["btn_over_border"] if over else P["btn_border"])
    hline(d, 4, 101, 1, P["btn_over_hi"] if over else P["btn_hi"], opacity=0.9)
    if over:
        d.add(f'<rect x="4" y="11" width="97" height="8" rx="3" fill="{d.vgrad([(0, P["accent"], 0), (1, P["accent"], .28)])}"/>')
    return d


def el_icon_button(P, kind, over):
    d = Doc(18, 18, f"{kind} button" + (" under the mouse" if over else ""))
    if over:
        bg = "#e5483f" if kind == "close" else P["accent"]
        lo = "#a82a24" if kind == "close" else P["accent_lo"]
        rect(d, 0, 0, 18, 18, 4, fill=d.vgrad([(0, bg), (1, lo)]), stroke=lo)
        hline(d, 3, 15, 1, "#ffffff", opacity=0.45)
        icon_glyph(d, kind, 9, 9, 6, "#ffffff", 1.6)
    else:
        # opaque: drawn over the lit picture, it must cover it completely
        top, bot = P["titlebar"]
        rect(d, 0, 0, 18, 18, 0, fill=d.vgrad([(0, mix(top, bot, 5 / 31)), (1, mix(top, bot, 23 / 31))]))
        icon_glyph(d, kind, 9, 9, 6, P["glyph_title"], 1.5)
    return d


def el_tab(P, kind, over):
    d = Doc(40, 40, f"{kind} page tab" + (" under the mouse" if over else ""))
    top, bot = P["btn_over"] if over else P["btn"]
    rect(d, 0, 0, 40, 40, 6, fill=d.vgrad([(0, top), (1, bot)]),
         stroke=P["btn_over_border"] if over else P["btn_border"])
    hline(d, 5, 35, 1, P["btn_over_hi"] if over else P["btn_hi"], opacity=0.9)
    color = P["accent_hi"] if over else "#c9d2dc"
    if over:
        d.add(f'<rect x="6" y="20" width="28" height="18" rx="4" fill="{d.vgrad([(0, P["accent"], 0), (1, P["accent"], .3)])}"/>')
    icon_glyph(d, "mouse" if kind == "basic" else "sliders", 20, 20, 10, color, 2)
    return d


def el_dropdown(P, over):
    d = Doc(211, 21, "key row drop-down field" + (" under the mouse" if over else ""))
    border = P["btn_over_border"] if over else P["btn_border"]
    rect(d, 0, 0, 211, 21, 3, fill=d.vgrad([(0, P["inset"][0]), (1, "#050607")]), stroke=border)
    # number zone: the program writes the row number into the first 20 pixels
    top, bot = P["btn_over"] if over else P["btn"]
    d.add(f'<path d="M3.5 0.5 H20.5 V20.5 H3.5 A3 3 0 0 1 0.5 17.5 V3.5 A3 3 0 0 1 3.5 0.5 Z" '
          f'fill="{d.vgrad([(0, top), (1, bot)])}" stroke="{border}"/>')
    hline(d, 3, 20, 1, P["btn_over_hi"] if over else P["btn_hi"], opacity=0.8)
    hline(d, 21, 208, 1, "#ffffff", opacity=0.06)
    if over:
        d.add(f'<rect x="21" y="12" width="185" height="7" rx="3" fill="{d.vgrad([(0, P["accent"], 0), (1, P["accent"], .22)])}"/>')
    # arrow zone
    vline(d, 192, 4, 17, "#ffffff", opacity=0.10)
    cx, cy = 201.5, 10.5
    path(d, f"M{cx - 4} {cy - 2} L{cx} {cy + 2.2} L{cx + 4} {cy - 2}",
         stroke=P["accent"] if over else "#8c98a7", sw=1.7)
    return d


def el_pane(P, ticked):
    d = Doc(16, 16, "tick box" + (" ticked" if ticked else ""))
    rect(d, 0, 0, 16, 16, 3, fill=d.vgrad([(0, "#07090b"), (1, "#161a1f")]), stroke=P["cell_border"] if not ticked else P["accent_lo"])
    rect(d, 1, 1, 14, 14, 2, fill="none", stroke="#3a434e" if not ticked else P["accent"], opacity=0.9)
    if ticked:
        path(d, "M4 8.3 L6.9 11.1 L12.2 4.9", stroke=P["accent_hi"], sw=3.2, opacity=0.35)
        path(d, "M4 8.3 L6.9 11.1 L12.2 4.9", stroke=P["accent"], sw=2)
    return d


def el_cell(P, w, h, lit, title, r=2):
    d = Doc(w, h, title)
    if lit:
        rect(d, 0, 0, w, h, r, fill=d.vgrad([(0, P["accent_hi"]), (0.45, P["accent"]), (1, P["accent_lo"])]),
             stroke=P["accent_lo"])
        hline(d, 2, w - 2, 1, "#ffffff", opacity=0.55)
    else:
        rect(d, 0, 0, w, h, r, fill=d.vgrad([(0, P["cell"][0]), (1, P["cell"][1])]),
             stroke=P["cell_border"])
        hline(d, 2, w - 2, 1, P["cell_hi"], opacity=0.8)
    return d


def el_slider(P, lit):
    """A 24 x 11 slider cell; cells sit edge to edge, so each draws a 2-pixel gap on its right."""
    d = Doc(24, 11, "slider cell" + (" lit" if lit else ""))
    rect(d, 0, 0, 24, 11, 0, fill=P["inset"][1])
    if lit:
        rect(d, 1, 1, 21, 9, 2, fill=d.vgrad([(0, P["accent_hi"]), (0.5, P["accent"]), (1, P["accent_lo"])]),
             stroke=P["accent_lo"])
        hline(d, 3, 20, 2, "#ffffff", opacity=0.5)
    else:
        rect(d, 1, 1, 21, 9, 2, fill=d.vgrad([(0, P["cell"][0]), (1, P["cell"][1])]),
             stroke=P["cell_border"])
        hline(d, 3, 20, 2, P["cell_hi"], opacity=0.7)
    return d


# ---------------------------------------------------------------- window frame and pages


def wordmark(d, P, x, y):
    d.add(f'<g><title>wordmark</title>')
    glyph_text(d, "VM", x, y, 1.0, P["wordmark"], 2.0, LETTERS)
    glyph_text(d, "31", x + 21.5, y, 1.0, P["accent"], 2.0, LETTERS)
    d.add("</g>")


def app_mark(d, P, x, y, size):
    """The program's mark (the icon's shape) at x, y in a size x size box."""
    s = size / 64.0
    d.add(f'<g transform="translate({x} {y}) scale({s})">')
    icon_body(d, P["accent"], P["accent_hi"], small=True)
    d.add("</g>")


def frame(d, P, page_title_band=True):
    W, H = d.w, d.h
    rect(d, 0, 0, W, H, 0, fill=d.vgrad([(0, P["chassis"][0]), (1, P["chassis"][1])]))
    # title bar
    rect(d, 0, 0, W, 31, 0, fill=d.vgrad([(0, P["titlebar"][0]), (1, P["titlebar"][1])]))
    hline(d, 0, W, 30, P["titlebar_line"])
    hline(d, 0, W, 31, P["titlebar_shadow"], opacity=0.6)
    accent_glow_line(d, P, 0, 420, 30, 0.9)
    app_mark(d, P, 9, 6, 19)
    wordmark(d, P, 36, 10.5)
    # grip stripes after the wordmark
    for i in range(4):
        x = 86 + i * 6
        path(d, f"M{x} 21 L{x + 5} 10", stroke=P["accent"], sw=2, opacity=0.45 - i * 0.1, cap="butt")
    if page_title_band:
        # page header: tabs and the bold page title
        rect(d, 8, 40, W - 16, 70, 5, fill=d.vgrad([(0, P["band"][0]), (1, P["band"][1])]),
             stroke=P["band_border"])
        hline(d, 12, W - 12, 41, "#ffffff", opacity=0.05)
        for i in range(7):
            x = W - 40 - i * 14
            path(d, f"M{x} 106 L{x + 22} 44", stroke=P["accent"], sw=5, opacity=P["stripe_alpha"] * (1 - i / 7), cap="butt")
        accent_glow_line(d, P, 12, W - 12, 108, 0.5)
    # footer
    hline(d, 8, W - 8, 614, P["panel_border"], opacity=0.9)
    hline(d, 8, W - 8, 615, P["panel_hi"], opacity=0.35)
    # window border
    rect(d, 0, 0, W, H, 0, stroke=P["frame"])
    hline(d, 1, W - 1, 1, P["frame_hi"], opacity=0.6)


def tab_marker(d, P, x):
    """Accent bar under the tab of the page shown."""
    d.add(f'<rect x="{x + 4}" y="97" width="32" height="3" rx="1.5" fill="{P["accent"]}"/>')
    d.add(f'<rect x="{x}" y="94" width="40" height="10" rx="4" fill="{P["accent"]}" opacity="0.25" filter="{d.blur(3)}"/>')


def tab_wells(d, P):
    for x in (14, 60):
        rect(d, x - 2, 52, 44, 44, 7, fill="#000000", opacity=0.35)


def title_buttons(d, P):
    """Main image only: the skins, minimise and close buttons in their normal look."""
    for kind, x in (("skins", 701), ("min", 825), ("close", 850)):
        icon_glyph(d, kind, x + 9, 5 + 9, 6, P["glyph_title"], 1.5)


def mouse_drawing(d, P, ox, oy, badges=True):
    """Top view of the mouse with its seven buttons numbered like the key rows."""
    mt, mb = P["mouse"]
    body = d.vgrad([(0, mt), (1, mb)], x1=0, y1=0, x2=1, y2=1)
    g = f'<g transform="translate({ox} {oy})">'
    d.add(g)
    # shadow
    d.add(f'<ellipse cx="100" cy="292" rx="72" ry="14" fill="#000000" opacity="0.35" filter="{d.blur(6)}"/>')
    outline = ("M100 18 C58 18 38 52 34 98 C30 146 26 190 34 232 C42 270 66 292 100 292 "
               "C134 292 158 270 166 232 C174 190 170 146 166 98 C162 52 142 18 100 18 Z")
    path(d, outline, fill=body, stroke=P["mouse_edge"], sw=1.5)
    # buttons split
    path(d, "M36 120 C70 132 130 132 164 120", stroke=P["mouse_line"], sw=1.6)
    path(d, "M100 19 V60 M100 112 V131", stroke=P["mouse_line"], sw=1.6)
    # left and right button faces
    lb = d.vgrad([(0, "#ffffff", .10), (1, "#ffffff", 0)])
    path(d, "M99 20 C60 21 41 52 37 98 L36 118 C60 126 80 129 99 130 Z", fill=lb)
    path(d, "M101 20 C140 21 159 52 163 98 L164 118 C140 126 120 129 101 130 Z", fill=lb)
    # wheel
    rect(d, 92, 60, 16, 44, 7, fill=d.vgrad([(0, "#0b0d10"), (1, "#2a313a")]), stroke=P["mouse_line"])
    for i in range(6):
        hline(d, 95, 105, 65 + i * 6, P["accent"], opacity=0.55)
    # DPI button behind the wheel
    rect(d, 93, 114, 14, 9, 3, fill=P["accent"], stroke=P["accent_lo"])
    # accent strip around the palm
    path(d, "M48 230 C60 268 80 280 100 282 C120 280 140 268 152 230", stroke=P["mouse_hi"], sw=2.2, opacity=0.9)
    path(d, "M48 230 C60 268 80 280 100 282 C120 280 140 268 152 230", stroke=P["accent"], sw=6, opacity=0.18,
         filt=d.blur(3))
    # side buttons (thumb side, left): forward, backward; fire key in front of them
    for y0, y1 in ((150, 176), (180, 206)):
        path(d, f"M35 {y0} C31 {y0 + 6} 31 {y1 - 6} 35 {y1}", stroke=P["mouse_edge"], sw=5, cap="round")
        path(d, f"M35 {y0} C31 {y0 + 6} 31 {y1 - 6} 35 {y1}", stroke=P["mouse_line"], sw=2.4, cap="round")
    path(d, "M40 84 C38 92 38 100 38 106", stroke=P["accent"], sw=4.5, cap="round")
    path(d, "M40 84 C38 92 38 100 38 106", stroke=P["accent_hi"], sw=1.5, cap="round", opacity=0.8)
    d.add("</g>")

    def badge(n, bx, by, tx, ty):
        bx, by, tx, ty = bx + ox, by + oy, tx + ox, ty + oy
        path(d, f"M{tx} {ty} L{bx} {by}", stroke=P["accent"], sw=1, opacity=0.8, cap="butt")
        d.add(f'<circle cx="{tx}" cy="{ty}" r="2" fill="{P["accent"]}"/>')
        d.add(f'<circle cx="{bx}" cy="{by}" r="9.5" fill="{P["plate"]}" stroke="{P["accent"]}" stroke-width="1.5"/>')
        path(d, DIGITS[str(n)], stroke="#ffffff", sw=1.7 / 1.05,
             transform=f"translate({bx - 3.3} {by - 5.2}) scale(1.05)")

    if not badges:
        return
    badge(1, 18, 40, 62, 70)
    badge(2, 182, 40, 138, 70)
    badge(3, 182, 88, 106, 80)
    badge(4, 0, 150, 33, 160)
    badge(5, 0, 206, 33, 196)
    badge(6, 182, 138, 106, 119)
    badge(7, 0, 92, 38, 95)


def showcase(d, P, x, y, w, h):
    d.add(f'<ellipse cx="{x + w / 2}" cy="{y + h / 2}" rx="{w / 2}" ry="{h / 2}" '
          f'fill="{d.rgrad([(0, P["showcase"], P["showcase_alpha"]), (1, P["showcase"], 0)])}"/>')


def page_basic(P):
    d = Doc(WIDTH, HEIGHT, "basic settings page")
    frame(d, P)
    tab_wells(d, P)
    tab_marker(d, P, 14)
    # mouse showcase on the left
    showcase(d, P, 0, 150, 250, 420)
    mouse_drawing(d, P, 24, 190)
    # key setting panel
    panel(d, P, 244, 150, 228, 450)
    plate(d, P, 259, 160, 105, 21)
    accent_glow_line(d, P, 252, 464, 191, 0.6)
    d.add('<g opacity="0.07">')
    app_mark(d, P, 323, 398, 70)
    d.add("</g>")
    hline(d, 252, 464, 505, P["panel_border"])
    hline(d, 252, 464, 506, P["panel_hi"], opacity=0.6)
    rect(d, 250, 515, 215, 27, 4, fill="#000000", opacity=0.28)
    # report rate panel: four segments on a track, their labels below
    panel(d, P, 489, 151, 387, 106)
    plate(d, P, 504, 161, 105, 21)
    inset(d, P, 532, 196, 306, 54)
    rect(d, 539, 201, 292, 15, 3, fill="#000000", opacity=0.5)
    for k in range(4):
        x = 542 + 72 * k
        hline(d, x + 10, x + 60, 246, P["accent"], opacity=0.25)
    icon_pulse(d, P, 848, 206)
    # DPI panel: level labels, 4 x 12 cells, colour swatches, tick boxes, stage numbers
    panel(d, P, 489, 265, 189, 335)
    plate(d, P, 504, 275, 105, 21)
    inset(d, P, 492, 298, 181, 294)
    for c in range(4):
        x = 554 + 27 * c
        rect(d, x - 2, 521, 20, 20, 3, fill=P["field"], stroke=P["field_border"])
        vline(d, x + 7, 304, 517, P["accent"], opacity=0.10)
    hline(d, 498, 668, 519, "#ffffff", opacity=0.07)
    # lighting panel: three drop-down fields with their labels
    panel(d, P, 689, 265, 187, 335)
    plate(d, P, 704, 275, 105, 21)
    inset(d, P, 693, 318, 179, 100)
    for y in (330, 360, 390):
        field_frame(d, P, 767, y, 84, 14, arrow_from=835)
    spectrum(d, P, 705, 440, 155, 140)
    # footer buttons sit at 562..875 x 623..644
    rect(d, 558, 620, 320, 27, 5, fill="#000000", opacity=0.25)
    return d


def icon_pulse(d, P, x, y):
    path(d, f"M{x - 10} {y + 2} H{x - 6} L{x - 3} {y - 6} L{x + 1} {y + 9} L{x + 4} {y - 2} L{x + 6} {y + 2} H{x + 10}",
         stroke=P["accent"], sw=1.6, opacity=0.9)


def spectrum(d, P, x, y, w, h):
    """Decoration of the lighting panel: a glowing light ring over a spectrum bar."""
    cx, cy = x + w / 2, y + 58
    grad = d.vgrad([(0, "#ff3b3b"), (0.2, "#ffb02e"), (0.4, "#f5ff3b"), (0.6, "#2bff6a"),
                    (0.8, "#2ba8ff"), (1, "#c23bff")], x2=1, y2=0)
    d.add(f'<circle cx="{cx}" cy="{cy}" r="40" fill="none" stroke="{grad}" stroke-width="8" opacity="0.35" filter="{d.blur(5)}"/>')
    d.add(f'<circle cx="{cx}" cy="{cy}" r="40" fill="none" stroke="{grad}" stroke-width="2.5" opacity="0.9"/>')
    d.add(f'<circle cx="{cx}" cy="{cy}" r="31" fill="none" stroke="{P["panel_border"]}" stroke-width="1"/>')
    # a small bulb in the ring
    path(d, f"M{cx - 7} {cy + 1} C{cx - 11} {cy - 13} {cx + 11} {cy - 13} {cx + 7} {cy + 1} "
            f"C{cx + 5} {cy + 4} {cx + 4} {cy + 6} {cx + 4} {cy + 9} H{cx - 4} C{cx - 4} {cy + 6} {cx - 5} {cy + 4} {cx - 7} {cy + 1} Z",
         stroke=P["accent"], sw=1.6)
    path(d, f"M{cx - 4} {cy + 12.5} H{cx + 4} M{cx - 2.5} {cy + 15.5} H{cx + 2.5}", stroke=P["accent"], sw=1.6)
    d.add(f'<rect x="{x + 5}" y="{y + h - 14}" width="{w - 10}" height="5" rx="2.5" fill="{grad}" opacity="0.85"/>')
    d.add(f'<rect x="{x + 5}" y="{y + h - 16}" width="{w - 10}" height="9" rx="4.5" fill="{grad}" opacity="0.3" filter="{d.blur(3)}"/>')


def page_advanced(P):
    d = Doc(WIDTH, HEIGHT, "advanced settings page")
    frame(d, P)
    tab_wells(d, P)
    tab_marker(d, P, 60)
    # system settings: three sliders with their numbers; two tick boxes; default button
    panel(d, P, 22, 150, 412, 458)
    for y, icon in ((160, "speed"), (310, "scroll"), (460, "click")):
        plate(d, P, 38, y, 105, 21, grow=12)
        accent_glow_line(d, P, 150, 420, y + 10, 0.35)
        h = 94 if y < 460 else 72
        inset(d, P, 36, y + 32, 390, h)
        rect(d, 50, y + 38, 268, 15, 3, fill="#000000", opacity=0.5)
        adv_icon(d, P, icon, 372, y + 52)
    vline(d, 330, 196, 280, "#ffffff", opacity=0.06)
    # macro setting: lists, recording options and fields
    panel(d, P, 449, 150, 427, 410)
    plate(d, P, 469, 160, 109, 21)
    accent_glow_line(d, P, 585, 866, 170, 0.35)
    rect(d, 457, 196, 418, 24, 3, fill=P["plate"], stroke=P["plate_border"])
    hline(d, 460, 872, 197, "#ffffff", opacity=0.06)
    for x in (591, 725):
        vline(d, x, 199, 217, P["plate_border"])
    rect(d, 461, 219, 265, 294, 0, fill="#0e0f0e", stroke=P["field_border"])
    vline(d, 591, 220, 512, P["field_border"])
    inset(d, P, 727, 220, 148, 293)
    for y, kind in ((229, "record"), (265, "stop")):
        rect(d, 735, y, 29, 29, 6, fill=d.vgrad([(0, P["btn"][0]), (1, P["btn"][1])]), stroke=P["btn_border"])
        hline(d, 739, 760, y + 1, P["btn_hi"], opacity=0.9)
        if kind == "record":
            d.add(f'<circle cx="749.5" cy="{y + 14.5}" r="8" fill="#ff4040" opacity="0.35" filter="{d.blur(2)}"/>')
            d.add(f'<circle cx="749.5" cy="{y + 14.5}" r="6" fill="{d.vgrad([(0, "#ff7a70"), (1, "#d91f1f")])}"/>')
        else:
            rect(d, 744, y + 9, 11, 11, 2, fill="#c9d2dc")
    hline(d, 733, 869, 300, "#ffffff", opacity=0.07)
    field_frame(d, P, 735, 322, 64, 14)
    field_frame(d, P, 735, 362, 64, 14)
    field_frame(d, P, 735, 402, 119, 14, arrow_from=839)
    rect(d, 509, 524, 321, 29, 5, fill="#000000", opacity=0.28)
    rect(d, 558, 620, 320, 27, 5, fill="#000000", opacity=0.25)
    return d


def adv_icon(d, P, kind, cx, cy):
    c = P["accent"]
    if kind == "speed":  # pointer with motion lines
        path(d, f"M{cx - 6} {cy - 16} L{cx - 6} {cy + 10} L{cx + 1} {cy + 4} L{cx + 6} {cy + 14} L{cx + 10} {cy + 12} "
                f"L{cx + 5} {cy + 2} L{cx + 13} {cy + 1} Z", stroke=c, sw=1.8)
        for i, dy in enumerate((-10, -3, 4)):
            path(d, f"M{cx - 28 + i * 3} {cy + dy} H{cx - 14}", stroke=c, sw=1.8, opacity=0.6)
    elif kind == "scroll":  # wheel with arrows
        rect(d, cx - 7, cy - 14, 14, 28, 7, stroke=c, fill="none")
        path(d, f"M{cx} {cy - 8} V{cy - 2}", stroke=c, sw=2.5)
        path(d, f"M{cx - 20} {cy - 6} L{cx - 16} {cy - 11} L{cx - 12} {cy - 6} M{cx - 20} {cy + 6} L{cx - 16} {cy + 11} L{cx - 12} {cy + 6}",
             stroke=c, sw=1.8)
    else:  # two clicks
        for r, o in ((6, 1), (11, .6), (16, .3)):
            d.add(f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="none" stroke="{c}" stroke-width="1.8" opacity="{o}"/>')
        d.add(f'<circle cx="{cx}" cy="{cy}" r="2.5" fill="{c}"/>')


def main_image(P):
    d = Doc(WIDTH, HEIGHT, "main window")
    frame(d, P)
    title_buttons(d, P)
    showcase(d, P, WIDTH / 2 - 260, 150, 520, 430)
    # the mouse with its cable unplugged: the face shown while no mouse is connected
    cx = WIDTH / 2
    path(d, f"M{cx} 229 C{cx} 200 {cx + 40} 196 {cx + 40} 172", stroke=P["mouse_edge"], sw=3)
    rect(d, cx + 33, 150, 14, 22, 3, fill=d.vgrad([(0, P["btn"][0]), (1, P["btn"][1])]), stroke=P["btn_border"])
    rect(d, cx + 36, 140, 8, 11, 1, fill="#9aa3ad", stroke="#5d6670")
    for dx, dy, ex, ey in ((-8, -16, -13, -22), (0, -19, 0, -27), (8, -16, 13, -22)):
        path(d, f"M{cx + 40 + dx} {136 + dy + 8} L{cx + 40 + ex} {136 + ey + 8}", stroke=P["accent"], sw=2)
    mouse_drawing(d, P, WIDTH / 2 - 100, 210, badges=False)
    return d


# ---------------------------------------------------------------- popup backgrounds


def dialog_frame(P, name, h=DIALOG_H, separator=True):
    d = Doc(DIALOG_W, h, name)
    W = DIALOG_W
    rect(d, 0, 0, W, h, 0, fill=d.vgrad([(0, P["chassis"][0]), (1, P["chassis"][1])]))
    rect(d, 0, 0, W, 31, 0, fill=d.vgrad([(0, P["titlebar"][0]), (1, P["titlebar"][1])]))
    hline(d, 0, W, 30, P["titlebar_line"])
    hline(d, 0, W, 31, P["titlebar_shadow"], opacity=0.6)
    accent_glow_line(d, P, 0, 300, 30, 0.9)
    app_mark(d, P, 9, 6, 19)
    wordmark(d, P, 36, 10.5)
    if separator:
        hline(d, 10, W - 10, 245, P["panel_border"])
        hline(d, 10, W - 10, 246, P["panel_hi"], opacity=0.4)
    rect(d, 162, 250, 217, 27, 5, fill="#000000", opacity=0.22)
    rect(d, 0, 0, W, h, 0, stroke=P["frame"])
    hline(d, 1, W - 1, 1, P["frame_hi"], opacity=0.6)
    return d


def dialog_art(d, P, kind, cx, cy, on_inset=False):
    """The large line drawing that tells the dialogs apart (no text)."""
    c, hi = P["accent"], P["accent_hi"]
    glow, alpha = (P["accent"], 0.14) if on_inset else (P["showcase"], P["showcase_alpha"] * 1.5)
    d.add(f'<circle cx="{cx}" cy="{cy}" r="66" fill="{d.rgrad([(0, glow, alpha), (1, glow, 0)])}"/>')

    def keycap(x, y, w, h, label_path=None):
        rect(d, x, y + 4, w, h, 7, fill="#000000", opacity=0.35)
        rect(d, x, y, w, h, 7, fill=d.vgrad([(0, P["btn"][0]), (1, P["btn"][1])]), stroke=P["btn_border"])
        rect(d, x + 5, y + 4, w - 10, h - 14, 5, fill=d.vgrad([(0, P["btn_hi"]), (1, P["btn"][0])]), opacity=0.9)
        if label_path:
            path(d, label_path, stroke=c, sw=2.4)

    if kind == "single":
        keycap(cx - 40, cy - 38, 80, 72,
               f"M{cx - 12} {cy + 12} L{cx} {cy - 20} L{cx + 12} {cy + 12} M{cx - 7} {cy} H{cx + 7}")
    elif kind == "combo":
        keycap(cx - 78, cy - 26, 62, 56, f"M{cx - 47} {cy - 7} C{cx - 62} {cy - 12} {cx - 62} {cy + 14} {cx - 47} {cy + 9}")
        path(d, f"M{cx} {cy - 9} V{cy + 9} M{cx - 9} {cy} H{cx + 9}", stroke=hi, sw=3)
        keycap(cx + 16, cy - 26, 62, 56, f"M{cx + 36} {cy + 10} L{cx + 47} {cy - 12} L{cx + 58} {cy + 10}")
    elif kind == "media":
        d.add(f'<circle cx="{cx}" cy="{cy}" r="42" fill="none" stroke="{c}" stroke-width="3"/>')
        path(d, f"M{cx - 11} {cy - 18} L{cx + 20} {cy} L{cx - 11} {cy + 18} Z", fill=c)
        for i, r in enumerate((52, 60)):
            d.add(f'<path d="M{cx + r * .7} {cy - r * .7} A{r} {r} 0 0 1 {cx + r * .7} {cy + r * .7}" fill="none" stroke="{c}" stroke-width="2" opacity="{0.5 - i * .2}"/>')
    elif kind == "windows":
        for i in range(3):
            for j in range(3):
                x, y = cx - 40 + i * 28, cy - 40 + j * 28
                rect(d, x, y, 24, 24, 6, fill=d.vgrad([(0, P["btn"][0]), (1, P["btn"][1])]), stroke=P["btn_border"])
                if (i + j) % 2 == 0:
                    d.add(f'<circle cx="{x + 12}" cy="{y + 12}" r="5" fill="{c}" opacity="{1 - 0.15 * (i + j)}"/>')
                else:
                    rect(d, x + 7, y + 7, 10, 10, 2, fill="none", stroke=c)
    elif kind == "fire":
        d.add(f'<circle cx="{cx}" cy="{cy}" r="38" fill="none" stroke="{c}" stroke-width="2.5"/>')
        d.add(f'<circle cx="{cx}" cy="{cy}" r="20" fill="none" stroke="{c}" stroke-width="1.5" opacity="0.6"/>')
        path(d, f"M{cx} {cy - 50} V{cy - 26} M{cx} {cy + 26} V{cy + 50} M{cx - 50} {cy} H{cx - 26} M{cx + 26} {cy} H{cx + 50}",
             stroke=c, sw=2.5)
        d.add(f'<circle cx="{cx}" cy="{cy}" r="4" fill="{hi}"/>')
        for i in range(3):
            path(d, f"M{cx + 44 + i * 8} {cy + 26} l6 -8", stroke=hi, sw=2, opacity=0.9 - i * 0.25)
    elif kind == "delay":
        d.add(f'<circle cx="{cx}" cy="{cy + 6}" r="40" fill="none" stroke="{c}" stroke-width="3"/>')
        rect(d, cx - 8, cy - 48, 16, 8, 2, fill=c)
        path(d, f"M{cx} {cy + 6} V{cy - 18} M{cx} {cy + 6} L{cx + 16} {cy + 16}", stroke=hi, sw=3)
        for a in range(12):
            t = a * math.pi / 6
            r1, r2 = 33, 37
            path(d, f"M{cx + r1 * math.sin(t)} {cy + 6 - r1 * math.cos(t)} L{cx + r2 * math.sin(t)} {cy + 6 - r2 * math.cos(t)}",
                 stroke=c, sw=1.5, opacity=0.8)
    elif kind == "macro":
        for i in range(4):
            y = cy - 36 + i * 22
            rect(d, cx - 46, y, 92, 16, 4, fill=d.vgrad([(0, P["btn"][0]), (1, P["btn"][1])]), stroke=P["btn_border"])
            d.add(f'<circle cx="{cx - 36}" cy="{y + 8}" r="3.5" fill="{c}" opacity="{1 - i * .2}"/>')
            rect(d, cx - 26, y + 6, 40 + (i % 2) * 20, 4, 2, fill=P["glyph"], opacity=0.7)
        path(d, f"M{cx + 52} {cy - 30} C{cx + 68} {cy - 10} {cx + 68} {cy + 20} {cx + 52} {cy + 40} M{cx + 46} {cy + 32} L{cx + 52} {cy + 40} L{cx + 60} {cy + 34}",
             stroke=c, sw=2.2)
    elif kind == "skins":
        path(d, f"M{cx} {cy - 44} C{cx - 56} {cy - 44} {cx - 56} {cy + 42} {cx - 4} {cy + 42} "
                f"C{cx + 14} {cy + 42} {cx + 12} {cy + 18} {cx + 26} {cy + 16} C{cx + 50} {cy + 12} {cx + 48} {cy - 44} {cx} {cy - 44} Z",
             fill=d.vgrad([(0, P["btn"][0]), (1, P["btn"][1])]), stroke=c, sw=2.5)
        for (dx, dy), col in zip(((-24, -4), (-12, -26), (12, -28), (-20, 20)),
                                  ("#ff4b4b", "#ffc93b", c, "#3ba8ff")):
            d.add(f'<circle cx="{cx + dx}" cy="{cy + dy}" r="7" fill="{col}"/>')


def dlg_single(P):
    d = dialog_frame(P, "single-key dialog")
    inset(d, P, 16, 98, 192, 58)
    field_frame(d, P, 73, 128, 78, 16)
    dialog_art(d, P, "single", 296, 132)
    return d


def dlg_combo(P):
    d = dialog_frame(P, "combination-key dialog")
    inset(d, P, 34, 56, 114, 140)
    field_frame(d, P, 49, 69, 83, 16, arrow_from=117)
    field_frame(d, P, 50, 120, 81, 14)
    field_frame(d, P, 50, 170, 81, 14)
    for y in (102, 152):
        path(d, f"M90.5 {y - 5} V{y + 5} M85.5 {y} H95.5", stroke=P["accent"], sw=2)
    dialog_art(d, P, "combo", 276, 128)
    return d


def dlg_list(P, name, art, h=DIALOG_H):
    d = dialog_frame(P, name, h)
    inset(d, P, 28, 112, 138, 48)
    field_frame(d, P, 42, 128, 109, 16, arrow_from=136)
    dialog_art(d, P, art, 280, 130)
    return d


def dlg_fire(P):
    d = dialog_frame(P, "fire-key dialog", separator=False)
    inset(d, P, 6, 54, 384, 197)
    field_frame(d, P, 49, 69, 83, 16, arrow_from=117)
    field_frame(d, P, 50, 120, 81, 14)
    field_frame(d, P, 50, 170, 81, 14)
    hline(d, 12, 384, 187, "#ffffff", opacity=0.07)
    hline(d, 12, 384, 218, "#ffffff", opacity=0.05)
    dialog_art(d, P, "fire", 276, 118, on_inset=True)
    return d


def dlg_delay(P):
    d = dialog_frame(P, "delay-time dialog")
    inset(d, P, 10, 82, 204, 74)
    field_frame(d, P, 74, 129, 76, 14)
    dialog_art(d, P, "delay", 298, 128)
    return d


def dlg_macro(P):
    # Places: prompt (20,40)-(372,62); drop-down value (42,66)-(336,82) with its arrow up to 351;
    # list (42,84)-(351,244); option panes at (24, 104 + 44(k-1)) with their texts to the right
    # in (48, 98 + 44(k-1))-(380, 126 + 44(k-1)).
    d = dialog_frame(P, "macro-key dialog")
    inset(d, P, 10, 36, 372, 56)
    field_frame(d, P, 42, 66, 309, 16, arrow_from=336)
    inset(d, P, 10, 96, 372, 142)
    for k in range(3):
        y = 104 + 44 * k
        rect(d, 22, y - 2, 20, 20, 4, fill="#000000", opacity=0.4)
        if k:
            hline(d, 16, 376, y - 7, "#ffffff", opacity=0.06)
    return d


def dlg_skins(P):
    d = dialog_frame(P, "skins dialog")
    inset(d, P, 4, 58, 194, 98)
    rect(d, 40, 92, 113, 20, 3, fill="none", stroke=P["field_border"])
    field_frame(d, P, 42, 128, 109, 16, arrow_from=136)
    dialog_art(d, P, "skins", 286, 130)
    return d


# ---------------------------------------------------------------- program icon


ICON_OUTLINE = "M32 6 C19 6 13 16 13 28 V40 C13 51 21 58 32 58 C43 58 51 51 51 40 V28 C51 16 45 6 32 6 Z"


def icon_body(d, c, hi, small=False):
    """Mouse mark in a 64 x 64 box."""
    sw = 5 if small else 3.2
    path(d, ICON_OUTLINE, stroke=c, sw=sw)
    path(d, "M13.5 28 H50.5 M32 6.5 V28", stroke=c, sw=sw * .85)
    path(d, "M32 14 V21", stroke=hi, sw=sw * 1.2)


def program_icon():
    d = Doc(64, 64, "KOR VM31 program icon")
    bg = d.vgrad([(0, "#2a323c"), (1, "#0c0f13")])
    rect(d, 2, 2, 60, 60, 13, fill=bg)
    d.add('<rect x="2.5" y="2.5" width="59" height="59" rx="12.5" fill="none" stroke="#000000" stroke-opacity="0.6"/>')
    d.add('<rect x="3.5" y="3.5" width="57" height="57" rx="11.5" fill="none" stroke="#ffffff" stroke-opacity="0.12"/>')
    glow = d.blur(2.5)
    body = d.vgrad([(0, "#1f6b35"), (1, "#0a2612")])
    path(d, ICON_OUTLINE, fill=body)
    d.add(f'<g filter="{glow}" opacity="0.8">')
    icon_body(d, "#22e04f", "#22e04f", small=True)
    d.add("</g>")
    icon_body(d, "#3cf06a", "#d8ffe2", small=True)
    return d


# ---------------------------------------------------------------- output


def skin_documents(P):
    yield "main", main_image(P)
    yield "BasicSet2", page_basic(P)
    yield "AdvancedSet2", page_advanced(P)
    yield "Pane", el_pane(P, False)
    yield "PaneMakingTick", el_pane(P, True)
    yield "DropdownBox-normal", el_dropdown(P, False)
    yield "DropdownBox-over", el_dropdown(P, True)
    yield "slider-DPI-dark", el_cell(P, 16, 16, False, "DPI level cell")
    yield "slider-DPI-light", el_cell(P, 16, 16, True, "DPI level cell lit")
    yield "slider-RP-dark", el_cell(P, 70, 11, False, "report-rate segment", 3)
    yield "slider-RP-light", el_cell(P, 70, 11, True, "report-rate segment chosen", 3)
    yield "slider-dark", el_slider(P, False)
    yield "slider-light", el_slider(P, True)
    yield "button-normal", el_button(P, False)
    yield "button-over", el_button(P, True)
    for kind, name in (("close", "close"), ("min", "min"), ("skins", "Skins")):
        yield f"button-{name}-normal", el_icon_button(P, kind, False)
        yield f"button-{name}-over", el_icon_button(P, kind, True)
    yield "button-PrePage-normal", el_tab(P, "basic", False)
    yield "button-PrePage-over", el_tab(P, "basic", True)
    yield "button-NextPage-normal", el_tab(P, "advanced", False)
    yield "button-NextPage-over", el_tab(P, "advanced", True)
    yield "single-key", dlg_single(P)
    yield "combo-key", dlg_combo(P)
    yield "media-key", dlg_list(P, "media-key dialog", "media")
    yield "windows-key", dlg_list(P, "Windows-key dialog", "windows", WINDOWS_DIALOG_H)
    yield "fire-key", dlg_fire(P)
    yield "delay-time", dlg_delay(P)
    yield "macro-key", dlg_macro(P)
    yield "skins", dlg_skins(P)


def write(path_, text):
    os.makedirs(os.path.dirname(path_), exist_ok=True)
    with open(path_, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    count = 0
    for skin, P in PALETTES.items():
        documents = dict(skin_documents(P))
        if set(documents) != set(PICTURES):
            sys.exit(f"the pictures written here are not those of pictures.txt: "
                     f"missing {sorted(set(PICTURES) - set(documents))}, "
                     f"extra {sorted(set(documents) - set(PICTURES))}")
        for name, (_, width, height) in PICTURES.items():
            d = documents[name]
            if (d.w, d.h) != (width, height):
                sys.exit(f"{name} is written {d.w} x {d.h}, pictures.txt says {width} x {height}")
            write(os.path.join(HERE, skin, name + ".svg"), d.svg())
            count += 1
    write(os.path.join(HERE, "..", "icon", "kor-vm31.svg"), program_icon().svg())
    print(f"wrote {count} skin sources and the icon", file=sys.stderr)


if __name__ == "__main__":
    main()
