#!/usr/bin/python3
"""One-shot vm31ctl commands against their floors, in one run:

    bench/cli/oneshot_bench.py --bin BUILD/bin [--runs N]

- `vm31ctl status` with no mouse against `vm31ctl --version` (the process floor: start, parse,
  exit), alternately: limit 1.5 on the medians.
- `vm31ctl apply` of the factory config.bin, from process start to exit, against a freshly
  started emulated mouse (`vm31ctl emulator run --trace`), over its floor: the waits the protocol
  mandates for the handshake, the sensor refresh and the apply together, plus the process floor
  above. The waits are added up by the independent trace decoder (tests/cli/trace_decoder.py),
  which also checks that every gap kept its minimum: limit 1.03 on the median. The wire span
  (first transfer to last) over the mandated waits is printed beside it, and the CPU time of the
  whole apply process (user and system, all its threads): limit 10 ms on the median.
- The same applies again beside two busy processes (one per core of a two-core machine, started
  by the bench): the wire span over the mandated waits, limit 1.05 on the median (every gap still
  checked by the decoder).

Every run has a private runtime folder. Exits 1 when a limit is missed or a command fails.
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DECODER = os.path.join(HERE, "..", "..", "tests", "cli", "trace_decoder.py")
STATUS_LIMIT = 1.5
APPLY_LIMIT = 1.03
APPLY_CPU_LIMIT = 0.010  # seconds, user and system, all threads
LOADED_SPAN_LIMIT = 1.05
BUSY_PROCESSES = 2


class BusyProcesses:
    """Processes that keep a core busy each, for as long as the `with` block runs."""

    def __enter__(self):
        self.processes = [subprocess.Popen([sys.executable, "-c", "while True: pass"])
                          for _ in range(BUSY_PROCESSES)]
        time.sleep(0.2)  # running before the first apply
        return self

    def __exit__(self, *exception):
        for process in self.processes:
            process.kill()
            process.wait()


class Failed(Exception):
    pass


def timed(args, env):
    start = time.perf_counter()
    done = subprocess.run(args, env=env, capture_output=True, text=True)
    return time.perf_counter() - start, done


def timed_with_cpu(args, env):
    """(seconds from start to exit, CPU seconds of the process, exit code, stderr)."""
    start = time.perf_counter()
    process = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    stderr = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    process.returncode = os.waitstatus_to_exitcode(status)
    return seconds, usage.ru_utime + usage.ru_stime, process.returncode, stderr


def status_against_version(vm31ctl, env, runs):
    version, status = [], []
    for _ in range(runs):
        seconds, done = timed([vm31ctl, "--version"], env)
        version.append(seconds)
        seconds, done = timed([vm31ctl, "status"], env)
        if "mouse: absent" not in done.stdout:
            raise Failed("status did not find the mouse absent:\n" + done.stdout + done.stderr)
        status.append(seconds)
    return statistics.median(version), statistics.median(status)


def one_apply(vm31ctl, env, factory, prefs, root):
    """(seconds of the apply process, mandated waits in seconds, wire span in seconds, CPU
    seconds of the apply process)."""
    trace = os.path.join(root, "trace.jsonl")
    config = os.path.join(root, "config.bin")
    shutil.copyfile(factory, config)
    own_prefs = os.path.join(root, "str.ini")
    shutil.copyfile(prefs, own_prefs)
    emulator = subprocess.Popen([vm31ctl, "emulator", "run", "--trace", trace], env=env,
                                stdout=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 30
        while not subprocess.run([vm31ctl, "emulator", "status"], env=env, capture_output=True,
                                 text=True).stdout.startswith("plugged"):
            if time.monotonic() > deadline:
                raise Failed("the emulated mouse did not come up")
            time.sleep(0.02)
        seconds, cpu, code, stderr = timed_with_cpu(
            [vm31ctl, "apply", "--config", config, "--prefs", own_prefs], env)
        if code != 0:
            raise Failed("vm31ctl apply: " + stderr.strip())
    finally:
        emulator.terminate()
        emulator.wait()
    checked = subprocess.run([sys.executable, DECODER, trace, factory], capture_output=True,
                             text=True)
    found = re.search(r"mandated waits (\d+) us, wire span (\d+) us", checked.stdout)
    if checked.returncode != 0 or not found:
        raise Failed("the trace decoder refused the apply's trace:\n" + checked.stderr)
    return seconds, int(found.group(1)) / 1e6, int(found.group(2)) / 1e6, cpu


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--runs", type=int, default=30)
    options = parser.parse_args()
    vm31ctl = os.path.join(os.path.abspath(options.bin), "vm31ctl")
    factory = os.path.join(os.path.abspath(options.bin), "config.bin")
    prefs = os.path.join(os.path.abspath(options.bin), "str.ini")
    root = tempfile.mkdtemp(prefix="kor-vm31-oneshot-")
    env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(root, "runtime"), LC_ALL="C.UTF-8")
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
    try:
        version, status = status_against_version(vm31ctl, env, options.runs)
        applies = [one_apply(vm31ctl, env, factory, prefs, root) for _ in range(options.runs)]
        with BusyProcesses():
            loaded = [one_apply(vm31ctl, env, factory, prefs, root) for _ in range(options.runs)]
    except Failed as failure:
        print("oneshot_bench:", failure, file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    status_ratio = status / version
    mandated = statistics.median(a[1] for a in applies)
    apply_ratio = statistics.median(a[0] / (a[1] + version) for a in applies)
    span_ratio = statistics.median(a[2] / a[1] for a in applies)
    apply_cpu = statistics.median(a[3] for a in applies)
    loaded_span = [a[2] / a[1] for a in loaded]
    loaded_span_ratio = statistics.median(loaded_span)
    print("vm31ctl --version          %.2f ms (median of %d)" % (version * 1e3, options.runs))
    print("vm31ctl status, no mouse   %.2f ms  ratio %.2f (limit %.1f)"
          % (status * 1e3, status_ratio, STATUS_LIMIT))
    print("vm31ctl apply              %.1f ms over %.1f ms of mandated waits + the process floor: "
          "ratio %.3f (limit %.2f); wire span over the waits %.3f"
          % (statistics.median(a[0] for a in applies) * 1e3, mandated * 1e3, apply_ratio,
             APPLY_LIMIT, span_ratio))
    print("vm31ctl apply CPU          %.1f ms (limit %.0f)" % (apply_cpu * 1e3,
                                                              APPLY_CPU_LIMIT * 1e3))
    print("beside %d busy processes: vm31ctl apply %.1f ms, ratio %.3f; wire span over the waits "
          "%.3f (limit %.2f), worst %.3f; CPU %.1f ms"
          % (BUSY_PROCESSES, statistics.median(a[0] for a in loaded) * 1e3,
             statistics.median(a[0] / (a[1] + version) for a in loaded), loaded_span_ratio,
             LOADED_SPAN_LIMIT, max(loaded_span), statistics.median(a[3] for a in loaded) * 1e3))
    met = (status_ratio <= STATUS_LIMIT and apply_ratio <= APPLY_LIMIT and
           apply_cpu <= APPLY_CPU_LIMIT and loaded_span_ratio <= LOADED_SPAN_LIMIT)
    print("limits met" if met else "LIMIT MISSED")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
