#!/usr/bin/env bash
# Builds what a studio downloads, on a fresh Debian 12 machine (as root):
# the release builds for Windows and Linux with the deployment's settings,
# packed into dist/ with stripped executables, their debug information and
# SHA256SUMS.
#
#   scripts/release.sh [--settings FILE] [NAME=VALUE ...] [--once]
#
# The settings (see "Deployment settings" in README.md) come from FILE, lines
# of NAME=VALUE (# starts a comment), then from the command line, which wins.
# Relative paths are taken from the current directory. They are printed
# before anything is built.
#
# Everything is built twice, in two fresh directories, the second time without
# the compiler cache, and the two dist/ trees must be the same bytes; --once
# builds once and skips that check.
set -euo pipefail
caller_dir=$PWD
cd "$(dirname "$0")/.."
. scripts/lib.sh
root=$PWD

usage() {
  echo "usage: scripts/release.sh [--settings FILE] [NAME=VALUE ...] [--once]" >&2
  exit 2
}

# The settings a release takes, and where their defaults are written.
names=(QVL_CDN_HOST QVL_CDN_GAMEDEV_HOST QVL_TELEMETRY_SDK_HOST QVL_TELEMETRY_EVENTSTREAM_HOST QVL_CA_BUNDLE
       QVL_BRAND_ICON QVL_BRAND_PRODUCT QVL_BRAND_COMPANY QVL_BRAND_DESCRIPTION QVL_BRAND_FILENAME)
paths=(QVL_CA_BUNDLE QVL_BRAND_ICON)
declare -A given=()

