#!/usr/bin/env bash
# Builds the third-party libraries the bootstrapper links, as static
# libraries, and prints their install prefix as the last line of stdout:
#
#   scripts/build-deps.sh win64     Windows x64, with mingw-w64:
#     cmake --preset windows -DQVL_WIN_DEPS_PREFIX="$(scripts/build-deps.sh win64 | tail -1)"
#   scripts/build-deps.sh linux64   the native Linux build:
#     cmake --preset linux -DQVL_NATIVE_DEPS_PREFIX="$(scripts/build-deps.sh linux64 | tail -1)"
#
# Libraries: SDL2 (video, render and events only), SDL2_ttf (no HarfBuzz),
# SDL2_image (built-in stb decoder: PNG, BMP/ICO) and libcurl (HTTP/HTTPS
# only). Windows: with a static FreeType and Schannel, as Debian has no mingw
# builds of them. Linux: against the system's shared FreeType and OpenSSL
# (fontconfig and the product need them anyway), SDL with X11 only, loading
# the X libraries at run time. Linked statically, the libraries' own
# dependencies (sound servers, Wayland, codecs, the many protocols of a
# distribution's libcurl) stay out of every start. All are built from Debian
# 12's source packages: distro-patched, fetched through apt.
#
# The prefix is <cache>/<target>-<key>; the cache is $QVL_DEPS_CACHE or
# /var/cache/quarvel-deps, and the key hashes the source versions, this script
# with scripts/deps/, the toolchain file and the compilers. A complete prefix
# (its stamp is written last) is reused, so a repeated call takes about a
# second. Progress goes to stderr, build output to <prefix>.log and
# <prefix>.curl.log. Runs as root: it installs its build tools with apt-get.
set -euo pipefail
umask 022

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly REPO
readonly HELPERS="$REPO/scripts/deps"
readonly CACHE_ROOT=${QVL_DEPS_CACHE:-/var/cache/quarvel-deps}
readonly TARGET=${1:-}
case $TARGET in
  win64)
    readonly TRIPLE=x86_64-w64-mingw32
    readonly TOOLCHAIN="$REPO/cmake/toolchain-mingw64.cmake"
    readonly SOURCE_PACKAGES=(libsdl2 freetype libsdl2-ttf libsdl2-image curl)
    readonly COMPILERS=("$TRIPLE-gcc-posix" "$TRIPLE-g++-posix")
    readonly COMPILER_PACKAGES=(gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
                                binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev)
    readonly LIBRARY_PACKAGES=()
    ;;
  linux64)
    readonly TOOLCHAIN=''
    readonly SOURCE_PACKAGES=(libsdl2 libsdl2-ttf libsdl2-image curl)
    readonly COMPILERS=(gcc g++)
    readonly COMPILER_PACKAGES=(gcc g++ binutils libc6-dev)
    # Headers of what stays shared: SDL's X11 video (loaded at run time), FreeType, OpenSSL.
    readonly LIBRARY_PACKAGES=(libx11-dev libxext-dev libxcursor-dev libxi-dev libxrandr-dev
                               libxss-dev libxfixes-dev libfreetype-dev libssl-dev)
    ;;
  *)
    echo "usage: scripts/build-deps.sh win64|linux64" >&2
    exit 2
    ;;
esac
readonly BUILD_PACKAGES=(dpkg-dev cmake ninja-build "${COMPILER_PACKAGES[@]}" "${LIBRARY_PACKAGES[@]}")
readonly DEB_SRC_LIST=/etc/apt/sources.list.d/quarvel-deb-src.sources
readonly STAMP=.complete
# Every Windows installation has these; the linked test program may import nothing else.
readonly WINDOWS_DLLS=(advapi32.dll bcrypt.dll crypt32.dll gdi32.dll imm32.dll kernel32.dll
                      msvcrt.dll ole32.dll oleaut32.dll secur32.dll setupapi.dll shell32.dll
                      user32.dll version.dll winmm.dll ws2_32.dll)
