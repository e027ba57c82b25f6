#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) and runs every test: the native
# build, the two sanitizer builds (address + undefined behaviour, thread), and
# the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

began=$SECONDS
prepare_machine

failed=()
for preset in linux linux-asan linux-tsan windows; do
  build_preset "$preset"
  echo "== Tests: $preset" >&2
  ctest --preset "$preset" || failed+=("$preset")
done

echo "Total: $((SECONDS - began)) s" >&2
if [ ${#failed[@]} -gt 0 ]; then
  echo "Failing presets: ${failed[*]}" >&2
  exit 1
fi
