#!/usr/bin/python3
"""End-to-end test of the basic page: real clicks and key presses on KOR_VM31 under Xvfb,
against the emulated mouse with its wire trace.

Run inside `dbus-run-session`. On a desktop without a tray the window shows at start. The test
opens key row 3, chooses "Combo Key", presses X at once (no field has the focus yet, so nothing
changes), picks "Left Ctrl" in the dialog, focuses the second key field, presses C and confirms;
gives row 4 "DPI Switch" -> "DPI +" from the cascade; picks 500 Hz; presses Apply. Then
config.bin holds the choices (row 3's key word 00 01 00 06, slot 2
of key matrix 1; row 4's 07 00 01 00; report rate code 2), str.ini the rows' new captions, and
the independent trace decoder (tests/cli/trace_decoder.py) finds exactly that record on the wire.
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
import trace_decoder  # noqa: E402
import xwd_to_png  # noqa: E402
from x_screen import Screen, pixel_column  # noqa: E402
from tray_e2e import Failure, Rig, wait_for  # noqa: E402

REPORT_RATE_OFFSET = 1925
LIST_TOPS = [221 + 23 * row for row in range(7)]  # the function lists of rows 1..7
ENTRIES = 16


class BasicRig(Rig):
    def start_emulator_traced(self, trace):
        self.spawn([os.path.join(self.bin_dir, "vm31ctl"), "emulator", "run", "--sensor-type",
                    "0", "--trace", trace], stdout=subprocess.DEVNULL)
        wait_for("the emulated mouse",
                 lambda: self.vm31ctl("emulator", "status").stdout.startswith("plugged"))

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)
        time.sleep(0.3)

    def click(self, window, x, y):
        self.xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")

    def origin(self, window):
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                  env=self.env, capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in geometry.split())
        return int(values["X"]), int(values["Y"])

    def column(self, x, top, bottom):
        """The pixels (r, g, b) of screen column x from top to bottom (exclusive)."""
        screen = Screen(self.env["DISPLAY"])
        try:
            return pixel_column(screen.grab((x, top, 1, bottom - top)))
        finally:
            screen.close()

    def save_screen(self, name):
        """The screen as it shows now, into the output folder."""
        screen = Screen(self.env["DISPLAY"])
        try:
            os.makedirs(self.out_dir, exist_ok=True)
            path = os.path.join(self.out_dir, name)
            xwd_to_png.convert(screen.grab((0, 0, 1000, 720)), path)
            return path
        finally:
            screen.close()

    def list_entries(self, window, x, top, probe_x):
        """Where the entries of the open list whose top is at `top` lie: (inset, height), the
        first entry's offset from the list's top (its border) and the height of an entry (entry
        heights follow the font). Measured in window column `probe_x` as the pixels that
        hovering the first entry at `x` changes."""
        x0, y0 = self.origin(window)
        before = self.column(x0 + probe_x, y0 + top, y0 + top + 60)
        self.xdotool("mousemove", "--window", window, str(x), str(top + 4))
        self.xdotool("mousemove", "--window", window, str(x + 1), str(top + 5))
        after = self.column(x0 + probe_x, y0 + top, y0 + top + 60)
        lit = [i for i, (old, new) in enumerate(zip(before, after)) if old != new]
        if not lit:
            raise Failure("hovering the first entry of the list at %d, %d highlighted nothing"
                          % (x, top))
        return lit[0], lit[-1] - lit[0] + 1


def entry_y(entries, top, entry):
    """The middle of a list's entry (0 = first) for the list's (inset, height)."""
    inset, height = entries
    return top + inset + entry * height + height // 2


def entry_point(entries, row, entry):
    return 400, entry_y(entries, LIST_TOPS[row - 1], entry)


def scenario(rig):
    trace = os.path.join(rig.root, "trace.jsonl")
    rig.start_desktop(with_watcher=False)
    rig.start_emulator_traced(trace)
    program = rig.start_program()
    window = wait_for("the window", lambda: rig.visible_windows(program.pid))[0]
    time.sleep(0.5)

    # Row 3: "Combo Key" with Left Ctrl + C.
    rig.click(window, 300, 199 + 23 * 2 + 10)
    entries = rig.list_entries(window, 400, LIST_TOPS[2], 445)
    print("function list entries: first at %d, %d pixels high" % entries)
    rig.click(window, *entry_point(entries, 3, 12))
    dialog = wait_for("the combination dialog",
                      lambda: [w for w in rig.visible_windows(program.pid) if w != window])[0]
    rig.xdotool("key", "--window", dialog, "x")  # before any field is clicked: no key
    rig.click(dialog, 60, 76)    # the modifier field opens its list
    rig.click(dialog, 60, 95)    # "Left Ctrl", its first entry
    rig.click(dialog, 90, 177)   # the second key field
    rig.xdotool("key", "--window", dialog, "c")
    rig.click(dialog, 200, 262)  # OK
    wait_for("the dialog to close", lambda: dialog not in rig.visible_windows(program.pid))

    # Row 4: hovering "DPI Switch" opens the cascade beside it; "DPI +" is its first entry.
    rig.click(window, 300, 199 + 23 * 3 + 10)
    x, y = entry_point(entries, 4, 6)
    rig.xdotool("mousemove", "--window", window, str(x), str(y))
    rig.xdotool("mousemove", "--window", window, str(x + 1), str(y))
    rig.click(window, 463 + 20, y)  # level with "DPI Switch"

    # The other dialogs of the function list, each cancelled: the rows keep their functions.
    for entry, name in ((8, "Windows"), (9, "media"), (10, "fire-key"), (11, "single-key"),
                        (13, "macro key")):
        rig.click(window, 300, 199 + 23 * 4 + 10)
        rig.click(window, *entry_point(entries, 5, entry))
        shown = wait_for("the %s dialog" % name,
                         lambda: [w for w in rig.visible_windows(program.pid) if w != window])[0]
        rig.click(shown, 300, 262)  # Cancel
        wait_for("the dialog to close", lambda: shown not in rig.visible_windows(program.pid))

    rig.click(window, 720, 209)  # 500 Hz
    rig.click(window, 700, 633)  # Apply

    config_path = os.path.join(rig.app, "config.bin")

    def applied():
        with open(config_path, "rb") as handle:
            record = handle.read()[1:]
        return record if record[REPORT_RATE_OFFSET] == 2 else None
    record = wait_for("config.bin with 500 Hz", applied)
    for button, word in ((2, [0x00, 0x01, 0x00, 0x06]), (3, [0x07, 0x00, 0x01, 0x00])):
        if trace_decoder.key_word(record, 0, button) != word:
            raise Failure("row %d's key word is %r" % (button + 1,
                                                       trace_decoder.key_word(record, 0, button)))
    # The apply saves str.ini after config.bin: wait for it as well.
    def captions_saved():
        with open(os.path.join(rig.app, "str.ini"), encoding="utf-8", errors="replace") as ini:
            text = ini.read()
        return "Item3=Combo Key-Left Ctrl+C" in text and "Item4=DPI +" in text
    try:
        wait_for("str.ini with the new captions", captions_saved)
    except Failure:
        with open(os.path.join(rig.app, "str.ini"), encoding="utf-8", errors="replace") as ini:
            raise Failure("str.ini lacks the new captions:\n" + ini.read())
    check_trace(trace, config_path)


def check_trace(trace, config_path):
    """The independent decoder finds exactly the record of config_path on the wire."""
    checked = subprocess.run([sys.executable, os.path.join(HERE, "..", "cli", "trace_decoder.py"),
                              trace, config_path], capture_output=True, text=True)
    if checked.returncode != 0:
        raise Failure("wire trace: " + checked.stderr.strip())
    print(checked.stdout.strip())


def run_main(rig_class, scenario_function, what):
    """Runs one scenario under a fresh X server; on a failure the screen is saved into
    <bin>/screenshots for the report."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--keep", action="store_true")
    options = parser.parse_args()
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        sys.exit("run me inside dbus-run-session")
    rig = rig_class(options.bin, os.path.join(options.bin, "screenshots"), options.keep)
    try:
        rig.start_x()
        scenario_function(rig)
    except Failure as failure:
        print("FAILED:", failure)
        print("the screen at the failure:", rig.save_screen(what.replace(" ", "-") + "-failure.png"))
        print(rig.x_report())
        return 1
    finally:
        rig.stop()
    print("passed:", what)
    return 0


if __name__ == "__main__":
    sys.exit(run_main(BasicRig, scenario, "basic page"))
