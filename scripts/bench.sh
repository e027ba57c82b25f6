#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds, and benchmarks the
# bootstrapper: the native build and the Windows build under Wine, each figure
# against a baseline measured in the same run on this machine. Prints one
# table (tests/bench/bench.py says what each figure is).
#   scripts/bench.sh            both builds
#   scripts/bench.sh --native   the native build only
# By default builds of the presets in build/bench-<preset> are used, with the
# deployed module size limit; QVL_BENCH_LINUX_BUILD and QVL_BENCH_WINDOWS_BUILD
# name other, already configured ones (they must take a 64 MiB module).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

native_only=false
for argument in "$@"; do
  case $argument in
    --native) native_only=true ;;
    *) echo "usage: scripts/bench.sh [--native]" >&2; exit 2 ;;
  esac
done

prepare_machine

# The benchmarks take a build as it is deployed: modules up to the deployed
# limit (the development builds' 1 MiB would refuse the 64 MiB module). Such
# a build gets a directory of its own, beside the preset's.
bench_options=(-DQVL_MAX_MODULE_SIZE=268435456)

# build_for <preset> <directory, empty for the bench's own> <targets...>
build_for() {
  local preset=$1 directory=$2
  shift 2
  if [ -z "$directory" ]; then
    directory=$PWD/build/bench-$preset
    step "build/logs/bench-$preset-configure.log" "Configure $preset in $directory" \
      cmake --preset "$preset" -B "$directory" "${bench_options[@]}"
  fi
  step "build/logs/bench-$preset-build.log" "Build $preset in $directory" cmake --build "$directory" --target "$@"
}

linux_build=${QVL_BENCH_LINUX_BUILD:-}
build_for linux "$linux_build" bootstrapper qvl_sample_game qvl_sample_module qvl-cdn launcher_idle_probe launch_probe
linux_build=${linux_build:-$PWD/build/bench-linux}
arguments=(--linux-build "$linux_build" --work "$PWD/build/bench")
if ! $native_only; then
  windows_build=${QVL_BENCH_WINDOWS_BUILD:-}
  build_for windows "$windows_build" bootstrapper qvl_sample_game launcher_idle_probe
  arguments+=(--windows-build "${windows_build:-$PWD/build/bench-windows}")
fi

export USER=${USER:-$(id -un)}
python3 tests/bench/bench.py "${arguments[@]}"
