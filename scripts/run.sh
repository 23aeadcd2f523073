#!/usr/bin/env bash
# The README's first command: sets up, builds, starts the emulated mouse and KOR_VM31 against
# it - the window, the tray and the notices without hardware. Press the emulated mouse's buttons
# from another terminal:
#   build/bin/vm31ctl emulator press dpi 2        (rate 1000|500|250|125, group 1|2, macro N)
#   build/bin/vm31ctl emulator unplug | plug
# Without a display (a bare console) it renders a screenshot into build/screenshots instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display here; rendering the window under Xvfb instead" >&2
  exec bash scripts/screenshot.sh build/screenshots
fi
build/bin/vm31ctl emulator run &
emulator=$!
trap 'kill "$emulator" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  build/bin/vm31ctl emulator status >/dev/null 2>&1 && break
  sleep 0.1
done
cat <<'TEXT'
KOR_VM31 shows its window and stays in the tray when it is closed.
Press the emulated mouse's buttons from another terminal, for example:
  build/bin/vm31ctl emulator press dpi 2
  build/bin/vm31ctl emulator press rate 500
  build/bin/vm31ctl emulator unplug ; build/bin/vm31ctl emulator plug
Exit the program from its tray menu (or Ctrl+C here).
TEXT
build/bin/KOR_VM31 --show
