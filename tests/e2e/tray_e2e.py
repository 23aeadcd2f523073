#!/usr/bin/python3
"""End-to-end test of KOR_VM31 on a desktop stand-in, against the emulated mouse.

Run inside `dbus-run-session`: the session bus is the test's own. The test starts an X server
(Xvfb), the desktop stand-in (desktop_standin.py), the emulated mouse (`vm31ctl emulator run`)
and the program, all with a private runtime, config and data folder, then drives them from
outside: the emulator's buttons and plug, the tray item over D-Bus, keys with xdotool.

Scenarios:
  tray     a desktop with a StatusNotifier host: start -> tray item and the detected notice;
           DPI switch -> its notice; unplug -> the warning; plug; Activate on the item -> the
           window is mapped, centred on the screen (screenshot); a second start ends at once
           with 0 and changes nothing; the window moved, Escape, then a second start with
           --show -> the window is mapped again where it was moved; the menu's Exit -> exit
           code 0.
  no-tray  a desktop without a tray: the window is shown at start and the notices still arrive;
           Escape hides it; a second start ends with 0 and brings the window back.
  no-backend  the device backend cannot start: no XDG_RUNTIME_DIR and, in a mount namespace of
           the program's own, a read-only fallback runtime folder that cannot be made private.
           The program still starts in the tray, says the mouse was not detected and answers
           the tray as with the mouse absent. Needs unshare (root); skipped (77) otherwise.
"""

import argparse
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no caches in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import xwd_to_png  # noqa: E402
from failure import Failure  # noqa: E402,F401  (the scripts take it from here)

from gi.repository import Gio, GLib  # noqa: E402

SCREEN = (1280, 1024)  # the size of Xvfb's screen
WAIT_SECONDS = 30  # an upper bound for slow machines; nothing here measures time

DETECTED = "The system detect the gaming mouse."
NOT_DETECTED = "The system did not detect the gaming mouse!"
SECOND_STAGE = "Switch DPI into the second stage "


def wait_for(what, probe, seconds=WAIT_SECONDS):
    deadline = time.monotonic() + seconds
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


