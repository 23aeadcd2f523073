#!/usr/bin/python3
"""Screenshots of the popup dialogs, each open over the main window, as a user sees them.

    dbus-run-session -- /usr/bin/python3 tests/e2e/dialog_screenshots.py --bin build/bin \\
        [--out docs/screenshots]

The program runs under Xvfb (no window manager, no compositor) against the emulated mouse, with
the desktop stand-in and no tray, so its window shows at start; record.ini holds one macro,
"Copy-Paste". Each dialog is opened by real clicks, as a user opens it, and written to
OUT/dialog-<name>.png: the main window's area with the dialog centred over it. Each dialog is
then cancelled.

- single-key, combo-key, media-key, windows-key, fire-key, macro-key: key row 3's function list
  on the basic page, then the dialog's entry.
- skins: the skin button, with the dialog's skin list open.
- delay-time: the advanced page, the macro "Copy-Paste" in the macro list, a double click on its
  first delay line ("50 ms") in the step list.

Capturing: the screen is read with a plain GetImage of the root window (libX11 through ctypes),
not with `xwd -root`. The program's windows use a colormap of their own, so xwd takes its
multi-visual path, which reads every region of that colormap from the lowest window holding it:
a dialog (a sibling top-level window above the main window) then comes out black although the
screen shows it. A shot is taken only once the dialog's area on the screen equals the dialog
window's own contents and is not one flat colour, so a dialog that never painted fails the run.
"""

import argparse
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "cli"))
import xwd_to_png  # noqa: E402
from x_screen import Screen, rows  # noqa: E402
from basic_e2e import LIST_TOPS, BasicRig, entry_y  # noqa: E402
from tray_e2e import Failure, wait_for  # noqa: E402

ROW = 3                                  # the key row whose function list opens the dialogs
ROW_BOX = (300, 199 + 23 * (ROW - 1) + 10)
LIST_X = 400                             # inside the function list
DIALOG_CANCEL = (300, 262)
RESTING_POINT = (20, 640)                # pointer away from every dialog while a shot is taken

# Picture name, entry of the function list.
FUNCTION_DIALOGS = (
    ("single-key", 11),
    ("combo-key", 12),
    ("media-key", 9),
    ("windows-key", 8),
    ("fire-key", 10),
    ("macro-key", 13),
)

ADVANCED_TAB = (80, 74)
SKINS_BUTTON = (710, 14)
SKIN_FIELD = (80, 136)                   # in the skins dialog
MACRO_LIST = (470, 220)                  # x inside the macro list, its top
STEP_LIST = (620, 220)                   # x inside the step list, its top
MACRO = ("Copy-Paste", ["Ctrl   Dn", "50 ms", "C   Dn", "50 ms", "C   Up", "50 ms", "V   Dn",
                        "50 ms", "V   Up", "50 ms", "Ctrl   Up"])


class ShotRig(BasicRig):
    def __init__(self, bin_dir, out_dir, keep):
        super().__init__(bin_dir, out_dir, keep)
        name, lines = MACRO
        with open(os.path.join(self.app, "record.ini"), "w", encoding="utf-8",
                  newline="") as ini:
            ini.write("[%s]\r\nItemCount=%d\r\n" % (name, len(lines)))
            ini.writelines("Item%d=%s\r\n" % (k, line) for k, line in enumerate(lines))
        self.screen = None

    def start(self):
        self.start_x()
        self.screen = Screen(self.env["DISPLAY"])
        self.start_desktop(with_watcher=False)
        self.start_emulator()
        self.program = self.start_program()
        self.window = wait_for("the window", lambda: self.visible_windows(self.program.pid))[0]
        time.sleep(0.5)

    def stop(self):
        if self.screen is not None:
            self.screen.close()
        super().stop()

    def geometry(self, window):
        found = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                               env=self.env, capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in found.split())
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def popup(self, what):
        return wait_for(what, lambda: [w for w in self.visible_windows(self.program.pid)
                                       if w != self.window])[0]

    def shown_in_full(self, dialog):
        """The dialog's area on the screen equals the dialog's own contents, and they are a
        picture, not one flat colour (whose rows would all be alike)."""
        box = self.geometry(dialog)
        on_screen = rows(self.screen.grab(box))
        own = rows(self.screen.grab((0, 0, box[2], box[3]), int(dialog)))
        return on_screen == own and len(set(own)) > 1

    def shoot(self, dialog, name):
        self.xdotool("mousemove", "--window", self.window, *map(str, RESTING_POINT))
        wait_for("the %s dialog on the screen" % name, lambda: self.shown_in_full(dialog))
        box = self.geometry(self.window)
        dialog_box = self.geometry(dialog)
        path = os.path.join(self.out_dir, "dialog-%s.png" % name)
        xwd_to_png.convert(self.screen.grab(box), path)
        print("%s: dialog %dx%d at %+d%+d of the window" % (
            path, dialog_box[2], dialog_box[3], dialog_box[0] - box[0], dialog_box[1] - box[1]))

    def close_dialog(self, dialog, name):
        self.click(dialog, *DIALOG_CANCEL)
        wait_for("the %s dialog to close" % name,
                 lambda: dialog not in self.visible_windows(self.program.pid))

def shoot_function_dialogs(rig):
    top = LIST_TOPS[ROW - 1]
    entries = None
    for name, entry in FUNCTION_DIALOGS:
        rig.click(rig.window, *ROW_BOX)
        if entries is None:
            entries = rig.list_entries(rig.window, LIST_X, top, 445)
        rig.click(rig.window, LIST_X, entry_y(entries, top, entry))
        dialog = rig.popup("the %s dialog" % name)
        rig.shoot(dialog, name)
        rig.close_dialog(dialog, name)


def shoot_delay_dialog(rig):
    rig.click(rig.window, *ADVANCED_TAB)
    x, top = MACRO_LIST
    rig.click(rig.window, x, top + 5)               # "Copy-Paste", the first macro
    x, top = STEP_LIST
    y = entry_y(rig.list_entries(rig.window, x, top, x + 40), top, 1)  # the second line, "50 ms"
    rig.xdotool("mousemove", "--window", rig.window, str(x), str(y))
    rig.xdotool("mousemove", "--window", rig.window, str(x + 1), str(y), "click",
                "--repeat", "2", "--delay", "80", "1")
    dialog = rig.popup("the delay-time dialog")
    rig.shoot(dialog, "delay-time")
    rig.close_dialog(dialog, "delay-time")


def shoot_skins_dialog(rig):
    rig.click(rig.window, *SKINS_BUTTON)
    dialog = rig.popup("the skins dialog")
    rig.click(dialog, *SKIN_FIELD)                   # the skin list opens below the field
    rig.shoot(dialog, "skins")
    rig.close_dialog(dialog, "skins")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the folder holding KOR_VM31 and vm31ctl")
    parser.add_argument("--out", default=os.path.join(HERE, "..", "..", "docs", "screenshots"))
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    options = parser.parse_args()
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        sys.exit("run me inside dbus-run-session")
    out_dir = os.path.abspath(options.out)
    os.makedirs(out_dir, exist_ok=True)
    rig = ShotRig(options.bin, out_dir, options.keep)
    try:
        rig.start()
        shoot_function_dialogs(rig)
        shoot_delay_dialog(rig)
        shoot_skins_dialog(rig)
    except Failure as failure:
        print("FAILED:", failure)
        print(rig.x_report())
        return 1
    finally:
        rig.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
