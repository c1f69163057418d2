#!/usr/bin/env bash
# Takes a screenshot of a built corvane.exe as a user would see it: starts a
# private Xvfb screen, runs the program there under Wine in a Wine desktop
# (which draws the window frames that a window manager would), waits for it
# and saves the whole screen as a PNG. Builds nothing.
#
#   tools/screenshot.sh CORVANE_EXE OUTPUT_PNG [STATE_DIR]
#
# STATE_DIR is the Wine state folder (prefix and home) to run in; by default
# wine-app in the build folder that holds the exe (BUILD/app/corvane.exe).
# Keep it apart from the tests' wine-tests: with a display, the Wine runner
# switches the prefix to the X11 driver. CVN_SCREENSHOT_WAIT sets how many
# seconds to wait for the desktop (default 60), CVN_SCREENSHOT_SETTLE how many
# more for the program to draw (default 5); CVN_SCREENSHOT_SIZE the screen
# (default 1024x768).
# Needs xvfb, imagemagick and x11-utils (scripts/install-deps.sh --gui).
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 CORVANE_EXE OUTPUT_PNG [STATE_DIR]" >&2; exit 2; }
exe=$(realpath "$1")
output=$2
state=${3:-$(dirname "$exe")/../wine-app}
wait_seconds=${CVN_SCREENSHOT_WAIT:-60}
settle_seconds=${CVN_SCREENSHOT_SETTLE:-5}
screen_size=${CVN_SCREENSHOT_SIZE:-1024x768}
runner=$(cd "$(dirname "$0")/.." && pwd)/cmake/wine-run.sh

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 "${screen_size}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "screenshot.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

# The program, by its Windows path (drive Z: is the Linux root).
"$runner" "$state" explorer "/desktop=Screenshot,$screen_size" "Z:${exe//\//\\}" \
  >"$work/app.log" 2>&1 &
app_pid=$!

# The first window of a Wine session can take a while to appear.
found=""
for _ in $(seq $((wait_seconds * 2))); do
  if xwininfo -root -tree 2>/dev/null | grep -q 'Wine desktop'; then found=1; break; fi
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.5
done
[ -n "$found" ] || { echo "screenshot.sh: the Wine desktop did not appear" >&2; cat "$work/app.log" >&2; exit 1; }
sleep "$settle_seconds"

import -window root "$output"
echo "screenshot.sh: saved $output" >&2
