#!/usr/bin/python3
"""Start-up of KOR_VM31 against a minimal Qt6 tray program, side by side under one X server.

Run inside `dbus-run-session` (scripts/bench-start.sh does):
    bench/qt_start/start_bench.py --bin BUILD/bin [--runs N]

Both programs start on the same Xvfb with the same desktop stand-in (tests/e2e). Measured per
run: the time from spawning the process to "initialised and tray registered" - for the minimal
program its tray item's registration, for KOR_VM31 the later of its registration and the
detected notice, which it gives once initialised (the emulated mouse is plugged in) - and the
resident memory (VmRSS) once there. Runs alternate between the two programs; medians are
reported.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no caches in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "e2e"))
import tray_e2e  # noqa: E402


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def one_run(rig, args, ready):
    before = len(rig.events("item-registered")), len(rig.events("notify"))
    start = time.monotonic()
    process = subprocess.Popen(args, env=rig.env)
    try:
        done = tray_e2e.wait_for("start-up of " + os.path.basename(args[0]),
                                 lambda: ready(rig, before))
        memory = resident_kib(process.pid)
    finally:
        process.terminate()
        process.wait()
    return done - start, memory


def minimal_ready(rig, before):
    items = rig.events("item-registered")[before[0]:]
    return items[0]["t"] if items else None


def program_ready(rig, before):
    items = rig.events("item-registered")[before[0]:]
    notices = [n for n in rig.events("notify")[before[1]:] if n["body"] == tray_e2e.DETECTED]
    return max(items[0]["t"], notices[0]["t"]) if items and notices else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--runs", type=int, default=10)
    options = parser.parse_args()
    rig = tray_e2e.Rig(options.bin, "/tmp", keep=False)
    try:
        rig.start_x()
        rig.start_desktop(with_watcher=True)
        rig.start_emulator()
        minimal = [os.path.join(options.bin, "minimal_tray")]
        program = [os.path.join(rig.app, "KOR_VM31")]
        results = {"minimal": [], "KOR_VM31": []}
        for _ in range(options.runs):
            results["minimal"].append(one_run(rig, minimal, minimal_ready))
            results["KOR_VM31"].append(one_run(rig, program, program_ready))
    finally:
        rig.stop()
    medians = {}
    for name, runs in results.items():
        seconds = statistics.median(r[0] for r in runs)
        memory = statistics.median(r[1] for r in runs)
        medians[name] = (seconds, memory)
        print("%-9s start %.1f ms  resident %d KiB  (median of %d)"
              % (name, seconds * 1000, memory, len(runs)))
    time_ratio = medians["KOR_VM31"][0] / medians["minimal"][0]
    memory_ratio = medians["KOR_VM31"][1] / medians["minimal"][1]
    print("ratio     start %.2f (limit 2.0)  resident %.2f (limit 1.5)" % (time_ratio,
                                                                          memory_ratio))
    return 0 if time_ratio <= 2.0 and memory_ratio <= 1.5 else 1


if __name__ == "__main__":
    sys.exit(main())
