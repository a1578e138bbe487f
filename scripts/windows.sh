#!/usr/bin/env bash
# Plaxon for 64-bit Windows, made on this Debian 12 machine:
#   scripts/windows.sh build     cross-compiles Release into build-win/ with the MinGW Qt kit
#   scripts/windows.sh test      runs the whole test suite there under Wine, on the offscreen platform
#   scripts/windows.sh package   makes build-win/plaxon-<version>-win64.exe, the NSIS installer
#   scripts/windows.sh env       prints the variables that run the built programs under Wine
# Steps may be combined (build test package). The kit comes from the folder
# PLAXON_WINKIT names (an unpacked kit, or the folder of its archive), else
# from ../shared/winkit; an archive is unpacked under the build folder.
# BUILD_DIR picks another build folder; extra arguments after "--" go to the
# CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build="${BUILD_DIR:-build-win}"
kit_archive_name=qt-6.4.2-mingw64.tar.xz

packages=(
    cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
    g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine nsis
    xvfb xauth xdotool imagemagick x11-utils qt6-translations-l10n
)

install_packages() {
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The unpacked kit's folder, unpacking the archive first when needed.
kit_dir() {
    local from="${PLAXON_WINKIT:-$source_dir/../shared/winkit}"
    if [ -f "$from/lib/cmake/Qt6/Qt6Config.cmake" ]; then
        (cd "$from" && pwd)
        return
    fi
    [ -f "$from/$kit_archive_name" ] || { echo "windows.sh: no kit in $from" >&2; exit 1; }
    local unpacked="$source_dir/$build/kit/${kit_archive_name%.tar.xz}"
    if [ ! -f "$unpacked/.unpacked" ] || [ "$from/$kit_archive_name" -nt "$unpacked/.unpacked" ]; then
        rm -rf "$unpacked"
        mkdir -p "$source_dir/$build/kit"
        tar xf "$from/$kit_archive_name" -C "$source_dir/$build/kit"
        # Qt's own Czech and English texts, files alike on every system,
        # from Debian's qt6-translations-l10n (the kit has none).
        mkdir -p "$unpacked/translations"
        cp /usr/share/qt6/translations/qtbase_cs.qm /usr/share/qt6/translations/qtbase_en.qm "$unpacked/translations/"
        touch "$unpacked/.unpacked"
    fi
    echo "$unpacked"
}

# Wine for the tests and the programs: a prefix of its own under the build
# folder, no host display unless DISPLAY is set, and the kit's DLLs and
# plugins on the paths. Wine drops host variables named QT_*, so Qt's are
# given as WINEQT_*.
wine_env() {
    local kit
    kit=$(kit_dir)
    export WINEPREFIX="$source_dir/$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    local graphics=null
    [ -n "${DISPLAY:-}" ] && graphics=x11
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
    fi
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f >/dev/null 2>&1
    wineserver -w
    WINEPATH="$(winepath -w "$kit/bin")"
    WINEQT_PLUGIN_PATH="$(winepath -w "$kit/plugins")"
    WINEQT_QPA_FONTDIR="$(winepath -w /usr/share/wine/fonts)"
    export WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_FONTDIR WINEQT_FORCE_STDERR_LOGGING=1
}

configure_and_build() {
    local kit
    kit=$(kit_dir)
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLAXON_WERROR=ON \
        -DCMAKE_TOOLCHAIN_FILE="$kit/mingw64-toolchain.cmake" -DCMAKE_PREFIX_PATH="$kit" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake "${configure_args[@]}"
    cmake --build "$build" -j "${JOBS:-2}"
}

run_tests() {
    wine_env
    export WINEQT_QPA_PLATFORM=offscreen
    # Wine's Recycle Bin is the Linux trash of XDG_DATA_HOME: the tests' own.
    export XDG_DATA_HOME="$source_dir/$build/xdg-data"
    mkdir -p "$XDG_DATA_HOME"
    # The fault tests mount small file systems from the Linux side (through
    # Wine, which starts Linux programs as it starts Windows ones): the run
    # gets a mount namespace of its own, wineserver included, since it is
    # wineserver that opens the files.
    wineserver -k 2>/dev/null || true
    local run="wineserver -p10 & ctest --test-dir $(printf %q "$build") -j ${JOBS:-2} --output-on-failure ${CTEST_ARGS:-}; rc=\$?; wineserver -k; exit \$rc"
    if [ "$(id -u)" -eq 0 ] && unshare -m --propagation private true 2>/dev/null; then
        PLAXON_PRIVATE_MOUNTS=1 unshare -m --propagation private bash -c "$run"
    else
        echo "windows.sh: not root, so the fault tests cannot mount their file systems and will fail" >&2
        bash -c "$run"
    fi
}

make_package() {
    (cd "$build" && cpack -G NSIS)
    ls -l "$build"/plaxon-*-win64.exe
}

steps=()
configure_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --) shift; configure_args=("$@"); break ;;
    build | test | package | env) steps+=("$1") ;;
    *) echo "usage: $0 build|test|package|env ... [-- cmake options]" >&2; exit 2 ;;
    esac
    shift
done
[ ${#steps[@]} -gt 0 ] || { echo "usage: $0 build|test|package|env ... [-- cmake options]" >&2; exit 2; }

install_packages
for step in "${steps[@]}"; do
    case "$step" in
    build) echo "== Windows build ($build)"; configure_and_build ;;
    test) echo "== Windows tests under Wine"; run_tests ;;
    package) echo "== Windows installer"; make_package ;;
    env)
        wine_env
        for v in WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_FONTDIR; do
            printf 'export %s=%q\n' "$v" "${!v}"
        done
        ;;
    esac
done
