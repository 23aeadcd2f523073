#!/usr/bin/python3
"""End-to-end test of an installed KOR_VM31: the program and vm31ctl of an installation root
(the package unpacked into a temporary folder, or / after `dpkg -i`), run as a user who has
never started it, under Xvfb on a desktop stand-in with a tray, against the emulated mouse.

  `KOR_VM31 --show`  the window is mapped at start although a tray exists, and the per-user
                     folder is filled with the installed factory files;
  `vm31ctl status`   finds the emulated mouse (exit 0).

Run inside `dbus-run-session`.
"""

import argparse
import filecmp
import os
import sys

sys.dont_write_bytecode = True  # no caches in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tray_e2e import Failure, Rig, wait_for  # noqa: E402

FACTORY_FILES = ("config.bin", "record.ini", "str.ini")


class InstalledRig(Rig):
    """The rig of tray_e2e, with the installed programs instead of a portable copy."""

    def __init__(self, root, keep):
        super().__init__(os.path.join(root, "usr", "bin"), None, keep, portable=False)
        self.installed_root = root


def scenario(rig):
    rig.start_desktop(with_watcher=True)
    rig.start_emulator()
    program = rig.start_program("--show")
    wait_for("the tray item", lambda: rig.events("item-registered"))
    wait_for("the window shown by --show", lambda: rig.visible_windows(program.pid))

    data = os.path.join(rig.env["XDG_CONFIG_HOME"], "kor-vm31")
    factory = os.path.join(rig.installed_root, "usr", "share", "kor-vm31", "factory")
    for name in FACTORY_FILES:
        path = os.path.join(data, name)
        if not os.path.isfile(path):
            raise Failure("the per-user folder lacks %s after the first start" % name)
        if name == "config.bin" and not filecmp.cmp(path, os.path.join(factory, name), False):
            raise Failure("%s is not the installed factory file" % path)

    status = rig.vm31ctl("status")
    if status.returncode != 0 or not status.stdout.strip():
        raise Failure("the installed vm31ctl status ended with %d: %s%s"
                      % (status.returncode, status.stdout, status.stderr))
    if program.poll() is not None:
        raise Failure("the program ended with %d" % program.returncode)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="the installation root holding usr/bin")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    options = parser.parse_args()
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        sys.exit("run me inside dbus-run-session")
    rig = InstalledRig(os.path.abspath(options.root), options.keep)
    try:
        rig.start_x()
        scenario(rig)
    except Failure as failure:
        print("FAILED:", failure)
        print("desktop log:\n" + open(rig.log, encoding="utf-8").read())
        print(rig.x_report())
        return 1
    finally:
        rig.stop()
    print("passed: the installed program")
    return 0


if __name__ == "__main__":
    sys.exit(main())