class Rig:
    def __init__(self, bin_dir, out_dir, keep, portable=True):
        self.bin_dir = os.path.abspath(bin_dir)  # the Skins link below must not be relative
        self.out_dir = out_dir
        self.root = tempfile.mkdtemp(prefix="kor-vm31-e2e-")
        self.keep = keep
        self.processes = []
        self.x_server = None
        for name in ("runtime", "config", "data", "home", "app"):
            os.makedirs(os.path.join(self.root, name), mode=0o700)
        # A portable copy of the program: its own config.bin and str.ini, the built skins.
        # Otherwise the program of bin_dir runs as installed, with the per-user folder.
        self.app = os.path.join(self.root, "app") if portable else self.bin_dir
        if portable:
            shutil.copy2(os.path.join(self.bin_dir, "KOR_VM31"), self.app)
            for name in ("config.bin", "str.ini", "record.ini"):
                shutil.copy2(os.path.join(self.bin_dir, name), self.app)
            os.symlink(os.path.join(self.bin_dir, "Skins"), os.path.join(self.app, "Skins"))
        self.log = os.path.join(self.root, "desktop.log")
        open(self.log, "w").close()
        self.env = dict(os.environ)
        self.env.update({
            "XDG_RUNTIME_DIR": os.path.join(self.root, "runtime"),
            "XDG_CONFIG_HOME": os.path.join(self.root, "config"),
            "XDG_DATA_HOME": os.path.join(self.root, "data"),
            "HOME": os.path.join(self.root, "home"),
            "QT_QPA_PLATFORM": "xcb",
            "LC_ALL": "C.UTF-8",
        })
        for name in ("WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION"):
            self.env.pop(name, None)

    def spawn(self, args, **kwargs):
        process = subprocess.Popen(args, env=self.env, **kwargs)
        self.processes.append(process)
        return process

    def start_x(self):
        # Xvfb picks a free display number itself (-displayfd) and writes it once it accepts
        # connections: a number chosen here could clash with a server of a test running at the
        # same time, whose display would then answer for ours. It listens on the abstract socket
        # alone, which the kernel frees when the server ends: no socket file or lock file of
        # ours or of a server that ended without cleaning up can stand in another's way. No
        # reset when the last client leaves: the checks connect and disconnect all the time.
        reader, writer = os.pipe()
        self.x_log = os.path.join(self.root, "xvfb.log")
        with open(self.x_log, "w") as log:
            self.x_server = self.spawn(
                ["Xvfb", "-displayfd", str(writer), "-screen", "0", "%dx%dx24" % SCREEN,
                 "-nolisten", "tcp", "-nolisten", "unix", "-nolock", "-noreset"],
                stderr=log, pass_fds=(writer,))
        os.close(writer)
        with os.fdopen(reader) as announced:
            number = announced.readline().strip()
        if not number.isdigit():
            raise Failure("no X server could be started")
        self.env["DISPLAY"] = ":" + number

    def x_report(self):
        """Whether the X server still runs, and what it said: printed with a failure."""
        if self.x_server is None:
            return "no X server was started"
        state = ("runs" if self.x_server.poll() is None
                 else "ended with %d" % self.x_server.returncode)
        with open(self.x_log, encoding="utf-8", errors="replace") as log:
            said = log.read()[-2000:]
        return "the X server on %s %s; it said:\n%s" % (self.env.get("DISPLAY"), state, said)

    def start_desktop(self, with_watcher):
        args = [sys.executable, os.path.join(HERE, "desktop_standin.py"), "--log", self.log]
        if not with_watcher:
            args.append("--no-watcher")
        self.spawn(args)
        wait_for("the desktop stand-in", lambda: self.events("ready"))

    def vm31ctl(self, *args):
        return subprocess.run([os.path.join(self.bin_dir, "vm31ctl"), *args], env=self.env,
                              capture_output=True, text=True, timeout=WAIT_SECONDS)

    def start_emulator(self):
        self.spawn([os.path.join(self.bin_dir, "vm31ctl"), "emulator", "run", "--sensor-type",
                    "0"], stdout=subprocess.DEVNULL)
        wait_for("the emulated mouse",
                 lambda: self.vm31ctl("emulator", "status").stdout.startswith("plugged"))

    def emulator(self, *args):
        answer = self.vm31ctl("emulator", *args)
        if answer.returncode != 0:
            raise Failure("vm31ctl emulator %s: %s" % (" ".join(args), answer.stderr.strip()))

    def start_program(self, *options):
        return self.spawn([os.path.join(self.app, "KOR_VM31"), *options])

    def events(self, kind):
        with open(self.log, encoding="utf-8") as log:
            return [record for record in map(json.loads, filter(str.strip, log))
                    if record["event"] == kind]

    def wait_notice(self, body, summary, timeout, after):
        def probe():
            notices = self.events("notify")[after:]
            return [n for n in notices if n["body"] == body]
        found = wait_for("the notice %r" % body, probe)[0]
        if (found["summary"], found["timeout"]) != (summary, timeout):
            raise Failure("notice %r came with title %r and time-out %r, not %r and %r"
                          % (body, found["summary"], found["timeout"], summary, timeout))
        return len(self.events("notify"))

    def visible_windows(self, pid):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                               env=self.env, capture_output=True, text=True)
        return found.stdout.split()

    def window_place(self, window):
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                  env=self.env, capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in geometry.split())
        return int(values["X"]), int(values["Y"])

    def screenshot(self, window, name):
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                  env=self.env, capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in geometry.split())
        dump = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True,
                              check=True).stdout
        os.makedirs(self.out_dir, exist_ok=True)
        path = os.path.join(self.out_dir, name)
        box = tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        xwd_to_png.convert(dump, path, box)
        return path, box

    def main_picture_size(self):
        """Width and height of the current skin's main.png (the skin named in str.ini)."""
        with open(os.path.join(self.app, "str.ini"), encoding="utf-8", errors="replace") as ini:
            skin = re.search(r"^Path=(.*?)\s*$", ini.read(), re.M).group(1)
        with open(os.path.join(self.bin_dir, "Skins", skin, "main.png"), "rb") as png:
            head = png.read(24)
        return struct.unpack(">II", head[16:24])

    def check_window_size(self, box):
        if tuple(box[2:]) != self.main_picture_size():
            raise Failure("the window is %dx%d, not the size of the skin's main.png %r"
                          % (box[2], box[3], self.main_picture_size()))

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        if not self.keep:
            shutil.rmtree(self.root, ignore_errors=True)


def stage_label(rig):
    shown = rig.vm31ctl("config", "show", "--config", os.path.join(rig.app, "config.bin"))
    match = re.search(r"^dpi stage 2: .*\(sensor type 0: (.*) DPI\)", shown.stdout, re.M)
    if not match:
        raise Failure("no DPI label for stage 2 in:\n" + shown.stdout)
    return match.group(1)


