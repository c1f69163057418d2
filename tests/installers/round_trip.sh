#!/usr/bin/env bash
# A real installer monitored and undone by corvane-cli under Wine.
#
#   round_trip.sh nsis|msi STATE_DIR CORVANE_CLI_EXE
#
# Builds the installer from the source beside this script, installs it
# silently in a new Wine prefix (STATE_DIR is made afresh) while corvane-cli
# monitors, checks that `show` lists exactly the changes in <kind>-changes.txt
# here, then uninstalls and checks that the registry and the scanned folders
# are as they were before the installation.
set -euo pipefail

kind=$1
state=$2
cli_exe=$3
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../cmake/wine-run.sh

fail() {
  echo "round_trip.sh: $*" >&2
  exit 1
}

wine() { "$wine_run" "$state" "$@"; }
cli() { wine 'C:\Corvane\corvane-cli.exe' "$@"; }

# shellcheck source=../support/wine_session.sh
source "$here/../support/wine_session.sh"
new_wine_session "$state"

user_start_menu=$(wine cmd /c echo '%APPDATA%' | tr -d '\r')'\Microsoft\Windows\Start Menu'
user=${user_start_menu#'C:\users\'}
user=${user%%'\'*}
# Other folders to scan besides Program Files.
others=("C:\ProgramData\Microsoft\Windows\Start Menu" "$user_start_menu")
scan_windows=0

id=Quillfern
mkdir -p "$drive_c/Setup"
case $kind in
  nsis)
    makensis -V2 -DOUTFILE="$drive_c/Setup/quillfern-setup.exe" "$here/quillfern.nsi"
    setup=('C:\Setup\quillfern-setup.exe' /S)
    ;;
  msi)
    (cd "$here" && wixl -a x64 -o "$drive_c/Setup/quillfern.msi" quillfern.wxs)
    setup=(msiexec /i 'C:\Setup\quillfern.msi' /qn)
    # The Windows Installer keeps a copy of the package in C:\windows\Installer.
    scan_windows=1
    ;;
  *) fail "unknown installer kind '$kind' (nsis or msi)" ;;
esac

mkdir -p "$drive_c/Corvane"
cp "$cli_exe" "$drive_c/Corvane/corvane-cli.exe"
settings='HKCU\Software\Helmwick\Corvane'
# Errors and warnings only: a clean uninstall logs just its summary.
wine reg add "$settings" /v LogLevel /t REG_DWORD /d 3 /f >/dev/null
wine reg add "$settings" /v UseRecycled /t REG_DWORD /d 0 /f >/dev/null
# Every user hive under each of its names: each change must still show once.
targets="HKLM,HKCU,HKU,HKCR,C:\Program Files,$(IFS=','; echo "${others[*]}")"
[ $scan_windows = 0 ] || targets+=',C:\windows'

# The registry (the program's settings included) and the scanned folders,
# as text that compares line by line.
save_state() {
  local name
  for key in 'HKLM\Software' 'HKCU\Software'; do
    name=${key%%'\'*}
    wine reg export "$key" "C:\\Setup\\$name.reg" /y >/dev/null
    # Wine keeps the session's display settings in volatile keys (no values),
    # made anew by the first window of every session: not the installation's.
    iconv -f UTF-16 -t UTF-8 "$drive_c/Setup/$name.reg" | tr -d '\r' |
      grep -v -e '^\[HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters' -e '^$' \
        >"$checks/$1-$name.reg"
  done
  (
    cd "$drive_c"
    folders=("Program Files" "${others[@]}")
    [ $scan_windows = 0 ] || folders+=(windows)
    for folder in "${folders[@]}"; do
      folder=${folder#'C:\'}
      folder=${folder//'\'/'/'}
      find "$folder" -type f -printf 'file %s %p\n' -o -printf '%y %p\n'
    done | LC_ALL=C sort
  ) >"$checks/$1-files.txt"
}
save_state before

# The installer is the first program of the session to open a window (NSIS
# does, even silent); run must still come back once it has ended.
started=$(date +%s)
timeout 300 "$wine_run" "$state" 'C:\Corvane\corvane-cli.exe' run "$id" --targets "$targets" \
  -- "${setup[@]}" || fail "run $id failed or did not come back (exit code $?)"
echo "round_trip.sh: run took $(($(date +%s) - started)) s, both scans included"

# What varies from run to run: the export's date, the files' times, the
# date of the installation, the package code wixl makes up for every build
# and the name the Windows Installer makes up for its copy of the package;
# and the user's name in paths.
cli show "$id" | tr -d '\r' | sed -E \
  -e '2s/^(Corvane, +).*/\1<now>/' \
  -e 's/= [0-9]{2}.[0-9]{2} [0-9]{2}.[0-9]{2}.[0-9]{2} ([0-9]+ bytes)$/= <time> \1/' \
  -e "s/InstallDate = '[0-9]{8}'/InstallDate = '<date>'/" \
  -e "s/PackageCode = '[0-9A-F]{32}'/PackageCode = '<package code>'/" \
  -e 's/\\Installer\\[0-9a-f]+\.msi/\\Installer\\<package>.msi/' \
  -e 's/^(      \(\+\)\(FILE\) )[0-9a-f]+\.msi = /\1<package>.msi = /' \
  -e "s/\\\\users\\\\$user\\\\/\\\\users\\\\<user>\\\\/" \
  >"$checks/changes.txt"
diff -u "$here/$kind-changes.txt" "$checks/changes.txt" ||
  fail "show $id lists other changes than $kind-changes.txt (the diff above)"

cli uninstall "$id" --yes --verbose || fail "uninstall $id ended with errors"
# Log.txt holds the errors and warnings of the run, then its summary.
logged=$(tr -d '\r' <"$drive_c/Corvane/Log.txt" | sed -n '/^-\{39\}$/,$p' | sed -e 1d -e '/^$/d')
[ "$logged" = "Uninstall complete without errors" ] ||
  fail "the uninstall logged errors or warnings:"$'\n'"$logged"

save_state after
differing=()
for part in HKLM.reg HKCU.reg files.txt; do
  diff -u "$checks/before-$part" "$checks/after-$part" || differing+=("$part")
done
[ ${#differing[@]} = 0 ] ||
  fail "${differing[*]} differ between before the installation and after the uninstall"
echo "round_trip.sh: $kind installer monitored, shown and undone"
