#!/usr/bin/python3
"""KOR_VM31 beside two other mouse configuration programs of the system, in one run.

Run as root inside `dbus-run-session` (it installs the peers with apt-get when they are missing):
    bench/peers/peers_bench.py --bin BUILD/bin [--runs N]

The peers are Debian's `solaar` (its tray icon) and `piper` (its window). All programs start on
the same Xvfb with the same desktop stand-in (tests/e2e: a StatusNotifier host and a
notification service) and the same session bus; the emulated mouse is plugged in for KOR_VM31,
the peers find no device of theirs. Runs alternate between the programs. Measured per run:

- ready: from spawning the process to its first tray item registered with the host or its first
  window mapped on the screen, whichever comes first;
- true end: from spawning to the end of its last CPU work once ready and then idle (no thread
  ran or waited to run for 50 ms), as bench/qt_start/start_bench.py measures;
- resident memory (VmRSS) at the true end.

KOR_VM31 runs twice: hidden in the tray (ready: its tray item and the detected notice) and with
--show (ready: its window mapped). Medians are printed as a table. Exits 1 when a peer cannot be
installed or measured.
"""

import argparse
import ctypes
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no caches in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "qt_start"))
import start_bench  # noqa: E402
import tray_e2e  # noqa: E402

PEERS = {"solaar": "solaar", "piper": "piper"}  # executable: Debian package


class WindowAttributes(ctypes.Structure):
    """Xlib's XWindowAttributes."""
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("depth", ctypes.c_int), ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
                ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
                ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
                ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
                ("screen", ctypes.c_void_p)]


class Windows:
    """The top-level windows mapped on the X screen, by the process id they name."""

    def __init__(self, display):
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                   ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                   ctypes.POINTER(ctypes.c_uint)]
        x11.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        x11.XFree.argtypes = [ctypes.c_void_p]
        self.x11 = x11
        self.display = x11.XOpenDisplay(display.encode())
        if not self.display:
            raise tray_e2e.Failure("cannot open the X display " + display)
        self.root = x11.XDefaultRootWindow(self.display)
        self.pid_atom = x11.XInternAtom(self.display, b"_NET_WM_PID", 0)
        x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                             ctypes.POINTER(WindowAttributes)]
        self.attributes = WindowAttributes()

    def _pid_of(self, window):
        kind, form, count, after = (ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(),
                                    ctypes.c_ulong())
        data = ctypes.c_void_p()
        if self.x11.XGetWindowProperty(self.display, window, self.pid_atom, 0, 1, 0, 0,
                                       ctypes.byref(kind), ctypes.byref(form),
                                       ctypes.byref(count), ctypes.byref(after),
                                       ctypes.byref(data)) != 0 or not data.value:
            return None
        pid = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0] if count.value else None
        self.x11.XFree(data)
        return pid

    def _mapped(self, window):
        if not self.x11.XGetWindowAttributes(self.display, window,
                                             ctypes.byref(self.attributes)):
            return False
        return self.attributes.map_state == 2  # IsViewable

    def mapped_by(self, pid):
        """Whether a top-level window of `pid` (or a frame holding one) is mapped."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x11.XQueryTree(self.display, self.root, ctypes.byref(root),
                                   ctypes.byref(parent), ctypes.byref(children),
                                   ctypes.byref(count)):
            return False
        try:
            return any(self._pid_of(children[i]) == pid and self._mapped(children[i])
                       for i in range(count.value))
        finally:
            if children:
                self.x11.XFree(children)


def install_peers():
    missing = [package for command, package in PEERS.items() if shutil.which(command) is None]
    if not missing:
        return
    print("installing " + " ".join(missing) + " with apt-get", file=sys.stderr)
    done = subprocess.run(["apt-get", "install", "-y", "--no-install-recommends", *missing],
                          env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"),
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0 or any(shutil.which(c) is None for c in PEERS):
        raise tray_e2e.Failure("the peers could not be installed: " + done.stderr.strip()[-500:])


def one_run(rig, windows, args, ready):
    """(seconds to ready, seconds to the true end, resident KiB, what was ready) of one
    start."""
    before = len(rig.events("item-registered")), len(rig.events("notify"))
    start = time.monotonic()
    process = subprocess.Popen(args, env=rig.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    name = os.path.basename(args[0])
    try:
        deadline = start + tray_e2e.WAIT_SECONDS
        cpu, last_work, ready_at, what = 0, start, None, None
        while True:
            now = time.monotonic()
            if process.poll() is not None:
                raise tray_e2e.Failure("%s ended with %d during start-up"
                                       % (name, process.returncode))
            if now > deadline:
                raise tray_e2e.Failure("%s was not %s within %d s"
                                       % (name, "ready" if ready_at is None else "idle",
                                          tray_e2e.WAIT_SECONDS))
            used, busy = start_bench.cpu_and_busy(process.pid)
            if used != cpu or busy:
                cpu, last_work = used, now
            if ready_at is None:
                what = ready(rig, windows, process.pid, before)
                ready_at = now if what else None
            if ready_at is not None and now - last_work >= start_bench.QUIET_SECONDS:
                memory = start_bench.resident_kib(process.pid)
                break
            time.sleep(start_bench.POLL_SECONDS)
    finally:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return ready_at - start, max(ready_at, last_work) - start, memory, what


def tray_or_window(rig, windows, pid, before):
    if len(rig.events("item-registered")) > before[0]:
        return "tray"
    return "window" if windows.mapped_by(pid) else None


def program_in_tray(rig, windows, pid, before):
    return "tray + detected notice" if start_bench.program_ready(rig, before) else None


def program_window(rig, windows, pid, before):
    return "window" if windows.mapped_by(pid) else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--runs", type=int, default=5)
    options = parser.parse_args()
    try:
        install_peers()
    except tray_e2e.Failure as failure:
        print("peers_bench:", failure, file=sys.stderr)
        return 1
    rig = tray_e2e.Rig(options.bin, "/tmp", keep=False)
    program = os.path.join(rig.app, "KOR_VM31")
    kinds = [("Solaar", [shutil.which("solaar")], tray_or_window),
             ("Piper", [shutil.which("piper")], tray_or_window),
             ("KOR_VM31", [program], program_in_tray),
             ("KOR_VM31 --show", [program, "--show"], program_window)]
    results = {name: [] for name, _, _ in kinds}
    try:
        rig.start_x()
        rig.start_desktop(with_watcher=True)
        rig.start_emulator()
        windows = Windows(rig.env["DISPLAY"])
        for _ in range(options.runs):
            for name, args, ready in kinds:
                results[name].append(one_run(rig, windows, args, ready))
    except tray_e2e.Failure as failure:
        print("peers_bench:", failure, file=sys.stderr)
        return 1
    finally:
        rig.stop()
    print("| program | ready: what came first | ready (median of %d) | true end "
          "| resident at the true end |" % options.runs)
    print("|---|---|---|---|---|")
    for name, runs in results.items():
        ready, end, memory = (statistics.median(r[i] for r in runs) for i in range(3))
        what = "/".join(sorted(set(r[3] for r in runs)))
        print("| %s | %s | %.0f ms | %.0f ms | %.1f MiB |" % (name, what, ready * 1e3, end * 1e3,
                                                             memory / 1024))
    return 0


if __name__ == "__main__":
    sys.exit(main())
