#!/usr/bin/env bash
# Builds Corvane for Windows and starts it under Wine, on the user's X display
# when there is one (without one, Wine runs it headless). Corvane keeps its
# settings in the registry of its own Wine prefix, build/windows/wine-app.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target corvane
[ -n "${DISPLAY:-}" ] || echo "No X display (DISPLAY is unset): Corvane runs without a visible window." >&2
exec cmake/wine-run.sh build/windows/wine-app build/windows/app/corvane.exe "$@"
