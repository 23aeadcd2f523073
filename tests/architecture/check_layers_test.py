#!/usr/bin/env python3
"""The layering check against a fixture tree with one broken include per rule (and allowed ones
beside them), so the check cannot pass by finding nothing."""

import pathlib
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
CHECK = HERE / "check_layers.py"
FIXTURE = HERE / "fixtures" / "src"


def run_check(root):
    return subprocess.run([sys.executable, str(CHECK), str(root)], capture_output=True, text=True)


class LayeringCheck(unittest.TestCase):
    def test_names_file_line_and_rule_of_every_broken_include(self):
        result = run_check(FIXTURE)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        found = set()
        for line in result.stdout.splitlines():
            path, number, rule, _ = line.split(":", 3)
            found.add((pathlib.Path(path).relative_to(FIXTURE).as_posix(), int(number), rule.strip()))
        self.assertEqual(
            found,
            {
                ("core/util/text.h", 3, "core-order"),  # util below keys
                ("core/keys/key_tables.cpp", 4, "core-std-only"),  # <sys/stat.h>
                ("core/keys/key_tables.cpp", 6, "core-order"),  # keys below device
                ("core/device/reader.h", 3, "core-order"),  # device beside ui, not above it
                ("core/device/reader.h", 4, "core-std-only"),  # <QString>
                ("core/ui/ports.h", 2, "core-std-only"),  # a platform header
                ("core/gadgets/gadget.h", 1, "core-folder"),
                ("qt/skinned_window.cpp", 4, "qt-os-header"),
                ("qt/skinned_window.cpp", 6, "qt-platform"),
                ("qt/skinned_window.cpp", 7, "qt-os-header"),  # a system header in quotes
                ("platform/linux/hidraw_bus.cpp", 3, "platform-no-qt"),
                ("platform/linux/hidraw_bus.cpp", 4, "platform-no-qt"),
                ("platform/linux/hidraw_bus.cpp", 5, "platform-no-win32"),
                ("emulator/emulated_mouse.cpp", 3, "emulator-isolated"),
                ("emulator/emulated_mouse.cpp", 4, "emulator-isolated"),
                ("emulator/emulated_mouse.cpp", 5, "emulator-isolated"),
                ("emulator/emulated_mouse.cpp", 6, "emulator-isolated"),
                ("qt/tarnwick_app.cpp", 4, "qt-no-win32"),  # not even from the root
                ("win32/skinned_window.cpp", 4, "win32-no-qt"),
                ("win32/skinned_window.cpp", 6, "win32-platform"),
                ("win32/skinned_window.cpp", 7, "win32-no-qt"),
            },
        )

    def test_a_tree_that_keeps_the_rules_passes(self):
        files = {
            "core/util/result.h": "#include <string>\n",
            "core/device/reader.h": '#include "core/macros/macro_store.h"\n#include <thread>\n',
            "core/app/main_window.h": '#include "core/device/reader.h"\n#include "core/ui/ports.h"\n',
            "qt/main.cpp": '#include "platform/linux/linux_device_backend.h"\n#include <unistd.h>\n',
            "qt/skinned_window.cpp": '#include <QWidget>\n#include <cstdlib>\n#include "core/ui/ports.h"\n',
            "platform/linux/wait.cpp": '#include <poll.h>\n#include "core/device/ports.h"\n',
            "emulator/virtual_clock.h": '#include "core/device/ports.h"\n',
            "win32/skinned_window.cpp": '#include <windows.h>\n#include "core/ui/ports.h"\n'
                                        '#include "win32/wide_text.h"\n',
            "win32/tarnwick_app.cpp": '#include "platform/windows/windows_device_backend.h"\n',
        }
        with tempfile.TemporaryDirectory() as root:
            for relative, text in files.items():
                path = pathlib.Path(root) / relative
                path.parent.mkdir(parents=True, exist_ok=True)
                path.write_text(text)
            result = run_check(root)
        self.assertEqual((result.returncode, result.stdout), (0, ""))

    def test_a_folder_without_a_core_is_refused(self):
        with tempfile.TemporaryDirectory() as root:
            self.assertEqual(run_check(root).returncode, 2)


if __name__ == "__main__":
    unittest.main()