# Natively: the C and C++ run times and what stays shared on purpose (FreeType,
# OpenSSL); the X libraries are loaded at run time.
readonly LINUX_LIBRARIES=(libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 libgcc_s.so.1
                          libstdc++.so.6 libfreetype.so.6 libssl.so.3 libcrypto.so.3)

declare -A VERSIONS=()
declare -A JOBS=()  # background build: pid -> what it builds
KEY='' PREFIX='' STAGE='' WORK='' LOG='' CURL_LOG=''

main() {
    ensure_build_packages
    [[ -z $TOOLCHAIN || -f $TOOLCHAIN ]] || die "missing toolchain file $TOOLCHAIN"
    mkdir -p "$CACHE_ROOT"
    ensure_source_lists
    choose_prefix
    if ! is_complete; then
        say "no cached build for key $KEY; refreshing the package lists first"
        refresh_source_lists
        choose_prefix
        is_complete || build_with_lock
    fi
    echo "$PREFIX"
}

say() { printf 'build-deps %s: [%3ds] %s\n' "$TARGET" "$SECONDS" "$*" >&2; }
die() { say "error: $*"; exit 1; }

# Runs a command with its output held back; shows the tail only if it fails.
quietly() {
    local out
    if ! out=$("$@" 2>&1 </dev/null); then
        printf '%s\n' "$out" | tail -n 20 >&2
        die "failed: $*"
    fi
}

# Appends a command's output to $LOG; on failure shows its tail and the log path.
logged() {
    printf '\n[%(%T)T] $ %s\n' -1 "$*" >>"$LOG"
    if ! "$@" >>"$LOG" 2>&1 </dev/null; then
        tail -n 40 "$LOG" >&2
        die "failed: ${*:1:3} ... (full log: $LOG)"
    fi
}

apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -q -y -o Dpkg::Use-Pty=0 "$@"; }

ensure_build_packages() {
    local pkg missing=()
    for pkg in "${BUILD_PACKAGES[@]}"; do
        [[ $(dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null) == ii* ]] || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return 0
    ((EUID == 0)) || die "run as root to install ${missing[*]}"
    say "installing ${missing[*]}"
    quietly apt_get update
    quietly apt_get install --no-install-recommends "${missing[@]}"
}

# apt-get source needs deb-src entries; Debian's images ship binary ones only.
ensure_source_lists() {
    resolve_versions && return 0
    ((EUID == 0)) || die "run as root to add Debian's source package lists"
    [[ -f $DEB_SRC_LIST ]] || write_source_list
    refresh_source_lists
}

write_source_list() {
    say "adding $DEB_SRC_LIST"
    cat >"$DEB_SRC_LIST" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
}

refresh_source_lists() {
    quietly apt_get update
    resolve_versions || die "apt has no source package for one of: ${SOURCE_PACKAGES[*]}"
}

# Fills VERSIONS with the newest version apt knows of each source package,
# which is what apt-get source fetches.
resolve_versions() {
    local pkg ver
    VERSIONS=()
    while read -r pkg ver; do
        if [[ -z ${VERSIONS[$pkg]:-} ]] || dpkg --compare-versions "$ver" gt "${VERSIONS[$pkg]}"; then
            VERSIONS[$pkg]=$ver
        fi
    done < <(apt-cache showsrc --only-source "${SOURCE_PACKAGES[@]}" 2>/dev/null |
             awk '/^Package:/ { pkg = $2 } /^Version:/ { print pkg, $2 }')
    for pkg in "${SOURCE_PACKAGES[@]}"; do
        [[ -n ${VERSIONS[$pkg]:-} ]] || return 1
    done
}

choose_prefix() {
    KEY=$(key_inputs | sha256sum | cut -c1-12) || die "cannot compute the cache key"
    PREFIX="$CACHE_ROOT/$TARGET-$KEY"
    STAGE="$PREFIX.tmp"
}

