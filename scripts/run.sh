#!/usr/bin/env bash
# Sets everything up, builds and shows the factory settings the program starts from.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
exec build/bin/vm31ctl config show
