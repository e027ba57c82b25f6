#!/usr/bin/env bash
# The qvl-cdn executable end to end: publish a module, unscramble what was
# published, and get the original bytes back; check and publish refuse what
# is no module. (module_check_test.cpp tries check on real modules.)
#   round_trip_test.sh <work dir> <qvl-cdn> [wine-run.sh <session dir>]
set -euo pipefail
work=${1:?work dir}
tool=${2:?qvl-cdn}
shift 2
run=("$@")
prefix=""
if [ ${#run[@]} -gt 0 ]; then
  # CTest started this script: the Wine session is named after it.
  export QVL_WINE_SESSION_ID=${QVL_WINE_SESSION_ID:-ctest-$PPID}
  prefix="Z:"
fi

rm -rf "$work"
mkdir -p "$work"
# Odd size, every byte value.
head -c 70001 /dev/urandom >"$work/module.bin"

qvl() { "${run[@]}" "$tool" "$@"; }

# Random bytes are no module: check says so, publish refuses and writes nothing.
status=0
qvl check "$prefix$work/module.bin" --system win64 >"$work/check.out" || status=$?
[ "$status" = 1 ] || { echo "check of random bytes gave $status" >&2; exit 1; }
grep -q "^problem: " "$work/check.out" || { cat "$work/check.out" >&2; exit 1; }
status=0
qvl publish "$prefix$work/module.bin" --product qvl-test --deployment dep-1 --system win64 --root "$prefix$work/root" \
  >"$work/publish.err" 2>&1 || status=$?
[ "$status" = 1 ] || { echo "publishing random bytes gave $status" >&2; exit 1; }
grep -q "refusing to publish" "$work/publish.err" || { cat "$work/publish.err" >&2; exit 1; }
[ ! -e "$work/root" ] || { echo "a refused publish wrote $work/root" >&2; exit 1; }

# Forced, they are published (scrambled) all the same.
qvl publish "$prefix$work/module.bin" --product qvl-test --deployment dep-1 --system win64 --root "$prefix$work/root" \
  --force 2>/dev/null
published=$work/root/modules/qvl-test/dep-1/win64
[ -f "$published" ] || { echo "nothing at $published" >&2; exit 1; }
if cmp -s "$work/module.bin" "$published"; then
  echo "the published file is not scrambled" >&2
  exit 1
fi
# No temporary file is left beside it.
[ "$(ls -A "$work/root/modules/qvl-test/dep-1")" = "win64" ] || { ls -A "$work/root/modules/qvl-test/dep-1" >&2; exit 1; }

# Publishing again replaces the file.
head -c 5000 /dev/urandom >"$work/module2.bin"
qvl publish "$prefix$work/module2.bin" --product qvl-test --deployment dep-1 --system win64 --root "$prefix$work/root" \
  --force 2>/dev/null

qvl unscramble "$prefix$published" "$prefix$work/back.bin"
cmp "$work/module2.bin" "$work/back.bin"

qvl scramble "$prefix$work/module.bin" "$prefix$work/scrambled.bin"
qvl unscramble "$prefix$work/scrambled.bin" "$prefix$work/plain.bin"
cmp "$work/module.bin" "$work/plain.bin"

# Wrong usage exits with 2 and changes nothing.
status=0
qvl publish "$prefix$work/module.bin" --product ../x --deployment dep-1 --system win64 --root "$prefix$work/root" \
  --force 2>/dev/null || status=$?
[ "$status" = 1 ] || { echo "a bad product id gave $status" >&2; exit 1; }
status=0
qvl frobnicate 2>/dev/null || status=$?
[ "$status" = 2 ] || { echo "an unknown command gave $status" >&2; exit 1; }
qvl --help | grep -q "qvl-cdn publish FILE"
qvl --help | grep -q "qvl-cdn check FILE --system S"
rm -rf "$work"
echo "qvl-cdn round trip passed"
