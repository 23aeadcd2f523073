#!/usr/bin/python3
"""End-to-end test of the advanced page and the skins dialog: real clicks and key presses on
KOR_VM31 under Xvfb, against the emulated mouse with its wire trace and against real GSettings
(the keyfile backend in a private configuration folder).

Run inside `dbus-run-session`. On a desktop without a tray the window shows at start.

1. The desktop's pointer speed is set to -0.5 beforehand; the page shows it as slider position 3.
2. The skins dialog: "Light" is chosen and confirmed; the page is redrawn in it at once.
3. A macro "Dash" is made with New, recorded from the keys A and B (Start Recording, the keys,
   Stop Recording) and confirmed. B is held for 1.5 s through the X server's own key events,
   which the server repeats: it still records one press and one release. The window's title
   (WM_NAME) is "Gaming Mouse Setting" before and after, the recorder's Ctrl+Break hint while it
   records.
4. Pointer-speed position 9 is chosen and OK pressed: GSettings holds speed 0.6, record.ini
   the seven recorded lines, config.bin's macro block 0 the bytes 05 04 85 04 05 05 80 05 from
   byte 2, and the independent trace decoder finds exactly that record on the wire.
5. After a restart the page is drawn in "Light" again.
"""

import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "cli"))
from basic_e2e import BasicRig, check_trace, run_main  # noqa: E402
from tray_e2e import Failure, wait_for  # noqa: E402

MACRO_BLOCKS = 384  # offset of macro block 0 in the record (config.bin without its first byte)
DASH_BLOCK = [0x05, 0x04, 0x85, 0x04, 0x05, 0x05, 0x80, 0x05]
DASH_LINES = ["A   Dn", "50 ms", "A   Up", "50 ms", "B   Dn", "50 ms", "B   Up"]
SCHEMA = "org.gnome.desktop.peripherals.mouse"

ADVANCED_TAB = (80, 74)
SKINS_BUTTON = (710, 14)
CLOSE_BUTTON = (859, 14)
OK_BUTTON = (600, 633)
NEW_BUTTON = (565, 538)
CONFIRM_BUTTON = (773, 538)
START_RECORDING = (749, 243)
STOP_RECORDING = (749, 279)
MACRO_NAME = (767, 329)
SLIDER_ROW = 205  # the pointer-speed slider's cells, 24 pixels wide from x = 52
SKIN_FIELD = (80, 136)  # in the skins dialog
SKIN_LIST_TOP = 146
SKIN_LIST_X = 140  # right of the skin names, so only the highlight differs from the list
DIALOG_OK = (200, 262)
SKIN_SAMPLE_COLUMN = (300, 100, 190)  # x, top, bottom: page picture, no controls


def cell_x(position):
    return 52 + 24 * (position - 1) + 12


class AdvancedRig(BasicRig):
    def gsettings(self, *args):
        done = subprocess.run(["gsettings", *args], env=self.env, capture_output=True, text=True)
        if done.returncode != 0:
            raise Failure("gsettings %s: %s" % (" ".join(args), done.stderr.strip()))
        return done.stdout.strip()

    def screen_column(self, window, x, top, bottom):
        x0, y0 = self.origin(window)
        return self.column(x0 + x, y0 + top, y0 + bottom)

    def lit_cells(self, window):
        """Pointer-speed cells drawn like cell 1 when cell 1 is lit, counted from the left."""
        x0, y0 = self.origin(window)
        colours = [self.column(x0 + cell_x(p), y0 + SLIDER_ROW, y0 + SLIDER_ROW + 1)[0]
                   for p in range(1, 12)]
        lit = 0
        while lit < 11 and colours[lit] == colours[0]:
            lit += 1
        return lit if colours[-1] != colours[0] else 11

    def popup(self, program, window, what):
        return wait_for(what, lambda: [w for w in self.visible_windows(program.pid)
                                       if w != window])[0]

    def answer_message(self, program, window, what):
        """Closes a message box with a click on its OK button, at its bottom right. (Return would
        do too, but the recorder that starts when the box closes would record its release.)"""
        box = self.popup(program, window, what)
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", box], env=self.env,
                                  capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in geometry.split())
        self.click(box, int(values["WIDTH"]) - 30, int(values["HEIGHT"]) - 22)
        wait_for("the message box to close",
                 lambda: box not in self.visible_windows(program.pid))

    def item_height(self, window, x, top):
        """The height of a list item, from the highlight that hovering the first item draws."""
        self.xdotool("mousemove", "--window", window, str(x), str(top + 3))
        self.xdotool("mousemove", "--window", window, str(x + 1), str(top + 4))
        pixels = self.screen_column(window, x, top, top + 60)
        background = pixels[-1]
        lit = [i for i, p in enumerate(pixels) if p != background and p != (0, 0, 0)]
        if not lit:
            raise Failure("no highlighted item in the list at %d,%d" % (x, top))
        return lit[-1] + 1