# Everything that changes the built libraries.
key_inputs() {
    local pkg
    for pkg in "${SOURCE_PACKAGES[@]}"; do
        echo "$pkg ${VERSIONS[$pkg]}"
    done
    echo "target $TARGET"
    (cd "$REPO" && find scripts/build-deps.sh scripts/deps -type f -print0 |
        sort -z | xargs -0 sha256sum)
    [[ -z $TOOLCHAIN ]] || sha256sum <"$TOOLCHAIN"
    "${COMPILERS[0]}" --version
    "${COMPILERS[1]}" --version
    dpkg-query -W "${COMPILER_PACKAGES[@]}" "${LIBRARY_PACKAGES[@]}" cmake
}

is_complete() { [[ -f $PREFIX/$STAMP ]]; }

# One build per cache at a time; whoever waited may find the work done.
build_with_lock() {
    exec 9>"$CACHE_ROOT/.lock"
    if ! flock -n 9; then
        say "waiting for another build in $CACHE_ROOT"
        flock 9
    fi
    is_complete || build
}

build() {
    local started=$SECONDS
    LOG="$PREFIX.log"
    CURL_LOG="$PREFIX.curl.log"
    : >"$LOG"
    : >"$CURL_LOG"
    rm -rf "$PREFIX" "$STAGE"
    WORK=$(mktemp -d "$CACHE_ROOT/build.XXXXXX")
    trap cleanup EXIT
    say "building into $PREFIX (log: $LOG)"

    fetch_sources
    build_in_parallel
    install_licenses
    publish_stage
    verify_prefix
    write_manifest
    touch "$PREFIX/$STAMP"
    say "done in $((SECONDS - started))s"
}

# Stops builds still running and leaves no half-built prefix behind.
cleanup() {
    local pid
    for pid in "${!JOBS[@]}"; do
        kill -- "-$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$WORK" "$STAGE"
    is_complete || rm -rf "$PREFIX"
}

fetch_sources() {
    local pkg specs=()
    for pkg in "${SOURCE_PACKAGES[@]}"; do
        specs+=("$pkg=${VERSIONS[$pkg]}")
    done
    say "fetching ${specs[*]}"
    mkdir "$WORK/src"
    (cd "$WORK/src" && logged apt-get source -q --only-source -o APT::Sandbox::User=root "${specs[@]}")
    logged patch -d "$(source_dir libsdl2-image)" -p1 --forward \
        -i "$HELPERS/sdl2-image-config-no-libpng.patch"
}

# Where apt-get source unpacked a package: <name>-<upstream version>.
source_dir() {
    local ver=${VERSIONS[$1]}
    ver=${ver#*:}
    echo "$WORK/src/$1-${ver%-*}"
}

# How CMake builds for the target, with <prefix> as the dependencies' home:
# the cross toolchain for Windows; position-independent code natively, so
# that the libraries may also end up in a shared object.
target_options() {
    case $TARGET in
        win64) printf '%s\n' -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQVL_WIN_DEPS_PREFIX="$1" ;;
        linux64) printf '%s\n' -DCMAKE_POSITION_INDEPENDENT_CODE=ON ;;
    esac
}

# Configures, builds and installs one CMake project into the staging prefix.
cmake_install() {
    local name=$1 src=$2
    shift 2
    local build="$WORK/build/$name" target
    mapfile -t target < <(target_options "$STAGE")
    say "building $name"
    logged cmake -S "$src" -B "$build" -G Ninja "${target[@]}" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$STAGE" \
        -DCMAKE_INSTALL_LIBDIR=lib \
        -DCMAKE_PREFIX_PATH="$STAGE" \
        -DBUILD_SHARED_LIBS=OFF \
        "$@"
    logged cmake --build "$build" -j "$(nproc)"
    logged cmake --install "$build"
}

