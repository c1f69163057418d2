#!/usr/bin/env bash
# An edited file survives the uninstall, and restore undoes the uninstall,
# with a real NSIS installer and corvane-cli under Wine.
#
#   backup_round_trip.sh STATE_DIR CORVANE_CLI_EXE
#
# Installs quillfern.nsi silently in a new Wine prefix (STATE_DIR is made
# afresh) while corvane-cli monitors, edits the installed readme.txt, then:
# `uninstall --dry-run` lists exactly the items the real uninstall logs and
# changes nothing; the uninstall keeps the edited file and its folder, names
# the file in Log.txt and undoes everything else (the registry and the other
# files are as before the installation); `restore` brings back the registry
# and the files exactly as they were just before the uninstall.
set -euo pipefail

state=$1
cli_exe=$2
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../cmake/wine-run.sh

fail() {
  echo "backup_round_trip.sh: $*" >&2
  exit 1
}

wine() { "$wine_run" "$state" "$@"; }
cli() { wine 'C:\Corvane\corvane-cli.exe' "$@"; }

# shellcheck source=../support/wine_session.sh
source "$here/../support/wine_session.sh"
new_wine_session "$state"

user_start_menu=$(wine cmd /c echo '%APPDATA%' | tr -d '\r')'\Microsoft\Windows\Start Menu'
others=("C:\ProgramData\Microsoft\Windows\Start Menu" "$user_start_menu")

id=Quillfern
mkdir -p "$drive_c/Setup" "$drive_c/Corvane"
makensis -V2 -DOUTFILE="$drive_c/Setup/quillfern-setup.exe" "$here/quillfern.nsi"
cp "$cli_exe" "$drive_c/Corvane/corvane-cli.exe"
settings='HKCU\Software\Helmwick\Corvane'
wine reg add "$settings" /v LogLevel /t REG_DWORD /d 3 /f >/dev/null
wine reg add "$settings" /v UseRecycled /t REG_DWORD /d 0 /f >/dev/null
targets="HKLM,HKCU,HKU,HKCR,C:\Program Files,$(IFS=','; echo "${others[*]}")"

# The registry and the scanned folders as text: every file with the SHA-256
# of its content, so equal listings mean equal bytes.
save_state() {
  local name
  for key in 'HKLM\Software' 'HKCU\Software'; do
    name=${key%%'\'*}
    wine reg export "$key" "C:\\Setup\\$name.reg" /y >/dev/null
    iconv -f UTF-16 -t UTF-8 "$drive_c/Setup/$name.reg" | tr -d '\r' |
      grep -v -e '^\[HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters' -e '^$' \
        >"$checks/$1-$name.reg"
  done
  (
    cd "$drive_c"
    for folder in "Program Files" "${others[@]}"; do
      folder=${folder#'C:\'}
      folder=${folder//'\'/'/'}
      find "$folder" -type f -printf '%p\n' | while read -r file; do
        echo "file $(sha256sum <"$file" | cut -c1-64) $file"
      done
      find "$folder" -type d -printf 'd %p\n'
    done | LC_ALL=C sort
  ) >"$checks/$1-files.txt"
}
same_state() {
  local differing=()
  for part in HKLM.reg HKCU.reg files.txt; do
    diff -u "$checks/$1-$part" "$checks/$2-$part" || differing+=("$part")
  done
  [ ${#differing[@]} = 0 ] || fail "${differing[*]} differ between $1 and $2 (the diff above)"
}

save_state before
timeout 300 "$wine_run" "$state" 'C:\Corvane\corvane-cli.exe' run "$id" --targets "$targets" \
  -- 'C:\Setup\quillfern-setup.exe' /S || fail "run $id failed (exit code $?)"

readme='Program Files/Quillfern/readme.txt'
[ -f "$drive_c/$readme" ] || fail "the installer made no $readme"
echo "A note the user added after the installation." >>"$drive_c/$readme"
save_state installed

cli uninstall "$id" --dry-run | tr -d '\r' >"$checks/planned.txt" || fail "uninstall --dry-run failed"
save_state planned
same_state installed planned

cli uninstall "$id" --yes --verbose | tr -d '\r' >"$checks/uninstall.txt" ||
  fail "uninstall $id ended with errors: $(cat "$checks/uninstall.txt")"
grep -v '^Uninstall complete without errors$' "$checks/uninstall.txt" | sed 's/ \.\.\. [^.]*$//' \
  >"$checks/done.txt"
diff -u "$checks/planned.txt" "$checks/done.txt" ||
  fail "the dry run listed other items than the uninstall logged (the diff above)"

# Log.txt names the kept file; its folder stays with it.
tr -d '\r' <"$drive_c/Corvane/Log.txt" |
  grep -F 'DELETING FILE: C:\Program Files\Quillfern\readme.txt ... KEPT (changed since installation)' \
    >/dev/null || fail "Log.txt does not name the kept file"
save_state uninstalled
# Every other change is undone: the registry as before the installation, the
# files as before but for the kept file and its folder.
for part in HKLM.reg HKCU.reg; do
  diff -u "$checks/before-$part" "$checks/uninstalled-$part" ||
    fail "$part differs between before the installation and after the uninstall"
done
diff "$checks/before-files.txt" "$checks/uninstalled-files.txt" | grep '^[<>]' >"$checks/kept.txt" || true
printf '%s\n' "> d Program Files/Quillfern" \
  "> file $(sha256sum <"$drive_c/$readme" | cut -c1-64) $readme" | diff -u - "$checks/kept.txt" ||
  fail "the uninstall left other files than the edited one and its folder"

cli restore "$id" || fail "restore $id failed"
save_state restored
same_state installed restored
echo "backup_round_trip.sh: the edited file kept, the rest undone, and restore put it all back"