def item_proxy(rig, interface):
    item = rig.events("item-registered")[-1]
    return Gio.DBusProxy.new_for_bus_sync(Gio.BusType.SESSION, Gio.DBusProxyFlags.NONE, None,
                                          item["service"], item["path"], interface, None)


def hide_with_escape(rig, program, window):
    def press_escape():
        # Focus may reach the window a moment after it was asked for: the key is sent again
        # until the window goes (a further Escape to a hidden window changes nothing).
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=rig.env,
                       capture_output=True)
        subprocess.run(["xdotool", "key", "--window", window, "Escape"], env=rig.env, check=True)
        time.sleep(0.2)
        return not rig.visible_windows(program.pid)
    wait_for("Escape to hide the window", press_escape)


def second_start_ends_at_once(rig, *options):
    second = rig.start_program(*options)
    try:
        code = second.wait(WAIT_SECONDS)
    except subprocess.TimeoutExpired:
        raise Failure("the second start is still running")
    if code != 0:
        raise Failure("the second start ended with %d, not 0" % code)


def scenario_tray(rig):
    rig.start_desktop(with_watcher=True)
    rig.start_emulator()
    label = stage_label(rig)
    program = rig.start_program()

    wait_for("the tray item", lambda: rig.events("item-registered"))
    seen = rig.wait_notice(DETECTED, "Info", 5000, 0)
    if rig.visible_windows(program.pid):
        raise Failure("the window is shown at start although a tray exists")

    rig.emulator("press", "dpi", "2")
    seen = rig.wait_notice(SECOND_STAGE + label, "Info", 5000, seen)

    rig.emulator("unplug")
    seen = rig.wait_notice(NOT_DETECTED, "Warning", 5000, seen)
    rig.emulator("plug")
    seen = rig.wait_notice(DETECTED, "Info", 5000, seen)

    item_proxy(rig, "org.kde.StatusNotifierItem").call_sync(
        "Activate", GLib.Variant("(ii)", (10, 10)), Gio.DBusCallFlags.NONE, 5000, None)
    window = wait_for("the window to be mapped", lambda: rig.visible_windows(program.pid))[0]
    path, box = rig.screenshot(window, "tray-window.png")
    print("screenshot:", path, "window", box)
    rig.check_window_size(box)
    # The first show centres the window on the screen (to the pixel that halving rounds away).
    for offset, size, screen in ((box[0], box[2], SCREEN[0]), (box[1], box[3], SCREEN[1])):
        if abs(2 * offset + size - screen) > 2:
            raise Failure("the window at %r is not centred on the %dx%d screen" % (box, *SCREEN))
    # Where the user drags it, it comes back after hide and show.
    subprocess.run(["xdotool", "windowmove", "--sync", window, "40", "60"], env=rig.env,
                   check=True)

    registered = len(rig.events("item-registered"))
    second_start_ends_at_once(rig)
    if len(rig.events("item-registered")) != registered:
        raise Failure("the second start registered a tray item")
    if program.poll() is not None or not rig.visible_windows(program.pid):
        raise Failure("the second start changed the running program")

    # `--show` to the instance in the tray brings its hidden window back.
    hide_with_escape(rig, program, window)
    second_start_ends_at_once(rig, "--show")
    window = wait_for("--show to map the running instance's window",
                      lambda: rig.visible_windows(program.pid))[0]
    place = rig.window_place(window)
    if place != (40, 60):
        raise Failure("the window came back at %r, not where it was moved to (40, 60)" % (place,))
    if len(rig.events("item-registered")) != registered:
        raise Failure("the start with --show registered a tray item")

    # The tray menu, as the desktop shows it: its one item ends the program.
    menu_path = item_proxy(rig, "org.kde.StatusNotifierItem").get_cached_property("Menu")
    item = rig.events("item-registered")[-1]
    menu = Gio.DBusProxy.new_for_bus_sync(Gio.BusType.SESSION, Gio.DBusProxyFlags.NONE, None,
                                          item["service"], menu_path.unpack(),
                                          "com.canonical.dbusmenu", None)
    _, layout = menu.call_sync("GetLayout", GLib.Variant("(iias)", (0, -1, [])),
                               Gio.DBusCallFlags.NONE, 5000, None).unpack()
    entries = [child for child in layout[2]]
    labels = {entry[0]: entry[1].get("label", "") for entry in entries}
    exit_ids = [entry_id for entry_id, text in labels.items() if text.replace("&", "") == "Exit"]
    if len(exit_ids) != 1:
        raise Failure("the tray menu is %r, not one item \"Exit\"" % labels)
    menu.call_sync("Event", GLib.Variant("(isvu)", (exit_ids[0], "clicked",
                                                    GLib.Variant("i", 0), 0)),
                   Gio.DBusCallFlags.NONE, 5000, None)
    try:
        code = program.wait(WAIT_SECONDS)
    except subprocess.TimeoutExpired:
        raise Failure("Exit in the tray menu did not end the program")
    if code != 0:
        raise Failure("the program ended with %d after Exit, not 0" % code)