build_sdl2() {
    local platform
    case $TARGET in
        win64) platform=(-DSDL_RENDER_D3D=OFF -DSDL_DIRECTX=OFF -DSDL_XINPUT=OFF -DSDL_WASAPI=OFF) ;;
        # X11 only, its libraries loaded when the video starts (the
        # bootstrapper links libX11 anyway); no input methods or D-Bus.
        linux64) platform=(-DSDL_X11=ON -DSDL_X11_SHARED=ON -DSDL_WAYLAND=OFF -DSDL_KMSDRM=OFF
                           -DSDL_DIRECTFB=OFF -DSDL_RPI=OFF -DSDL_VIVANTE=OFF
                           -DSDL_DBUS=OFF -DSDL_IBUS=OFF -DSDL_LIBSAMPLERATE=OFF
                           -DSDL_RPATH=OFF -DSDL_STATIC_PIC=ON) ;;
    esac
    cmake_install SDL2 "$(source_dir libsdl2)" \
        -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=OFF \
        -DSDL_AUDIO=OFF -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF \
        -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
        -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF -DSDL_VULKAN=OFF \
        -DSDL_CCACHE=OFF "${platform[@]}"
}

build_freetype() {
    cmake_install FreeType "$(source_dir freetype)" \
        -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
        -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
}

# Dependencies are named explicitly so nothing from the build host can stand in.
staged_sdl2() { echo "-DSDL2_DIR=$STAGE/lib/cmake/SDL2"; }

# Natively FreeType is the system's shared one, found by CMake.
build_sdl2_ttf() {
    local freetype=()
    [[ $TARGET == win64 ]] && freetype=(
        -DFREETYPE_INCLUDE_DIR_ft2build="$STAGE/include/freetype2"
        -DFREETYPE_INCLUDE_DIR_freetype2="$STAGE/include/freetype2"
        -DFREETYPE_LIBRARY="$STAGE/lib/libfreetype.a")
    cmake_install SDL2_ttf "$(source_dir libsdl2-ttf)" "$(staged_sdl2)" \
        -DSDL2TTF_SAMPLES=OFF -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF "${freetype[@]}"
}

build_sdl2_image() {
    local format unused=()
    for format in AVIF GIF JPG JXL LBM PCX PNM QOI SVG TGA TIF WEBP XCF XPM XV; do
        unused+=("-DSDL2IMAGE_$format=OFF")
    done
    cmake_install SDL2_image "$(source_dir libsdl2-image)" "$(staged_sdl2)" \
        -DSDL2IMAGE_SAMPLES=OFF -DSDL2IMAGE_TESTS=OFF -DSDL2IMAGE_VENDORED=OFF \
        -DSDL2IMAGE_DEPS_SHARED=OFF -DSDL2IMAGE_BACKEND_STB=ON -DSDL2IMAGE_BACKEND_WIC=OFF \
        -DSDL2IMAGE_PNG=ON -DSDL2IMAGE_PNG_SAVE=OFF -DSDL2IMAGE_BMP=ON "${unused[@]}"
}

