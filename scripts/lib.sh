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

# Installs the packages and builds (or finds cached) Windows dependencies;
# exports QVL_WIN_DEPS_PREFIX for the windows preset.
prepare_machine() {
  step build/logs/packages.log "Debian packages" scripts/install-packages.sh
  local prefix_file=build/logs/win-deps.prefix
  step build/logs/win-deps.log "Windows dependencies" \
    bash -c "scripts/build-win-deps.sh > $prefix_file"
  QVL_WIN_DEPS_PREFIX=$(tail -n 1 "$prefix_file")
  export QVL_WIN_DEPS_PREFIX
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