def scenario_no_tray(rig):
    rig.start_desktop(with_watcher=False)
    rig.start_emulator()
    label = stage_label(rig)
    program = rig.start_program()

    window = wait_for("the window shown at start", lambda: rig.visible_windows(program.pid))[0]
    seen = rig.wait_notice(DETECTED, "Info", 5000, 0)
    rig.emulator("press", "dpi", "2")
    seen = rig.wait_notice(SECOND_STAGE + label, "Info", 5000, seen)
    path, box = rig.screenshot(window, "no-tray-window.png")
    print("screenshot:", path, "window", box)
    rig.check_window_size(box)

    hide_with_escape(rig, program, window)

    second_start_ends_at_once(rig)
    wait_for("the second start to bring the window back",
             lambda: rig.visible_windows(program.pid))
    if program.poll() is not None:
        raise Failure("the running program ended")


SKIPPED = 77


def scenario_no_backend(rig):
    if subprocess.run(["unshare", "--mount", "true"], capture_output=True).returncode != 0:
        print("skipped: no mount namespace for this user")
        return SKIPPED
    rig.start_desktop(with_watcher=True)
    # The runtime folder the program falls back to without XDG_RUNTIME_DIR, made unusable for
    # the program alone: a read-only folder of mode 0777, which it cannot narrow to 0700.
    fallback = "/tmp/kor-vm31-%d" % os.geteuid()
    environment = dict(rig.env)
    del environment["XDG_RUNTIME_DIR"]
    errors = os.path.join(rig.root, "program.stderr")
    with open(errors, "w") as stderr:
        program = subprocess.Popen(
            ["unshare", "--mount", "--propagation", "private", "sh", "-c",
             'mkdir -p -m 0700 "$1" && mount -t tmpfs -o ro,mode=0777 none "$1" && exec "$2"',
             "sh", fallback, os.path.join(rig.app, "KOR_VM31")],
            env=environment, stderr=stderr)
    rig.processes.append(program)

    wait_for("the tray item", lambda: rig.events("item-registered"))
    seen = rig.wait_notice(NOT_DETECTED, "Warning", 5000, 0)
    with open(errors, encoding="utf-8", errors="replace") as said:
        if "the mouse cannot be reached" not in said.read():
            raise Failure("the program did not say on stderr why the mouse cannot be reached")
    # As with the mouse absent: the tray's click repeats the warning instead of a window.
    item_proxy(rig, "org.kde.StatusNotifierItem").call_sync(
        "Activate", GLib.Variant("(ii)", (10, 10)), Gio.DBusCallFlags.NONE, 5000, None)
    rig.wait_notice(NOT_DETECTED, "Warning", 5000, seen)
    if rig.visible_windows(program.pid) or program.poll() is not None:
        raise Failure("without the backend the tray click showed a window or ended the program")
    return 0


SCENARIOS = {"tray": scenario_tray, "no-tray": scenario_no_tray,
             "no-backend": scenario_no_backend}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the folder holding KOR_VM31 and vm31ctl")
    parser.add_argument("--out", required=True, help="where screenshots go")
    parser.add_argument("--scenario", choices=tuple(SCENARIOS), required=True)
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    options = parser.parse_args()
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        sys.exit("run me inside dbus-run-session")
    rig = Rig(options.bin, options.out, options.keep)
    try:
        rig.start_x()
        if SCENARIOS[options.scenario](rig) == SKIPPED:
            return SKIPPED
    except Failure as failure:
        print("FAILED:", failure)
        print("desktop log:\n" + open(rig.log, encoding="utf-8").read())
        print(rig.x_report())
        return 1
    finally:
        rig.stop()
    print("passed:", options.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