# The SDL chain and libcurl build side by side, each in its own process group
# so that cleanup can stop every compiler they started. The first failure ends
# the whole build.
build_in_parallel() {
    set -m
    build_sdl_chain </dev/null &
    JOBS[$!]="SDL2/FreeType build (log: $LOG)"
    build_curl </dev/null &
    JOBS[$!]="libcurl build (log: $CURL_LOG)"
    set +m
    local pid
    while ((${#JOBS[@]})); do
        pid=''
        wait -n -p pid "${!JOBS[@]}" || die "${JOBS[$pid]:-a build} failed"
        unset "JOBS[$pid]"
    done
}

build_sdl_chain() {
    build_sdl2
    [[ $TARGET != win64 ]] || build_freetype
    build_sdl2_ttf
    build_sdl2_image
}

# No CA file or directory is configured in: the ones of the build host would be
# used on players' machines. Schannel uses the Windows certificate store;
# natively OpenSSL's default locations (the system's store on any
# distribution) are the fallback, and the product sets them itself too.
build_curl() {
    local tls
    case $TARGET in
        win64) tls=(-DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF) ;;
        linux64) tls=(-DCURL_USE_OPENSSL=ON -DCURL_CA_FALLBACK=ON -DCURL_USE_GSSAPI=OFF) ;;
    esac
    LOG=$CURL_LOG
    cmake_install curl "$(source_dir curl)" \
        -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DPICKY_COMPILER=OFF \
        -DHTTP_ONLY=ON -DENABLE_UNIX_SOCKETS=OFF \
        -DCURL_ENABLE_SSL=ON "${tls[@]}" \
        -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF \
        -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF -DCURL_USE_LIBPSL=OFF \
        -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DUSE_NGHTTP2=OFF \
        -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none
    check_curl_config "$WORK/build/curl/lib/curl_config.h"
}

check_curl_config() {
    [[ -f $1 ]] || die "no $1"
    if grep -E '^#define CURL_CA_(BUNDLE|PATH)|/etc/' "$1" >&2; then
        die "libcurl was configured with a build-host CA path ($1)"
    fi
}

# SDL2 and its satellites install their license texts; FreeType and curl don't.
# Also drops sdl2-config: Debian's patch makes it point into the host's /usr/lib.
install_licenses() {
    local freetype
    if [[ $TARGET == win64 ]]; then
        freetype=$(source_dir freetype)
        install -D -m 644 -t "$STAGE/share/licenses/freetype" "$freetype/LICENSE.TXT" "$freetype/docs/FTL.TXT"
    fi
    install -D -m 644 -t "$STAGE/share/licenses/curl" "$(source_dir curl)/COPYING"
    rm -f "$STAGE/bin/sdl2-config"
}

# Moves the staged install to its final place; installed files that spell out
# the staging path (pkg-config files, *-config scripts) are repointed first.
publish_stage() {
    local stray
    stray=$(find "$STAGE" \( -name '*.dll' -o -name '*.dll.a' -o -name '*.so' -o -name '*.so.*' \) -print)
    [[ -z $stray ]] || die "shared libraries were installed: $stray"
    stray=$(grep -rlIF -- "$WORK" "$STAGE" || true)
    [[ -z $stray ]] || die "installed files refer to the build directory: $stray"
    { grep -rlIZF -- "$STAGE" "$STAGE" || true; } | xargs -0r sed -i "s|${STAGE//./\\.}|$PREFIX|g"
    mv -T "$STAGE" "$PREFIX"
}

# Links a program against every library the way the game does and checks it
# needs no DLL beyond Windows' own, so a broken prefix is never stamped.
verify_prefix() {
    local build="$WORK/check" target
    mapfile -t target < <(target_options "$PREFIX")
    say "checking the prefix with a static test program"
    logged cmake -S "$HELPERS/check" -B "$build" -G Ninja "${target[@]}" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_PREFIX_PATH="$PREFIX"
    logged cmake --build "$build"
    case $TARGET in
        win64) check_imports "$build/deps_check.exe" ;;
        linux64)
            check_needed "$build/deps_check"
            logged "$build/deps_check"
            ;;
    esac
}

check_imports() {
    local dll imports unexpected=()
    imports=$("$TRIPLE-objdump" -p "$1" | awk '/DLL Name:/ { print $3 }')
    [[ -n $imports ]] || die "no import table in $1"
    while read -r dll; do
        [[ " ${WINDOWS_DLLS[*]} " == *" ${dll,,} "* ]] || unexpected+=("$dll")
    done <<<"$imports"
    ((${#unexpected[@]} == 0)) || die "test program needs non-system DLLs: ${unexpected[*]}"
    say "test program imports only system DLLs: ${imports//$'\n'/ }"
}

check_needed() {
    local library needed unexpected=()
    needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    [[ -n $needed ]] || die "no dynamic section in $1"
    while read -r library; do
        [[ " ${LINUX_LIBRARIES[*]} " == *" $library "* ]] || unexpected+=("$library")
    done <<<"$needed"
    ((${#unexpected[@]} == 0)) || die "test program needs unexpected shared libraries: ${unexpected[*]}"
    say "test program needs only: ${needed//$'\n'/ }"
}

write_manifest() {
    local pkg
    {
        echo "key $KEY"
        for pkg in "${SOURCE_PACKAGES[@]}"; do
            echo "$pkg ${VERSIONS[$pkg]}"
        done
    } >"$PREFIX/quarvel-deps.txt"
}

main "$@"
