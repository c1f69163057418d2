#!/usr/bin/env bash
# Checks that the committed state builds into the same bytes twice: clones
# the repository (HEAD) twice, into folders of different paths, runs
# scripts/package.sh in each and compares the SHA256SUMS. On a mismatch it
# names the files that differ, inside the zip too.
#
#   scripts/check-reproducible.sh [--same-clone]
#
# --same-clone builds both packages from one clone, in two build folders of
# different paths (half the clone work; the source path is then the same).
# Exits 0 when both are the same, 1 when they differ (the two builds are then
# kept for a look; the folder is named).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
same_clone=0
[ "${1:-}" = --same-clone ] && same_clone=1

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-reproducible.XXXXXX")
keep=0
trap '[ $keep = 1 ] || rm -rf "$work"' EXIT
first=$work/one/corvane
second=$work/second-clone/src/corvane
git clone -q --no-hardlinks "$repo" "$first"
if [ $same_clone = 1 ]; then
  second=$first
else
  git clone -q --no-hardlinks "$repo" "$second"
fi

started=$(date +%s)
bash "$first/scripts/package.sh" --build-dir "$work/build-a" --out "$work/dist-a" >"$work/a.log" 2>&1 ||
  { cat "$work/a.log"; echo "check-reproducible.sh: the first package failed" >&2; exit 1; }
bash "$second/scripts/package.sh" --build-dir "$work/other-build/b" --out "$work/dist-b" \
  >"$work/b.log" 2>&1 ||
  { cat "$work/b.log"; echo "check-reproducible.sh: the second package failed" >&2; exit 1; }
echo "check-reproducible.sh: both packages built in $(($(date +%s) - started)) s"

if cmp -s "$work/dist-a/SHA256SUMS" "$work/dist-b/SHA256SUMS"; then
  cat "$work/dist-a/SHA256SUMS"
  echo "check-reproducible.sh: the same bytes from both builds"
  exit 0
fi
echo "check-reproducible.sh: the packages differ:" >&2
diff "$work/dist-a/SHA256SUMS" "$work/dist-b/SHA256SUMS" >&2 || true
# The program files inside, and what was packed.
for side in a b; do
  mkdir -p "$work/unpacked-$side"
  (cd "$work/unpacked-$side" && python3 -m zipfile -e "$work"/dist-$side/*.zip .)
done
diff -r "$work/unpacked-a" "$work/unpacked-b" >&2 || true
keep=1
echo "check-reproducible.sh: both builds are kept in $work" >&2
exit 1
