#!/usr/bin/env python3
"""The include rules between the source folders, checked over a source tree.

Usage: check_layers.py SRC_ROOT

Prints one line per include that breaks a rule, as "path:line: rule: what", and exits 1 when
there is any; exits 0 on a clean tree and 2 when SRC_ROOT holds no core to check.

The rules:
  core-std-only      a file in core/ includes only standard-library headers and core headers
  core-order         a core folder includes only the core folders below it (CORE_MAY_INCLUDE)
  core-folder        every core folder is one the order knows
  qt-platform        qt/ reaches platform/linux only in the composition root (COMPOSITION_ROOT)
  qt-os-header       qt/ includes only standard, Qt and project headers outside the root (a
                     quoted include names a project folder: "qt/...", "core/...")
  win32-platform     win32/ reaches platform/ only in its composition root (WIN32_COMPOSITION_ROOT)
  win32-no-qt        win32/ includes neither qt/ nor a Qt header (no Qt on Windows)
  qt-no-win32        qt/ includes no win32/ header, its composition root neither
  platform-no-qt     platform/ includes neither qt/ nor a Qt header
  platform-no-win32  platform/ includes no win32/ header (the backends know no shell)
  emulator-isolated  emulator/ includes neither platform/ nor qt/ nor win32/ nor a Qt header
"""

import pathlib
import re
import sys

# Which core folders each core folder may include besides itself. From the bottom up:
# util < text < settings < keys < macros < device; ui sits beside device, above macros; app on top.
_BELOW_DEVICE = ["util", "text", "settings", "keys", "macros"]
CORE_MAY_INCLUDE = {
    "util": [],
    "text": ["util"],
    "settings": ["util", "text"],
    "keys": ["util", "text", "settings"],
    "macros": ["util", "text", "settings", "keys"],
    "device": _BELOW_DEVICE,
    "ui": _BELOW_DEVICE,
    "app": _BELOW_DEVICE + ["device", "ui"],
}

# The files of the Qt shell that build the Linux backends and hand them to the shell.
COMPOSITION_ROOT = {"qt/main.cpp", "qt/tarnwick_app.cpp"}
# The files of the Win32 shell that build the Windows backends and hand them to the shell. The
# Win32 shell is made of operating-system calls, so its other files may use the system's headers;
# only the backends are kept to the root.
WIN32_COMPOSITION_ROOT = {"win32/main.cpp", "win32/tarnwick_app.cpp"}

# The C++20 standard library, the C library's <c...> forms included.
STANDARD_HEADERS = set(
    """
    algorithm any array atomic barrier bit bitset charconv chrono compare complex concepts
    condition_variable coroutine deque exception execution expected filesystem format
    forward_list fstream functional future initializer_list iomanip ios iosfwd iostream istream
    iterator latch limits list locale map memory memory_resource mutex new numbers numeric
    optional ostream queue random ranges ratio regex scoped_allocator semaphore set shared_mutex
    source_location span sstream stack stdexcept stop_token streambuf string string_view
    syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map
    unordered_set utility valarray variant vector version
    cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg
    cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
    """.split()
)

_INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
_SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}


def _is_qt_header(name):
    # Qt's headers: <QWidget>, <QtCore/qglobal.h>, <QtGlobal>.
    return re.match(r"Q[A-Z]", name) is not None or name.startswith("Qt")


def _includes(path):
    with open(path, encoding="utf-8", errors="replace") as source:
        for number, text in enumerate(source, 1):
            match = _INCLUDE.match(text)
            if match:
                yield number, match.group(1) == "<", match.group(2)


def _check_core(folder, angled, name):
    if angled:
        if name not in STANDARD_HEADERS:
            return "core-std-only", f"<{name}> is not a standard-library header"
        return None
    parts = name.split("/")
    if parts[0] != "core" or len(parts) < 3:
        return "core-std-only", f'"{name}" is not a core header'
    target = parts[1]
    if target != folder and target not in CORE_MAY_INCLUDE[folder]:
        return "core-order", f"core/{folder} may not include core/{target} (\"{name}\")"
    return None


def _check_qt(relative, angled, name):
    root = relative in COMPOSITION_ROOT
    if not angled and name.startswith("win32/"):
        return "qt-no-win32", f'"{name}" belongs to the Win32 shell'
    if angled:
        if root or name in STANDARD_HEADERS or _is_qt_header(name):
            return None
        return "qt-os-header", f"<{name}> is an operating-system header; only the composition root " \
                               "may use one"
    if name.startswith("platform/"):
        if root:
            return None
        return "qt-platform", f'"{name}": only the composition root reaches platform/'
    # A quoted name outside the project's folders is found on the system's include path.
    if not root and name.split("/")[0] not in ("qt", "core"):
        return "qt-os-header", f'"{name}" is not a project header; only the composition root may ' \
                               "use a system one"
    return None


def _check_win32(relative, angled, name):
    if (angled and _is_qt_header(name)) or (not angled and name.startswith("qt/")):
        return "win32-no-qt", f"{'<' + name + '>' if angled else name} belongs to the Qt shell"
    if not angled and name.startswith("platform/") and relative not in WIN32_COMPOSITION_ROOT:
        return "win32-platform", f'"{name}": only the composition root reaches platform/'
    return None


def _check_platform(angled, name):
    if (angled and _is_qt_header(name)) or (not angled and name.startswith("qt/")):
        return "platform-no-qt", f"{'<' + name + '>' if angled else name} belongs to the Qt shell"
    if not angled and name.startswith("win32/"):
        return "platform-no-win32", f'"{name}" belongs to the Win32 shell'
    return None


def _check_emulator(angled, name):
    if angled and _is_qt_header(name):
        return "emulator-isolated", f"<{name}> is a Qt header"
    if not angled and name.split("/")[0] in ("platform", "qt", "win32"):
        return "emulator-isolated", f'"{name}": the emulator uses only the core'
    return None


def check(src_root):
    """Returns the violations under src_root as (relative path, line, rule, message)."""
    src_root = pathlib.Path(src_root)
    violations = []
    for path in sorted(src_root.rglob("*")):
        if path.suffix not in _SOURCE_SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(src_root).as_posix()
        parts = relative.split("/")
        top = parts[0]
        if top == "core":
            folder = parts[1] if len(parts) > 2 else ""
            if folder not in CORE_MAY_INCLUDE:
                violations.append((relative, 1, "core-folder",
                                   f"core/{folder} has no place in the core's folder order"))
                continue
        for number, angled, name in _includes(path):
            if top == "core":
                found = _check_core(folder, angled, name)
            elif top == "qt":
                found = _check_qt(relative, angled, name)
            elif top == "win32":
                found = _check_win32(relative, angled, name)
            elif top == "platform":
                found = _check_platform(angled, name)
            elif top == "emulator":
                found = _check_emulator(angled, name)
            else:
                found = None
            if found:
                violations.append((relative, number) + found)
    return violations


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    src_root = pathlib.Path(argv[1])
    if not (src_root / "core").is_dir():
        print(f"{src_root}: no core folder to check", file=sys.stderr)
        return 2
    violations = check(src_root)
    for relative, number, rule, message in violations:
        print(f"{src_root / relative}:{number}: {rule}: {message}")
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
