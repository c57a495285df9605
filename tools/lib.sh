# Shared by the README's commands: installing what is missing, configuring
# and building a preset.

# The source tree, wherever a script that includes this is started from.
SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The presets' build folders that the test scripts use. CTest names the
# folder it runs in, and the other presets' folders a test needs
# (tests/CMakeLists.txt); by hand they are the presets' own.
NATIVE_BUILD=${RAVLIN_NATIVE_BUILD:-$SOURCE_DIR/build/native}
SANITIZE_BUILD=${RAVLIN_SANITIZE_BUILD:-$SOURCE_DIR/build/sanitize}
WINDOWS_BUILD=${RAVLIN_WINDOWS_BUILD:-$SOURCE_DIR/build/windows}
WEB_BUILD=${RAVLIN_WEB_BUILD:-$SOURCE_DIR/build/web}

# Root's commands as root, and through sudo for anyone else.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Reads the package indexes once a run. An index that fails to download (a
# mirror in the middle of a sync) is tried again twice, a while apart; if it
# still fails, apt keeps the indexes it had, and what they hold still
# installs.
update_package_indexes() {
    [ -n "${PACKAGE_INDEXES_READ:-}" ] && return 0
    PACKAGE_INDEXES_READ=1
    local pause
    for pause in 0 20 60; do
        sleep "$pause"
        as_root apt-get update -qq && return 0
    done
    echo "warning: some package indexes could not be read; going on with those that were" >&2
}

# Installs the Debian packages that are not installed yet: all at once, or,
# where that fails, each on its own, so that one that cannot be had keeps no
# other out. Fails naming those that did not install.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        installed "$package" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    update_package_indexes
    echo "installing: ${missing[*]}"
    install_packages "${missing[@]}" 2>/dev/null && return 0
    local failed=()
    for package in "${missing[@]}"; do
        install_packages "$package" 2>/dev/null || failed+=("$package")
    done
    [ ${#failed[@]} -eq 0 ] && return 0
    echo "could not install: ${failed[*]}" >&2
    return 1
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

install_packages() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# What building and testing need on Debian 12.
BUILD_PACKAGES=(cmake make g++ clang libclang-rt-14-dev pkg-config clang-tidy libgtest-dev libgmock-dev libsdl2-dev libx11-dev libxrandr-dev libwayland-dev libbenchmark-dev libcairo2-dev g++-mingw-w64-i686 python3 python3-pil)

# The web build and its tests: Emscripten (with the Node.js module its
# optimiser needs) and a browser to run them in.
WEB_PACKAGES=(emscripten node-acorn chromium)

# Wine with its 32-bit part, for the Windows build's tests.
ensure_wine() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
        PACKAGE_INDEXES_READ=
    fi
    # Without a 32-bit OpenGL, Wine presents DirectDraw through GDI, which
    # faults on the first flip after a DirectInput device is first acquired.
    ensure_packages wine wine32:i386 wine64 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
}

# A 32-bit Wine prefix of the build's own, made on first use: one for every
# Windows program the tests run.
prepare_wine_prefix() {
    export WINEPREFIX="$SOURCE_DIR/build/windows-tests/wineprefix" WINEARCH=win32 WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
}

# Runs a Windows program under Wine in that prefix.
run_under_wine() {
    prepare_wine_prefix
    local status=0
    wine "$@" || status=$?
    # Wait for the server to go by itself: killing it can reach the
    # processes of the next program started in the same prefix.
    wineserver -w
    return $status
}

# What running the program without a display needs.
RUN_PACKAGES=(xvfb x11-utils xdotool imagemagick)

# Whether the process $1 runs: one that has ended and waits to be reaped does not.
running() {
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "${state:0:1}" != Z ]
}

# Waits up to $2 seconds for the process $1, a child of this shell, to end, and sets ended to its exit
# code. One still running then is stopped (stop_process), and ended is "running".
wait_for_end() {
    local pid=$1 tenths=$(($2 * 10))
    while [ "$tenths" -gt 0 ] && running "$pid"; do
        sleep 0.1
        tenths=$((tenths - 1))
    done
    if running "$pid"; then
        stop_process "$pid"
        ended=running
        return 0
    fi
    ended=0
    wait "$pid" 2>/dev/null || ended=$?
}

