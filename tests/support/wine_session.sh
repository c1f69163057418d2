# Sourced by the round-trip scripts that install real programs under Wine:
# a new Wine prefix in STATE_DIR for every run, then one Wine session that
# lasts until the script ends.
#
#   new_wine_session STATE_DIR
#
# The script defines fail MESSAGE and wine ARGS... (Wine through
# cmake/wine-run.sh "$state") first. Sets state (STATE_DIR as a full path),
# prefix, drive_c, checks (a new empty folder for the script's files),
# WINEPREFIX and wineserver.
#
# The first window of a Wine session registers the display devices: the
# first in a prefix adds keys under HKLM\System\CurrentControlSet\Control
# (Video, DeviceClasses, ServiceCurrent), HKLM\Hardware\DEVICEMAP\VIDEO and
# HKCU\Software\Wine\Temporary System Parameters; every later session writes
# its time into the display adapter's DriverDateData again. A Windows machine
# has done the first long before an installation: so does the new prefix, in
# a session of its own. In the script's session corvane-cli opens the
# desktop before its first scan, so the second is not taken for the
# installer's; the session lasts from there to the end.
new_wine_session() {
  mkdir -p "$1"
  state=$(cd "$1" && pwd)
  prefix=$state/prefix  # where wine-run.sh keeps the prefix of STATE_DIR
  drive_c=$prefix/drive_c
  checks=$state/checks
  export WINEPREFIX=$prefix

  # The wineserver of the Wine that wine-run.sh picks.
  for wineserver in "${WINE:+$(dirname "${WINE:-}")/wineserver}" /usr/lib/wine/wineserver \
                    "$(command -v wineserver || true)"; do
    [ -n "$wineserver" ] && [ -x "$wineserver" ] && break
  done
  [ -x "$wineserver" ] || fail "wineserver not found"

  # The server a stopped run left goes first.
  if [ -d "$prefix" ]; then
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w
  fi
  rm -rf "$prefix" "$checks"
  mkdir -p "$checks"
  # The first run makes the prefix and ends its Wine session.
  wine cmd /c ver >/dev/null
  "$wineserver" -w
  wine rundll32.exe user32.dll,GetDesktopWindow
  "$wineserver" -w
  "$wineserver" -p
  trap '"$wineserver" -k 2>/dev/null; "$wineserver" -w' EXIT
}
