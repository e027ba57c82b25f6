#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need.
# Idempotent: when everything is installed already it only checks.
set -euo pipefail

packages=(
  # toolchains and build tools
  build-essential cmake ninja-build pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
  # native dependencies and tests: SDL2 and libcurl are linked statically
  # (scripts/build-deps.sh); the headers of the shared libraries they use
  libx11-dev libxext-dev libxcursor-dev libxi-dev libxrandr-dev libxss-dev libxfixes-dev
  libfreetype-dev libssl-dev
  # the native game window watch asks the X server who owns a window
  libxres-dev
  # natively, installed fonts for scripts the built-in fonts lack are found
  # through fontconfig
  libfontconfig-dev
  libgtest-dev googletest
  # the Windows build runs under Wine, windows under Xvfb
  wine wine64 xvfb xauth x11-utils imagemagick
  # the end-to-end tests click the bootstrapper's window on the Xvfb display
  xdotool
  # local test services and the built-in fonts
  nginx openssl fonts-open-sans tinyproxy-bin
  # a small font covering Chinese, Japanese and Korean (1.6 MB): the tests draw
  # those languages with it natively, and under Wine it stands in for the
  # Windows fonts their catalogues name
  fonts-wqy-microhei
  # signs test modules with test certificates (the signature tests)
  osslsigncode
  # the fuzz targets: clang with libFuzzer, symbolized reports (scripts/fuzz.sh)
  clang libclang-rt-dev llvm
  # the generator of the built-in pictures (tools/assets)
  python3 python3-pil
  # the benchmarks' baseline: the curl command-line tool (scripts/bench.sh)
  curl
  # the locales the end-to-end tests run Wine in (see the end of this script)
  locales
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes the player's language from the C library's locale, which exists
# only once it was generated: the module-delivery tests run in English and
# French, the language tests as British, Portuguese, Japanese and Russian players.
for locale in en_US fr_FR en_GB pt_PT ja_JP ru_RU; do
  locale -a 2>/dev/null | grep -qx "$locale.utf8" || localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
done