# Stops the process $1: SIGTERM, and SIGKILL if it still runs 2 s later. Waits for it where it is a
# child of this shell, and otherwise until it has gone.
stop_process() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 20); do running "$pid" || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# What making the packages and checking them need: dpkg-shlibdeps for the
# .deb's dependencies, desktop-file-validate and man for what it installs,
# unzip for the zip.
PACKAGE_PACKAGES=(dpkg-dev desktop-file-utils man-db unzip)

# The end-to-end tests' virtual screen that can change size, which Xvfb's
# cannot: Xorg's dummy driver, and xrandr.
RESIZE_PACKAGES=(xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)

# A Wayland compositor for the end-to-end tests: weston in a window of the
# X server, which gives it a seat that xdotool's keys reach.
WAYLAND_PACKAGES=(weston xwayland)

# Starts weston on the X server of DISPLAY, its output WIDTHxHEIGHT ($1) at
# scale $2, with its socket in the folder $3 and any further arguments its
# own, and exports WAYLAND_DISPLAY as that socket's absolute path. --debug
# lets weston-screenshooter take the output.
start_weston() {
    local width=${1%x*} height=${1#*x}
    mkdir -p "$3" && chmod 700 "$3"
    XDG_RUNTIME_DIR=$3 weston --backend=x11-backend.so --width="$width" --height="$height" --scale="$2" \
        --use-pixman --debug --socket=wayland-e2e "${@:4}" >"$3/weston.log" 2>&1 &
    WESTON_PID=$!
    export WAYLAND_DISPLAY=$3/wayland-e2e
    for _ in $(seq 50); do [ -S "$WAYLAND_DISPLAY" ] && return 0; sleep 0.1; done
    echo "weston did not start:" >&2
    cat "$3/weston.log" >&2
    return 1
}

stop_weston() {
    [ -n "${WESTON_PID:-}" ] && kill "$WESTON_PID" 2>/dev/null
    wait "${WESTON_PID:-}" 2>/dev/null || true
    unset WAYLAND_DISPLAY WESTON_PID
}

# Starts an X server, the command given with "-displayfd 3", in the
# background, and exports DISPLAY as the free display it chose.
start_x_server() {
    local fifo number
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    "$@" 3>"$fifo" >/dev/null 2>&1 &
    VIRTUAL_DISPLAY_PID=$!
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
}

# Starts Xvfb on a free display of the given geometry and exports DISPLAY.
start_virtual_display() {
    start_x_server Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp
}

# Starts Xorg with its dummy driver on a free display and exports DISPLAY:
# its screen has the geometry WIDTHxHEIGHT and can be made any smaller common
# size with xrandr -s. Its configuration and log go in the folder $2.
start_resizable_display() {
    local width=${1%x*} height=${1#*x}
    cat >"$2/xorg.conf" <<END
Section "ServerFlags"
    Option "AutoAddDevices" "false"
EndSection
Section "Device"
    Identifier "card"
    Driver "dummy"
    VideoRam $((width * height * 4 / 1024 + 1024))
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "card"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Modes "${width}x$height"
        Virtual $width $height
    EndSubSection
EndSection
END
    # A configuration named relative to the folder, as Xorg takes it from any user.
    start_x_server sh -c 'cd "$1" && exec Xorg -displayfd 3 -config xorg.conf -logfile xorg.log -nolisten tcp \
        -noreset -novtswitch' sh "$2"
}

stop_virtual_display() {
    [ -n "${VIRTUAL_DISPLAY_PID:-}" ] && kill "$VIRTUAL_DISPLAY_PID" 2>/dev/null
    wait "${VIRTUAL_DISPLAY_PID:-}" 2>/dev/null || true
}

build_preset() {
    local preset=$1
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
}

# Python with Pillow, from Debian: not a per-user interpreter that lacks it.
PYTHON=/usr/bin/python3
