#!/usr/bin/env bash
# Builds what a Windows user downloads, into dist/:
#   corvane-setup-<version>.exe     the installer (NSIS; per user, no administrator rights)
#   corvane-<version>-portable.zip  the same program files, to unpack anywhere
#   SHA256SUMS                      their checksums, in sha256sum's format
#
#   scripts/package.sh [--build-dir DIR] [--from-build DIR] [--out DIR]
#
# By default it configures a fresh build folder (build/release, emptied first),
# builds corvane.exe, corvane-cli.exe, the language files and the user guides
# there, stripped, and packs them. --from-build packs the program files of a
# folder that is already built instead (the tests do), without building.
# The version is the one of project() in CMakeLists.txt.
#
# The same commit gives the same bytes wherever it is built: every time stored
# is SOURCE_DATE_EPOCH (the commit's time unless set), the build folder's and
# the source folder's paths are kept out of the executables, and the files are
# packed in a fixed order.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=$src/build/release
from_build=
out=$src/dist
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build=$2; shift 2 ;;
    --from-build) from_build=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    *) echo "package.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH
export TZ=UTC LC_ALL=C

if [ -n "$from_build" ]; then
  build=$(cd "$from_build" && pwd)
else
  bash "$src/scripts/install-deps.sh"
  rm -rf "$build"
  mkdir -p "$build"
  build=$(cd "$build" && pwd)
  # No paths of this machine in the executables, no link time in their
  # headers, no symbols.
  maps="-ffile-prefix-map=$src=. -ffile-prefix-map=$build=build"
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCVN_WERROR=ON \
    -DCMAKE_C_FLAGS="$maps" -DCMAKE_CXX_FLAGS="$maps" \
    -DCMAKE_EXE_LINKER_FLAGS="-s -Wl,--no-insert-timestamp" >/dev/null
  cmake --build "$build" --target corvane corvane-cli user_guide
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package.sh: no project version in $build/CMakeCache.txt" >&2; exit 1; }
app=$build/app
icon=$build/tools/pictures/icon/corvane.ico
files=(corvane.exe corvane-cli.exe corvane_de.html corvane_en.html corvane_fr.html
       Translations/English.lng Translations/French.lng Translations/German.lng)

# The program files, stripped, with the one time.
stage=$build/package/stage
rm -rf "$build/package"
mkdir -p "$stage/Translations" "$out"
for file in "${files[@]}"; do
  [ -f "$app/$file" ] || { echo "package.sh: $app/$file is missing (not built?)" >&2; exit 1; }
  case $file in
    *.exe) x86_64-w64-mingw32-strip -o "$stage/$file" "$app/$file" ;;
    *) cp "$app/$file" "$stage/$file" ;;
  esac
done
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

setup=corvane-setup-$version.exe
zip=corvane-$version-portable.zip
rm -f "$out/$setup" "$out/$zip" "$out/SHA256SUMS"

# The zip: entries sorted, each with the one time and fixed permissions.
python3 - "$stage" "$out/$zip" "$SOURCE_DATE_EPOCH" "${files[@]}" <<'PY'
import sys, time, zipfile
stage, target, epoch, names = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
when = time.gmtime(max(epoch, 315532800))[:6]  # a zip holds no time before 1980
entries = sorted(set(names) | {"Translations/"})
with zipfile.ZipFile(target, "w") as archive:
    for name in entries:
        info = zipfile.ZipInfo(name, when)
        info.create_system = 0  # MS-DOS attributes, as Windows writes them
        if name.endswith("/"):
            info.external_attr = 0x10  # a folder
            archive.writestr(info, b"")
            continue
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0x20  # an archive file
        with open(f"{stage}/{name}", "rb") as source:
            archive.writestr(info, source.read(), compresslevel=9)
PY

makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DICON="$icon" \
  -DOUTFILE="$out/$setup" "$src/scripts/corvane.nsi"
touch -d "@$SOURCE_DATE_EPOCH" "$out/$setup" "$out/$zip"

(cd "$out" && sha256sum "$setup" "$zip" >SHA256SUMS)
echo "package.sh: Corvane $version in $out:"
(cd "$out" && ls -l "$setup" "$zip" SHA256SUMS)
