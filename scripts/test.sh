#!/usr/bin/env bash
# Builds both presets and runs every test:
#   host     the portable core, native, with AddressSanitizer and UBSan
#   windows  everything, cross-compiled with MinGW-w64, tests run under Wine
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

echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $failed
