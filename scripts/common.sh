# Shared by the README's commands: install what is missing, configure, build, set up Wine.
# Sourced, not run.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${LUMENO_BUILD:-$ROOT/build}
PACKAGES=(cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils xdotool imagemagick
    fonts-wqy-microhei googletest python3)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# configure_and_build [cmake -D options...] [-- build target]
configure_and_build() {
    local options=() target=()
    while [ $# -gt 0 ]; do
        [ "$1" = "--" ] && { shift; target=(--target "$@"); break; }
        options+=("$1")
        shift
    done
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
    cmake --build "$BUILD" -j"$(nproc)" "${target[@]}"
}

# Wine: a prefix of our own under the build folder, quiet, no crash dialog, loopback unproxied.
wine_env() {
    export WINEPREFIX="$BUILD/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export no_proxy=127.0.0.1,localhost
    export LC_ALL=zh_CN.UTF-8
    export LUMENO_BUILD="$BUILD"
}

wine_prefix() {
    wine_env
    if [ ! -f "$WINEPREFIX/.lumeno-ready" ]; then
        echo "creating the Wine prefix (once, about 15 s)"
        wineboot -i >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >/dev/null 2>&1 || true
        wineserver -w
        touch "$WINEPREFIX/.lumeno-ready"
    fi
}

# Whether Wine hands its windows to an X window manager. Under Xvfb there is none, and Wine then
# waits two seconds for the missing manager on every window it unmaps: so "N" there.
wine_managed() {
    local want=$1 marker="$WINEPREFIX/.lumeno-managed"
    [ "$(cat "$marker" 2>/dev/null)" = "$want" ] && return 0
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$want" /f >/dev/null 2>&1 || true
    wineserver -w
    echo "$want" >"$marker"
}

# zh_CN.UTF-8 must exist for LC_ALL above; Debian's locales package makes it.
ensure_locale() {
    locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$' && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q "install ok installed" || {
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq locales >/dev/null
    }
    $sudo sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
}