def choose_light_skin(rig, program, window):
    rig.click(window, *SKINS_BUTTON)
    dialog = rig.popup(program, window, "the skins dialog")
    rig.click(dialog, *SKIN_FIELD)
    height = rig.item_height(dialog, SKIN_LIST_X, SKIN_LIST_TOP)
    rig.click(dialog, SKIN_LIST_X, SKIN_LIST_TOP + height + height // 2)  # "Light", after "Dark"
    rig.click(dialog, *DIALOG_OK)
    wait_for("the skins dialog to close", lambda: dialog not in rig.visible_windows(program.pid))


MAIN_TITLE = "Gaming Mouse Setting"
RECORDING_TITLE = "Press Ctrl+Break key to stop recording"


def window_title(rig, window):
    """The window's WM_NAME as task switchers read it."""
    shown = subprocess.run(["xprop", "-id", window, "WM_NAME"], env=rig.env,
                           capture_output=True, text=True).stdout
    return shown.split("=", 1)[1].strip().strip('"') if "=" in shown else ""


def expect_title(rig, window, title):
    wait_for("the window titled %r" % title, lambda: window_title(rig, window) == title)


def record_dash(rig, program, window):
    expect_title(rig, window, MAIN_TITLE)
    rig.click(window, *MACRO_NAME)
    rig.xdotool("key", "--window", window, "ctrl+a")
    rig.xdotool("type", "--window", window, "Dash")
    rig.click(window, *NEW_BUTTON)
    rig.click(window, *START_RECORDING)
    rig.answer_message(program, window, "the start-recording message")
    expect_title(rig, window, RECORDING_TITLE)
    rig.xdotool("key", "--window", window, "a")
    rig.xdotool("windowfocus", window)
    rig.xdotool("keydown", "b")
    time.sleep(1.5)  # long enough for the server's auto-repeat to start
    rig.xdotool("keyup", "b")
    rig.click(window, *STOP_RECORDING)
    rig.answer_message(program, window, "the stop-recording message")
    expect_title(rig, window, MAIN_TITLE)
    rig.click(window, *CONFIRM_BUTTON)


def scenario(rig):
    trace = os.path.join(rig.root, "trace.jsonl")
    rig.env["GSETTINGS_BACKEND"] = "keyfile"
    rig.gsettings("set", SCHEMA, "speed", "-0.5")
    rig.start_desktop(with_watcher=False)
    rig.start_emulator_traced(trace)
    program = rig.start_program()
    window = wait_for("the window", lambda: rig.visible_windows(program.pid))[0]
    time.sleep(0.5)

    rig.click(window, *ADVANCED_TAB)
    lit = rig.lit_cells(window)
    if lit != 3:
        raise Failure("desktop speed -0.5 shows %d lit cells, 3 expected" % lit)

    dark_page = rig.screen_column(window, *SKIN_SAMPLE_COLUMN)
    choose_light_skin(rig, program, window)
    light_page = wait_for("the page in the new skin",
                          lambda: (lambda c: c if c != dark_page else None)(
                              rig.screen_column(window, *SKIN_SAMPLE_COLUMN)))

    record_dash(rig, program, window)
    rig.click(window, cell_x(9), SLIDER_ROW)
    rig.click(window, *OK_BUTTON)

    config_path = os.path.join(rig.app, "config.bin")

    def applied():
        with open(config_path, "rb") as handle:
            record = handle.read()[1:]
        block = list(record[MACRO_BLOCKS + 2:MACRO_BLOCKS + 2 + len(DASH_BLOCK)])
        return record if block == DASH_BLOCK else None
    record = wait_for("config.bin with the Dash macro", applied)
    if any(record[MACRO_BLOCKS + 2 + len(DASH_BLOCK):MACRO_BLOCKS + 128]):
        raise Failure("macro block 0 holds bytes after the Dash events")

    speed = float(wait_for("the pointer speed in GSettings",
                           lambda: (lambda v: v if abs(float(v) - 0.6) < 1e-9 else None)(
                               rig.gsettings("get", SCHEMA, "speed"))))
    print("GSettings speed", speed)

    with open(os.path.join(rig.app, "record.ini"), encoding="utf-8") as ini:
        lines = [line.strip() for line in ini if line.strip()]
    expected = ["[Dash]", "ItemCount=7"] + ["Item%d=%s" % (i, text)
                                           for i, text in enumerate(DASH_LINES)]
    if lines != expected:
        raise Failure("record.ini holds %r" % lines)
    with open(os.path.join(rig.app, "str.ini"), encoding="utf-8", errors="replace") as ini:
        if "Path=Light" not in ini.read():
            raise Failure("str.ini does not keep the Light skin")

    check_trace(trace, config_path)

    # Restart: a second start brings the hidden window forward; its close button ends it.
    rig.start_program()
    wait_for("the window again", lambda: rig.visible_windows(program.pid))
    rig.click(window, *CLOSE_BUTTON)
    wait_for("the program to end", lambda: program.poll() is not None)
    program = rig.start_program()
    window = wait_for("the restarted window", lambda: rig.visible_windows(program.pid))[0]
    time.sleep(0.5)
    rig.click(window, *ADVANCED_TAB)
    if rig.lit_cells(window) != 9:
        raise Failure("after the restart the pointer speed does not show position 9")
    if rig.screen_column(window, *SKIN_SAMPLE_COLUMN) != light_page:
        raise Failure("after the restart the page is not drawn in the Light skin")


if __name__ == "__main__":
    sys.exit(run_main(AdvancedRig, scenario, "advanced page"))
