#!/usr/bin/env bash
# Builds Corvane for Windows and starts it under Wine on your X display.
# Without a display (DISPLAY unset, as on a server) it starts Corvane on a
# virtual screen instead, saves a screenshot of its window and ends.
# Corvane keeps its settings in the registry of its own Wine prefix,
# build/windows/wine-app.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -n "${DISPLAY:-}" ]; then
  bash scripts/install-deps.sh
else
  bash scripts/install-deps.sh --gui
fi
cmake --preset windows >/dev/null
cmake --build --preset windows --target corvane

if [ -n "${DISPLAY:-}" ]; then
  exec cmake/wine-run.sh build/windows/wine-app build/windows/app/corvane.exe "$@"
fi
echo "No X display (DISPLAY is unset): starting Corvane on a virtual screen for a screenshot." >&2
tools/screenshot.sh build/windows/app/corvane.exe build/windows/corvane.png
echo "Corvane started and drew its window: see build/windows/corvane.png" >&2
echo "(on a desktop, run this again with DISPLAY set to use Corvane)" >&2
