# Shared by the project's scripts: installing what is missing, building, and a private X server.
# Source it; it expects ROOT to be the project's top folder.

REQUIRED_PACKAGES=(
    cmake ninja-build g++ pkg-config libcurl4-openssl-dev libssl-dev
    qtbase5-dev qtwebengine5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
    xvfb xauth openbox trayer xdotool wmctrl x11-utils imagemagick
    fonts-noto-cjk openssl desktop-file-utils libglib2.0-bin
    appstream dpkg-dev file weasyprint
    clang libclang-rt-14-dev
)

BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

missing_packages() {
    local package
    for package in "${REQUIRED_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' \
            || printf '%s\n' "$package"
    done
}

ensure_packages() {
    local missing
    mapfile -t missing < <(missing_packages)
    [ "${#missing[@]}" -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        printf 'These Debian packages are missing: %s\n' "${missing[*]}" >&2
        printf 'Install them as root, then run this script again:\n' >&2
        printf '    sudo apt-get install -y %s\n' "${missing[*]}" >&2
        exit 1
    fi
    log "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q || die "apt-get update failed"
    apt-get install -y -q "${missing[@]}" || die "apt-get install failed"
}

# The tests' Node peers (a real tus server and client), at the versions the lock file pins.
NODE_PACKAGES_DIR="$ROOT/tests/node"

ensure_node_packages() {
    command -v npm >/dev/null || die "npm is missing: install Node.js 20 or later"
    local stamp="$NODE_PACKAGES_DIR/node_modules/.package-lock.json"
    [ -f "$stamp" ] && [ "$stamp" -nt "$NODE_PACKAGES_DIR/package-lock.json" ] && return 0
    log "installing the tests' Node packages"
    npm ci --prefix "$NODE_PACKAGES_DIR" --no-audit --no-fund >&2 || die "npm ci failed"
}

# build [extra cmake arguments...]: configures once, then builds incrementally.
build() {
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        log "configuring $BUILD_DIR"
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja "$@" || die "cmake configuration failed"
    fi
    log "building"
    cmake --build "$BUILD_DIR" --parallel "$(nproc)" || die "build failed"
}

# Qt WebEngine refuses to start as root with its sandbox on.
web_engine_environment() {
    if [ "$(id -u)" -eq 0 ]; then
        export QTWEBENGINE_DISABLE_SANDBOX=1
    fi
}

XVFB_PID=
WM_PID=
TRAY_PID=

stop_x_server() {
    [ -n "$TRAY_PID" ] && kill "$TRAY_PID" 2>/dev/null
    [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    WM_PID=
    TRAY_PID=
    return 0
}

# Starts Xvfb on a free display with a small window manager and a notification area
# (as on a desktop), and exports DISPLAY.
start_x_server() {
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    local waited=0
    while [ ! -s "$display_file" ] && [ "$waited" -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    local display
    display=$(tr -d '[:space:]' <"$display_file")
    rm -f "$display_file"
    [ -n "$display" ] || die "Xvfb did not start"
    export DISPLAY=":$display"
    openbox --sm-disable >/dev/null 2>&1 &
    WM_PID=$!
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true >/dev/null 2>&1 &
    TRAY_PID=$!
    # The tray must be up before a client asks whether a notification area exists.
    timeout 10 xdotool search --sync --class trayer >/dev/null 2>&1 || log "trayer did not start"
    log "X server on $DISPLAY"
}
