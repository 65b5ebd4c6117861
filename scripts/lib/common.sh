# Shared by the project's scripts: installing what is missing, building and packing, the demo
# portal, and a private X server.
# Source it; it expects ROOT to be the project's top folder.

REQUIRED_PACKAGES=(
    cmake ninja-build g++ pkg-config libcurl4-openssl-dev libssl-dev
    qtbase5-dev qtwebengine5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n libqt5x11extras5-dev
    xvfb xauth openbox trayer xdotool wmctrl x11-utils imagemagick
    fonts-noto-cjk openssl desktop-file-utils libglib2.0-bin curl
    appstream dpkg-dev file weasyprint lintian
    clang libclang-rt-14-dev clang-format
    g++-mingw-w64-x86-64-posix python3
    curl util-linux tinyproxy squid x11-xserver-utils dunst libnss3-tools dbus-daemon dbus-bin
    weston qtwayland5 at-spi2-core python3-pyatspi
    libproxy-dev libproxy1-plugin-webkit libproxy1-plugin-gsettings libglib2.0-dev gsettings-desktop-schemas
    libfontconfig-dev
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

# Targets build() makes; all when empty.
BUILD_TARGETS=()

# build [extra cmake arguments...]: configures a new folder, and an existing one again when
# arguments are given, so that they always apply; then builds incrementally.
build() {
    local generator=()
    [ -f "$BUILD_DIR/CMakeCache.txt" ] || generator=(-G Ninja)
    if [ "${#generator[@]}" -gt 0 ] || [ "$#" -gt 0 ]; then
        log "configuring $BUILD_DIR"
        cmake -S "$ROOT" -B "$BUILD_DIR" "${generator[@]}" "$@" || die "cmake configuration failed"
    fi
    log "building"
    local targets=()
    [ "${#BUILD_TARGETS[@]}" -eq 0 ] || targets=(--target "${BUILD_TARGETS[@]}")
    cmake --build "$BUILD_DIR" --parallel "$(nproc)" "${targets[@]}" || die "build failed"
}

# pack_deb: makes the Debian package in BUILD_DIR and prints its path. When that fails, all of
# cpack's output goes to standard error, since it alone says why.
pack_deb() {
    local output package
    if ! output=$(cd "$BUILD_DIR" && cpack -G DEB 2>&1); then
        printf '%s\n' "$output" >&2
        die "cpack failed"
    fi
    package=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$output")
    if [ -z "$package" ]; then
        printf '%s\n' "$output" >&2
        die "cpack made no package"
    fi
    printf '%s\n' "$package"
}

# wait_for_line FILE PATTERN PID SECONDS: true once FILE has a line matching PATTERN, false when
# the process PID ends first or SECONDS pass.
wait_for_line() {
    local file=$1 pattern=$2 pid=$3 tenths=$(($4 * 10)) waited=0
    until grep -q "$pattern" "$file" 2>/dev/null; do
        if [ "$waited" -ge "$tenths" ] || ! kill -0 "$pid" 2>/dev/null; then
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
}

DEMO_PORTAL_PIDS=()
DEMO_PORTAL_START_SECONDS=10

# start_demo_portal OUTPUT LOG [portal arguments...]: starts BUILD_DIR's demo portal on a free
# port, its standard output to OUTPUT and its log to LOG, and waits until it listens; sets
# DEMO_PORTAL_PORT. stop_demo_portals ends every portal started so.
start_demo_portal() {
    local output=$1 errors=$2
    shift 2
    "$BUILD_DIR/bin/norv-demo-portal" --port 0 "$@" >"$output" 2>"$errors" &
    local pid=$!
    DEMO_PORTAL_PIDS+=("$pid")
    if ! wait_for_line "$output" '^listening on ' "$pid" "$DEMO_PORTAL_START_SECONDS"; then
        cat "$errors" >&2
        die "the demo portal did not start"
    fi
    DEMO_PORTAL_PORT=$(awk '/^listening on /{print $3; exit}' "$output")
}

# end_processes PID...: ends each background process and waits for it.
end_processes() {
    local pid
    for pid in "$@"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    return 0
}

stop_demo_portals() {
    end_processes "${DEMO_PORTAL_PIDS[@]}"
    DEMO_PORTAL_PIDS=()
}

# Qt WebEngine refuses to start as root with its sandbox on.
web_engine_environment() {
    if [ "$(id -u)" -eq 0 ]; then
        export QTWEBENGINE_DISABLE_SANDBOX=1
    fi
}

LOAD_PIDS=()

# start_cpu_load COUNT: keeps COUNT processes spinning at the lowest priority, as other work on a
# busy machine would; stop_cpu_load ends them.
start_cpu_load() {
    local started
    for ((started = 0; started < $1; started++)); do
        nice -n 19 sh -c 'while :; do :; done' &
        LOAD_PIDS+=("$!")
    done
    log "$1 CPU hogs at the lowest priority: ${LOAD_PIDS[*]}"
}

stop_cpu_load() {
    end_processes "${LOAD_PIDS[@]}"
    LOAD_PIDS=()
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