set_setting() {  # set_setting NAME=VALUE
  local name=${1%%=*} value=${1#*=}
  [[ $1 == *=* ]] || { echo "not NAME=VALUE: $1" >&2; usage; }
  [[ " ${names[*]} " == *" $name "* ]] || { echo "unknown setting $name (known: ${names[*]})" >&2; exit 2; }
  if [[ " ${paths[*]} " == *" $name "* && $value != /* ]]; then
    value=$caller_dir/$value
  fi
  given[$name]=$value
}

twice=true
settings_file=
arguments=("$@")
for ((i = 0; i < ${#arguments[@]}; i++)); do
  case ${arguments[i]} in
    --once) twice=false ;;
    --settings) i=$((i + 1)); settings_file=${arguments[i]:-} ; [ -n "$settings_file" ] || usage ;;
    --settings=*) settings_file=${arguments[i]#--settings=} ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *=*) ;;
    *) usage ;;
  esac
done
if [ -n "$settings_file" ]; then
  [[ $settings_file == /* ]] || settings_file=$caller_dir/$settings_file
  [ -f "$settings_file" ] || { echo "no settings file $settings_file" >&2; exit 2; }
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line%%#*}
    line=$(echo "$line" | sed 's/^[[:space:]]*//; s/[[:space:]]*$//')
    [ -n "$line" ] && set_setting "$line"
  done <"$settings_file"
fi
for argument in "${arguments[@]}"; do
  [[ $argument == QVL_*=* ]] && set_setting "$argument"
done

default_of() {  # the default of a setting, from its set(... CACHE ...) line
  sed -n "s/^set($1 \"\\([^\"]*\\)\" CACHE.*/\\1/p" cmake/Deployment.cmake cmake/Branding.cmake |
    sed "s|\${PROJECT_SOURCE_DIR}|$root|"
}

version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
echo "Quarvel bootstrapper $version, release settings:" >&2
defines=()
for name in "${names[@]}"; do
  if [ -n "${given[$name]+set}" ]; then
    value=${given[$name]}
    defines+=("-D$name=$value")
    origin=""
  else
    value=$(default_of "$name")
    origin=" (default)"
  fi
  printf '  %-31s %s%s\n' "$name" "$value" "$origin" >&2
  if [ "$name" = QVL_CA_BUNDLE ] && [ -f "$value" ]; then
    printf '  %-31s %s certificates, sha256 %s\n' "" "$(grep -c 'BEGIN CERTIFICATE' "$value")" \
      "$(sha256sum "$value" | cut -d' ' -f1)" >&2
  fi
done

began=$SECONDS
prepare_machine

# Two builds of one commit must not differ by the day they were made: the
# commit's time stands for the build time (__DATE__, the copyright year, the
# archives' file times).
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 946684800)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8
# The compiler cache turns paths under CCACHE_BASEDIR into relative ones,
# which the build's path maps then miss: debug information would name the
# sources differently with and without the cache.
unset CCACHE_BASEDIR

release_build() {  # release_build <dir>: both presets into <dir>, packed into <dir>/dist
  local dir=$1 preset
  rm -rf "$dir"
  for preset in windows-release linux-release; do
    step "$dir/logs/$preset-configure.log" "Configure $preset in $dir" \
      cmake --preset "$preset" -B "$dir/$preset" "${defines[@]}"
    step "$dir/logs/$preset-build.log" "Build $preset" \
      cmake --build "$dir/$preset" --target bootstrapper qvl-cdn
  done
  step "$dir/logs/package.log" "Pack the archives" bash -c "
    python3 tools/release/package.py archive --platform win64 --bin '$dir/windows-release/bin' \
      --version '$version' --out '$dir/dist' &&
    python3 tools/release/package.py archive --platform linux64 --bin '$dir/linux-release/bin' \
      --version '$version' --out '$dir/dist' &&
    python3 tools/release/package.py sums '$dir/dist'"
}

first=$root/build/release-1
release_build "$first"
reproducible="not checked (--once)"
if $twice; then
  second=$root/build/release-2
  # Without the compiler cache, so every object is compiled again.
  CCACHE_DISABLE=1 release_build "$second"
  if cmp -s "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS"; then
    reproducible="yes: both builds gave the same bytes"
  else
    echo "FAILED: two builds of one commit differ:" >&2
    diff "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS" >&2 || true
    exit 1
  fi
fi

rm -rf dist
cp -r "$first/dist" dist

# What the studio gets, checked: the Windows executable's resources (with
# this release's branding), each executable's answer to a broken settings file
# (207), qvl-cdn's version.
check=$root/build/release-check
rm -rf "$check"
mkdir -p "$check"
brand() { if [ -n "${given[$1]+set}" ]; then echo "${given[$1]}"; else default_of "$1"; fi; }
python3 -c 'import json, sys; print(json.dumps(dict(zip(
    ["product", "company", "description", "filename", "icon"], sys.argv[1:]))))' \
  "$(brand QVL_BRAND_PRODUCT)" "$(brand QVL_BRAND_COMPANY)" "$(brand QVL_BRAND_DESCRIPTION)" \
  "$(brand QVL_BRAND_FILENAME)" "$(brand QVL_BRAND_ICON)" >"$check/brand.json"
step "$check/check.log" "Check the archives" \
  python3 tests/release/check_release.py dist "$version" "$check" "$check/brand.json"

echo "== dist/ (quarvel-bootstrapper $version)" >&2
(cd dist && find . -type f | sort | while read -r file; do
  printf '  %10s  %s\n' "$(stat -c %s "$file")" "${file#./}"
done) >&2
echo "== Executables, as built / stripped in the archive" >&2
for program in windows-release/bin/QuarvelBootstrapper.exe windows-release/bin/qvl-cdn.exe \
               linux-release/bin/quarvel-bootstrapper linux-release/bin/qvl-cdn; do
  name=$(basename "$program")
  built=$(stat -c %s "$first/$program")
  case $program in
    windows*) shipped=$(find "$check/win64" -name "$name" -exec stat -c %s {} \;) ;;
    *) shipped=$(find "$check/linux64" -name "$name" -exec stat -c %s {} \;) ;;
  esac
  printf '  %-26s %10s -> %10s bytes\n' "$name" "$built" "$shipped" >&2
done
echo "== Checks" >&2
sed 's/^/  /' "$check/summary.txt" >&2
echo "Reproducible: $reproducible" >&2
echo "Total: $((SECONDS - began)) s" >&2
