#!/usr/bin/env bash
# Builds both presets and runs every test:
#   host     the portable core, native, with AddressSanitizer and UBSan
#   windows  everything, cross-compiled with MinGW-w64, tests run under Wine
#   release  scripts/check-reproducible.sh: the release package built twice, compared
# Ends with ctest's summaries and exits non-zero when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || exit 1

failed=0
summary=()
for preset in host windows; do
  echo "=== $preset: configure and build"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    echo "=== $preset: build failed"
    failed=1
    summary+=("$preset: build failed")
    continue
  fi
  echo "=== $preset: tests"
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
  summary+=("$preset: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  rm -f "$log"
done

# The release package: two builds of HEAD, from clones in different paths,
# give the same bytes.
echo "=== release: reproducible package"
started=$(date +%s)
if bash scripts/check-reproducible.sh; then
  summary+=("release: the same package twice ($(($(date +%s) - started)) s)")
else
  failed=1
  summary+=("release: the two packages differ or did not build")
fi

echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $failed
