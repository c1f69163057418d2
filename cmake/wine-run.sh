#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own.
#
#   wine-run.sh STATE_DIR PROGRAM.exe [ARGS...]
#
# STATE_DIR holds the Wine prefix and a home folder for it, so that running
# Corvane or its tests never touches the user's own prefix or home. The prefix
# is made on first use: its Desktop and Documents become plain folders instead
# of links into $HOME, menu integration is off, and without an X display Wine
# is told to use its null graphics driver, so windows work headless.
set -euo pipefail

state=$(mkdir -p "$1" && cd "$1" && pwd)
shift

wine=${WINE:-}
if [ -z "$wine" ]; then
  for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then wine=$candidate; break; fi
  done
fi
[ -n "$wine" ] || { echo "wine-run.sh: Wine is not installed (apt-get install wine64)" >&2; exit 127; }
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)

export WINEPREFIX="$state/prefix"
export HOME="$state/home"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_CACHE_HOME="$HOME/.cache"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME" "$XDG_DATA_HOME"

# Windows has Tahoma (the windows' font) and Marlett (the caption buttons).
# Wine brings its own in the fonts-wine package, but this Wine build does not
# look in its data folder for them, so they are linked into the fonts folder
# of the prefix's home, which it does search.
fonts_dir="$XDG_DATA_HOME/fonts"
for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
  if [ -f "/usr/share/wine/fonts/$font" ] && [ ! -e "$fonts_dir/$font" ]; then
    mkdir -p "$fonts_dir"
    ln -sf "/usr/share/wine/fonts/$font" "$fonts_dir/$font"
  fi
done

display_mode=null
[ -n "${DISPLAY:-}" ] && display_mode=x11

(
  flock 9
  if [ ! -f "$WINEPREFIX/.corvane-ready" ]; then
    echo "wine-run.sh: creating the Wine prefix $WINEPREFIX (once)" >&2
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wineserver" -w
    # Folders that a new prefix links into $HOME become plain folders.
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
      if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
    done
    touch "$WINEPREFIX/.corvane-ready"
  fi
  if [ "$(cat "$WINEPREFIX/.corvane-display" 2>/dev/null)" != "$display_mode" ]; then
    if [ "$display_mode" = null ]; then
      "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    else
      "$wine" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
    fi
    "$wineserver" -w
    echo "$display_mode" > "$WINEPREFIX/.corvane-display"
  fi
) 9>"$state/.lock"

# A program that starts while the prefix's server is shutting down after the
# previous one cannot connect to it ("wine client error: ... Connection reset
# by peer") and ends before any of its code ran. Such a start is made again
# once that server is gone; any other failure is the program's own.
errors="$state/.stderr.$$"
for attempt in 1 2 3; do
  status=0
  "$wine" "$@" 2>"$errors" || status=$?
  cat "$errors" >&2
  if [ "$status" -ne 0 ] && [ "$attempt" -lt 3 ] && grep -q "^wine client error" "$errors"; then
    "$wineserver" -w
    continue
  fi
  break
done
rm -f "$errors"
exit "$status"
