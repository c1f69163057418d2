#!/usr/bin/env bash
# The release as a Windows user gets it, under Wine.
#
#   release_round_trip.sh STATE_DIR BUILD_DIR RELEASE_PROBE_EXE
#
# Packs the program files of BUILD_DIR with scripts/package.sh, unpacks the
# portable zip into C:\Portable of a new Wine prefix (STATE_DIR is made
# afresh) on a German system, checks the version corvane-cli --version and
# both version resources give, and from there monitors the installer:
#   - `run` reports exactly the changes in installer-changes.txt here, and the
#     installer chose German for Corvane, which had no language yet;
#   - the installed corvane.exe shows its window;
#   - the installer's uninstaller (/S) leaves nothing of what `run` reported,
#     and keeps the user's settings;
#   - installed again, now with English chosen (the installer keeps it and puts
#     the English guide in the Start menu), `corvane-cli uninstall` leaves
#     nothing either.
set -euo pipefail

state=$1
build=$(cd "$2" && pwd)
probe_exe=$3
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
wine_run=$src/cmake/wine-run.sh

fail() {
  echo "release_round_trip.sh: $*" >&2
  exit 1
}

mkdir -p "$state"
state=$(cd "$state" && pwd)

# The package, from this build's program files.
bash "$src/scripts/package.sh" --from-build "$build" --out "$state/dist" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
setup=corvane-setup-$version.exe
for file in "$setup" "corvane-$version-portable.zip"; do
  size=$(stat -c %s "$state/dist/$file")
  echo "release_round_trip.sh: $file: $size bytes"
  [ "$size" -lt 10000000 ] || fail "$file is 10 MB or more"
done

# The system speaks German: Wine takes it from LC_ALL, even where the system
# has no such locale (then bash, running wine-run.sh, says so: not shown).
german() {
  LC_ALL=de_DE.UTF-8 "$@" 2> >(grep -v '^bash: warning: setlocale: LC_ALL' >&2)
}
wine() { german "$wine_run" "$state" "$@"; }
cli() { wine 'C:\Portable\corvane-cli.exe' "$@"; }

# shellcheck source=../support/wine_session.sh
source "$src/tests/support/wine_session.sh"
new_wine_session "$state"

mkdir -p "$drive_c/Portable" "$drive_c/Setup"
(cd "$drive_c/Portable" && python3 -m zipfile -e "$state/dist/corvane-$version-portable.zip" .)
cp "$state/dist/$setup" "$probe_exe" "$drive_c/Setup/"
[ "$(cli --version | tr -d '\r')" = "corvane-cli $version" ] ||
  fail "corvane-cli --version does not say corvane-cli $version"
# Both executables carry the version in their version resource.
python3 - "$version" "$drive_c"/Portable/corvane*.exe <<'PY' || fail "a version resource is wrong"
import re, sys
key, value = (text.encode("utf-16-le") for text in ("FileVersion", sys.argv[1]))
pattern = re.escape(key) + rb"(?:\x00\x00)+" + re.escape(value) + rb"\x00\x00"
for exe in sys.argv[2:]:
    if not re.search(pattern, open(exe, "rb").read()):
        sys.exit(f"{exe}: no FileVersion {sys.argv[1]}")
PY

local_app_data=$(wine cmd /c echo '%LOCALAPPDATA%' | tr -d '\r')
start_menu=$(wine cmd /c echo '%APPDATA%' | tr -d '\r')'\Microsoft\Windows\Start Menu'
user=${start_menu#'C:\users\'}
user=${user%%'\'*}
# Where per-user programs go; a Windows machine has it.
mkdir -p "$drive_c/users/$user/AppData/Local/Programs"
settings='HKCU\Software\Helmwick\Corvane'
wine reg add "$settings" /v LogLevel /t REG_DWORD /d 3 /f >/dev/null
wine reg add "$settings" /v UseRecycled /t REG_DWORD /d 0 /f >/dev/null
targets="HKLM,HKCU,HKU,HKCR,$local_app_data\\Programs,$start_menu"

language() {
  wine reg query "$settings" /v Language | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}

# Monitors the silent installation.
install() {
  german timeout 300 "$wine_run" "$state" 'C:\Portable\corvane-cli.exe' run self \
    --targets "$targets" -- "C:\\Setup\\$setup" /S ||
    fail "run self failed or did not come back (exit code $?)"
}

# `show`, with what varies from run to run (times, sizes, the version, the
# user's name) written as placeholders.
show_changes() {
  cli show self | tr -d '\r' | tee "$checks/show-$1.txt" | sed -E \
    -e '2s/^(Corvane, +).*/\1<now>/' \
    -e 's/= [0-9]{2}.[0-9]{2} [0-9]{2}.[0-9]{2}.[0-9]{2} [0-9]+ bytes$/= <time> <size> bytes/' \
    -e "s/EstimatedSize = [0-9]+/EstimatedSize = <size>/" \
    -e "s/'$version'/'<version>'/" \
    -e "s/\\\\users\\\\$user\\\\/\\\\users\\\\<user>\\\\/g" >"$checks/changes-$1.txt"
}

# Nothing of what the installation `$1` made is left.
expect_gone() {
  local hive
  for hive in HKCU HKLM; do wine reg export "$hive" "C:\\Setup\\$hive.reg" /y >/dev/null; done
  python3 "$here/leftovers.py" "$checks/show-$1.txt" "$drive_c" \
    "$drive_c/Setup/HKCU.reg" "$drive_c/Setup/HKLM.reg" >"$checks/left-$1.txt"
  [ ! -s "$checks/left-$1.txt" ] || fail "$2 left behind:"$'\n'"$(cat "$checks/left-$1.txt")"
}

install
[ "$(language)" = German ] || fail "the installer did not choose German, the system's language"
# Corvane speaks English from here, as chosen by the user.
wine reg add "$settings" /v Language /d English /f >/dev/null
show_changes first
diff -u "$here/installer-changes.txt" "$checks/changes-first.txt" ||
  fail "run self reports other changes than installer-changes.txt (the diff above)"

installed="$local_app_data\\Programs\\Corvane"
title=$(wine 'C:\Setup\release_probe.exe' window "$installed\\corvane.exe" TfrmCvnMain | tr -d '\r') ||
  fail "the installed corvane.exe showed no window"
[[ $title == Corvane* ]] || fail "the installed corvane.exe's window is titled '$title'"

wine 'C:\Setup\release_probe.exe' wait "$installed\\uninstall.exe" /S ||
  fail "the uninstaller failed"
expect_gone first "the uninstaller"
[ "$(language)" = English ] || fail "the silent uninstaller removed the settings"

install
show_changes second
[ "$(language)" = English ] || fail "the installer changed the language the user chose"
sed 's/Corvane Benutzerhandbuch.lnk/Corvane User Guide.lnk/' "$here/installer-changes.txt" |
  diff -u - "$checks/changes-second.txt" ||
  fail "the second installation made other changes (the diff above)"
cli uninstall self --yes || fail "corvane-cli uninstall self failed"
expect_gone second "corvane-cli uninstall"
echo "release_round_trip.sh: the release installed, started and uninstalled both ways"
