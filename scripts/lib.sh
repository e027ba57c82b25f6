# Shared by the top-level scripts: quiet steps whose log is shown on failure.

# step <log file> <description> <command...>
step() {
  local log=$1 description=$2
  shift 2
  mkdir -p "$(dirname "$log")"
  local began=$SECONDS
  if ! "$@" >"$log" 2>&1; then
    echo "FAILED: $description (log: $log)" >&2
    tail -n 40 "$log" >&2
    return 1
  fi
  echo "$description: $((SECONDS - began)) s" >&2
}

# Installs the packages and builds (or finds cached) the static libraries of
# both platforms; exports QVL_NATIVE_DEPS_PREFIX for the Linux presets and
# QVL_WIN_DEPS_PREFIX for the Windows ones.
prepare_machine() {
  step build/logs/packages.log "Debian packages" scripts/install-packages.sh
  prepare_deps linux64 QVL_NATIVE_DEPS_PREFIX "Native dependencies"
  prepare_deps win64 QVL_WIN_DEPS_PREFIX "Windows dependencies"
}

# prepare_deps <target> <variable> <description>: builds (or finds cached) the
# target's static libraries and exports their prefix as <variable>.
prepare_deps() {
  local prefix_file=build/logs/$1-deps.prefix
  step "build/logs/$1-deps.log" "$3" bash -c "scripts/build-deps.sh $1 > $prefix_file"
  export "$2=$(tail -n 1 "$prefix_file")"
}

# build_preset <preset> [targets...]
build_preset() {
  local preset=$1
  shift
  step "build/logs/$preset-configure.log" "Configure $preset" cmake --preset "$preset"
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  step "build/logs/$preset-build.log" "Build $preset" cmake --build --preset "$preset" "${targets[@]}"
}
