#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) and runs a whole protected
# launch of the bundled sample game: the local test CDN (nginx with the
# build's test CA) serves the sample module published with qvl-cdn, the
# bootstrapper shows its splash, downloads and loads the module, the module
# starts the game, and the bootstrapper leaves once the game's window shows.
# A second run revalidates the cached module (304).
#   scripts/demo.sh            the Windows build under Wine
#   scripts/demo.sh --native   the Linux build
# Without a display the window goes to a private Xvfb and a screenshot is saved.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

native=false
for argument in "$@"; do
  case $argument in
    --native) native=true ;;
    *) echo "usage: scripts/demo.sh [--native]" >&2; exit 2 ;;
  esac
done

prepare_machine
preset=windows
$native && preset=linux
build_preset "$preset"
build=$PWD/build/$preset
bin=$build/bin
port=$(sed -n 's/^QVL_TEST_SERVICES_PORT:[A-Z]*=//p' "$build/CMakeCache.txt")
demo=$PWD/build/demo-$preset
rm -rf "$demo"
mkdir -p "$demo/game/Quarvel" "$demo/userdata"

# The CDN and collector, on this build's ports and test CA.
services=$demo/services
step "$demo/services.log" "Local CDN" tests/services/services.sh start "$services" "$port" "$build/test-pki" \
  "$(command -v python3)"
# The sample games the launches started (native runs list them in their
# report file) are ended while their display still exists.
end_games() {
  [ -f "$demo/games.txt" ] || return 0
  local pids=() pid
  for pid in $(sed -n 's/^run process-id=//p' "$demo/games.txt"); do
    # Only a process that is still the sample game: a pid may have been reused.
    grep -qs qvl-sample-game "/proc/$pid/cmdline" && pids+=("$pid")
  done
  [ ${#pids[@]} -eq 0 ] && return 0
  kill "${pids[@]}" 2>/dev/null || true
  for _ in $(seq 50); do
    local alive=false
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=true; done
    $alive || return 0
    sleep 0.1
  done
}
cleanup() {
  end_games
  tests/services/services.sh stop "$services" >/dev/null 2>&1 || true
  if ! $native; then scripts/wine-session.sh stop "$demo/wine" >/dev/null 2>&1 || true; fi
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

export USER=${USER:-$(id -un)}

# Where the bootstrapper runs: the Linux build directly, the Windows one in a
# private Wine prefix. Both take the Linux module: under Wine the module is
# native code loaded through the host's dlopen.
if $native; then
  game_exe=qvl-sample-game
  bootstrapper=quarvel-bootstrapper
  if [ -z "${DISPLAY:-}" ]; then
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$demo/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -s "$demo/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$demo/display")
  fi
  run() { "$@"; }
  cache_root=$demo/userdata/Quarvel
  export XDG_DATA_HOME=$demo/userdata
else
  game_exe=qvl_sample_game.exe
  bootstrapper=QuarvelBootstrapper.exe
  export QVL_WINE_SESSION_ID=demo
  step "$demo/wine.log" "Wine prefix" scripts/wine-session.sh start "$demo/wine"
  . "$demo/wine/demo/session.env"
  run() { scripts/wine-run.sh "$demo/wine" "$@"; }
  cache_root=$WINEPREFIX/drive_c/users/$USER/AppData/Roaming/Quarvel
fi

# The game folder a studio ships: the bootstrapper in place of the game's
# executable, the game itself, and the Quarvel folder with settings and texts.
cp "$bin/$bootstrapper" "$bin/$game_exe" "$demo/game/"
cp -r "$bin/Quarvel/." "$demo/game/Quarvel/"
cat >"$demo/game/Quarvel/Settings.json" <<JSON
{
  "productid": "quarvel-demo",
  "sandboxid": "demo-sandbox",
  "deploymentid": "live",
  "executable": "$game_exe",
  "title": "Quarvel demo"
}
JSON

# Publish the sample module where the CDN serves it.
cdn_root=$services/cdn-root
if $native; then
  "$bin/qvl-cdn" publish "$bin/libqvl_sample_module.so" --product quarvel-demo --deployment live \
    --system linux64 --root "$cdn_root"
else
  run "$bin/qvl-cdn.exe" publish "Z:${bin//\//\\}\\libqvl_sample_module.so" --product quarvel-demo \
    --deployment live --system linux64 --root "Z:${cdn_root//\//\\}"
fi

# Passed through to the sample game: show the window after 2 s, leave after 8 s.
game_arguments=(--window-after-ms 2000 --exit-after-ms 8000)
$native && game_arguments+=(--report "$demo/games.txt")

launch() {  # launch <label>
  local label=$1 screenshot=$demo/$1.png
  echo "== $label" >&2
  (sleep 1.5 && import -display "$DISPLAY" -window root "$screenshot" 2>/dev/null) &
  local shooter=$!
  set +e
  run "$demo/game/$bootstrapper" "${game_arguments[@]}"
  local code=$?
  set -e
  wait "$shooter" || true
  local log=$cache_root/quarvel-demo/live/anticheatlauncher.log
  echo "$label: the bootstrapper exited with $code" >&2
  echo "  log file:   $log" >&2
  [ -f "$screenshot" ] && echo "  screenshot: $screenshot" >&2
  grep -E 'Downloaded |No update needed|Launcher finished with|HTTP|cache|Terminating' "$log" | sed 's/^/    /' >&2 || true
}

launch first-run
launch second-run
end_games

cat >&2 <<TEXT
Next steps:
  docs/integration-guide.md  ship a game with the bootstrapper: the game folder, Settings.json, languages,
                             exit codes, the log file, serving modules from your own CDN
  docs/module-sdk.md         write a module: the interface, building, signing, qvl-cdn check and publish
TEXT
