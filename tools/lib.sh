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
# optimiser needs) and the three browser engines to run them in: Chromium,
# Firefox, and WebKitGTK's MiniBrowser with its WebDriver.
WEB_PACKAGES=(emscripten node-acorn chromium firefox-esr webkit2gtk-driver)

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

# Whether this machine runs 32-bit x86 programs, which Wine's 32-bit part
# is: some kernels are built or started without them (execve then refuses
# any). Asked of the smallest such program, written here: it only exits.
runs_32bit_programs() {
    local program status=0
    program=$(mktemp)
    /usr/bin/python3 - "$program" <<'END'
import struct, sys
base = 0x08048000
code = bytes([0x31, 0xDB, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xCD, 0x80])  # exit(0)
size = 52 + 32 + len(code)
header = struct.pack('<16sHHIIIIIHHHHHH', b'\x7fELF\x01\x01\x01', 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack('<8I', 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], 'wb') as out:
    out.write(header + segment + code)
END
    chmod +x "$program"
    "$program" 2>/dev/null || status=$?
    rm -f "$program"
    return $status
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
# .deb's dependencies, lintian, desktop-file-validate and man for what it
# installs, xscreensaver to run its hack, unzip for the zip.
PACKAGE_PACKAGES=(dpkg-dev lintian desktop-file-utils man-db xscreensaver unzip)

# The end-to-end tests' virtual screen that can change size, which Xvfb's
# cannot: Xorg's dummy driver, and xrandr.
RESIZE_PACKAGES=(xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils)

# A Wayland compositor for the end-to-end tests: weston in a window of the
# X server, which gives it a seat that xdotool's keys reach. libdecor's plugin
# is there as on a desktop (libdecor recommends it; without it libdecor says so
# on standard error).
WAYLAND_PACKAGES=(weston xwayland libdecor-0-plugin-1-cairo)

# The other desktops of the end-to-end tests (start_display): openbox, sway
# with grim for its screenshots, kwin_wayland, a D-Bus session bus for each,
# and xlogo, an X window to hold the focus.
DESKTOP_PACKAGES=(openbox sway grim wtype kwin-wayland dbus-daemon x11-apps)

# Waits up to 5 s for the socket $1 of a compositor that logs to $2; fails
# showing the log if none appears.
wait_for_socket() {
    for _ in $(seq 50); do [ -S "$1" ] && return 0; sleep 0.1; done
    echo "no socket $1:" >&2
    cat "$2" >&2
    return 1
}

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
    wait_for_socket "$WAYLAND_DISPLAY" "$3/weston.log"
}

# Writes the output of the weston started in the folder $1, taken by
# weston-screenshooter, to the 24-bit BMP $2.
take_weston_screenshot() {
    local shot
    rm -f "$1"/wayland-screenshot-*.png
    # One run in many hangs: it has a while.
    (cd "$1" && timeout 10 weston-screenshooter) >/dev/null 2>&1 || return 1
    shot=$(compgen -G "$1/wayland-screenshot-*.png") || return 1
    /usr/bin/convert "$shot" -type TrueColor "bmp3:$2"
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

# Starts Xvfb on a free display of the given geometry, with any further
# arguments its own, and exports DISPLAY.
start_virtual_display() {
    start_x_server Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp "${@:2}"
}

# Starts Xorg with its dummy driver on a free display and exports DISPLAY:
# its screen has the geometry WIDTHxHEIGHT and can be made any smaller common
# size with xrandr -s. Its configuration and log go in the folder $2. With a
# third argument, WIDTHxHEIGHT too, a second output of that size is to the
# right of the first, which is the primary one, and the screen holds both.
start_resizable_display() {
    local width=${1%x*} height=${1#*x} second=${3:-}
    local total_width=$width total_height=$height output=""
    if [ -n "$second" ]; then
        total_width=$((width + ${second%x*}))
        [ "${second#*x}" -le "$height" ] || total_height=${second#*x}
        output='Option "Monitor-DUMMY1" "second"'
    fi
    cat >"$2/xorg.conf" <<END
Section "ServerFlags"
    Option "AutoAddDevices" "false"
EndSection
Section "Device"
    Identifier "card"
    Driver "dummy"
    VideoRam $((total_width * total_height * 4 / 1024 + 1024))
    Option "Monitor-DUMMY0" "monitor"
    $output
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
    Option "Primary" "true"
EndSection
Section "Screen"
    Identifier "screen"
    Device "card"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Modes "${width}x$height"
        Virtual $total_width $total_height
    EndSubSection
EndSection
END
    [ -z "$second" ] || cat >>"$2/xorg.conf" <<END
Section "Monitor"
    Identifier "second"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
    Option "Enable" "true"
    Option "PreferredMode" "$second"
    Option "RightOf" "monitor"
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

# The user that sway, which refuses to run as root, and its programs run as.
SESSION_USER=65534

# The words that run a command as SESSION_USER, with this environment.
AS_SESSION_USER=(setpriv --reuid="$SESSION_USER" --regid="$SESSION_USER" --clear-groups)

# Starts a D-Bus session bus with its socket in the folder $1, as a desktop
# session has one, run by the words given after the folder
# ("${AS_SESSION_USER[@]}", or none for this user). Exports DBUS_SESSION_BUS_ADDRESS and adds the bus's
# process to DISPLAY_PIDS.
start_session_bus() {
    local folder=$1 said
    shift
    said=$("$@" dbus-daemon --session --address="unix:path=$folder/bus" --fork --print-address=1 --print-pid=1 \
        </dev/null 2>"$folder/bus.log") || { cat "$folder/bus.log" >&2; return 1; }
    export DBUS_SESSION_BUS_ADDRESS=${said%%$'\n'*}
    DISPLAY_PIDS+=" ${said##*$'\n'}"
}

# Starts openbox on the X server of DISPLAY, its home and log in the folder
# $1, adds it to DISPLAY_PIDS and waits until it manages the screen.
start_openbox() {
    mkdir -p "$1/home"
    HOME=$1/home openbox --sm-disable </dev/null >"$1/openbox.log" 2>&1 &
    DISPLAY_PIDS+=" $!"
    for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    echo "openbox did not start:" >&2
    cat "$1/openbox.log" >&2
    return 1
}

# The two monitors of the displays "dummy-two" and "monitors" (start_display):
# the primary one at 0,0 and the other to its right, as X screen areas.
PRIMARY_MONITOR=1920x1080+0+0
OTHER_MONITOR=1280x1024+1920+0

# Declares PRIMARY_MONITOR and OTHER_MONITOR as RandR monitors on the one
# output ("screen") of the Xvfb of DISPLAY: the primary one takes the output,
# the other none. Sizes in millimetres at 96 dots an inch.
declare_monitors() {
    local name area size
    for name in '*primary' other; do
        area=$PRIMARY_MONITOR
        [ "$name" = other ] && area=$OTHER_MONITOR
        size=${area%%+*}
        xrandr --setmonitor "$name" \
            "${size%x*}/$((${size%x*} * 254 / 960))x${size#*x}/$((${size#*x} * 254 / 960))+${area#*+}" \
            "$([ "$name" = other ] && echo none || echo screen)" >/dev/null
    done
}

# Starts sway as SESSION_USER in a window of the X server of DISPLAY, whose
# keys reach it as a keyboard's, drawing without a GPU, and adds it and its
# session bus to DISPLAY_PIDS. Its home, runtime folder, session bus, log and
# configuration are in the folder $1: Debian's, without its include of
# config.d (whose one file starts systemd's user services) and without the
# wallpaper (of a package not installed, which sway would say in a bar). The
# session's X display, sway's Xwayland, goes in $1/xwayland.
start_sway() {
    local folder backends=(WLR_BACKENDS=x11)
    # sway runs as SESSION_USER, who may not reach a folder inside the source
    # tree (a clone in root's home): its files go in a folder of their own in
    # /tmp, which $1 names.
    mkdir -p "$(dirname "$1")"
    ln -sfn "$(mktemp -d)" "$1"
    chmod 755 "$1/"
    folder=$(readlink -f "$1")
    # Headless, with no input device: no keyboard until a program makes one.
    [ "${2:-}" = headless ] && backends=(WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1)
    mkdir -p "$folder/home" "$folder/run"
    grep -v -e '^include /etc/sway/config.d/' -e '^output .* bg ' /etc/sway/config >"$folder/config"
    chown -R "$SESSION_USER:$SESSION_USER" "$folder"
    chmod 700 "$folder/run"
    start_session_bus "$folder" "${AS_SESSION_USER[@]}"
    env HOME="$folder/home" XDG_RUNTIME_DIR="$folder/run" "${backends[@]}" WLR_RENDERER=pixman \
        "${AS_SESSION_USER[@]}" sway -c "$folder/config" </dev/null >"$folder/sway.log" 2>&1 &
    DISPLAY_PIDS+=" $!"
    wait_for_socket "$folder/run/wayland-1" "$folder/sway.log"
    for _ in $(seq 50); do compgen -G "$folder/run/sway-ipc.*.sock" >/dev/null && break; sleep 0.1; done
    # What a program of the session has in its environment.
    sway_client "$folder"
    "${SWAY_CLIENT[@]}" swaymsg -q exec 'echo "$DISPLAY" >"$XDG_RUNTIME_DIR/../xwayland"'
    for _ in $(seq 50); do [ -s "$folder/xwayland" ] && return 0; sleep 0.1; done
    echo "sway started no Xwayland:" >&2
    cat "$folder/sway.log" >&2
    return 1
}

# Sets SWAY_CLIENT to the words that run a command as a program of the sway
# started in the folder $1, as a terminal of that session would: as
# SESSION_USER, with the session's home, runtime folder, bus and Wayland
# display, and with --xwayland ($2) its X display too; without it, DISPLAY
# is not set, and the program is a Wayland client only.
sway_client() {
    local folder display=()
    folder=$(readlink -f "$1")
    [ "${2:-}" = --xwayland ] && display=(DISPLAY="$(cat "$folder/xwayland")")
    SWAY_CLIENT=("${AS_SESSION_USER[@]}" env -u DISPLAY "${display[@]}" HOME="$folder/home"
        XDG_RUNTIME_DIR="$folder/run" WAYLAND_DISPLAY=wayland-1 DBUS_SESSION_BUS_ADDRESS="unix:path=$folder/bus"
        SWAYSOCK="$(compgen -G "$folder/run/sway-ipc.*.sock")")
}

# Writes the output of the sway started in the folder $1, taken by grim, to
# the 24-bit BMP $2.
take_sway_screenshot() {
    local client=("${SWAY_CLIENT[@]}")
    sway_client "$1"
    "${SWAY_CLIENT[@]}" grim -t ppm - | /usr/bin/convert ppm:- -type TrueColor "bmp3:$2"
    SWAY_CLIENT=("${client[@]}")
}

# Starts kwin_wayland in a window of the X server of DISPLAY, whose keys reach
# it as a keyboard's, its output WIDTHxHEIGHT ($2), drawing without a GPU
# (QPainter, where it would try OpenGL first and fall back), and adds it to
# DISPLAY_PIDS. Its home, runtime folder and log are in the folder $1, its socket
# is $1/run/wayland-kwin. It runs from a copy: the installed program carries
# file capabilities, which a container may refuse to run.
start_kwin() {
    local folder=$1
    mkdir -p "$folder/home" "$folder/run"
    chmod 700 "$folder/run"
    cp /usr/bin/kwin_wayland "$folder/kwin_wayland"
    HOME=$folder/home XDG_RUNTIME_DIR=$folder/run KWIN_COMPOSE=Q "$folder/kwin_wayland" --x11-display "$DISPLAY" \
        --width "${2%x*}" --height "${2#*x}" --socket wayland-kwin --no-lockscreen \
        </dev/null >"$folder/kwin.log" 2>&1 &
    DISPLAY_PIDS+=" $!"
    wait_for_socket "$folder/run/wayland-kwin" "$folder/kwin.log"
}

# Writes the X screen of DISPLAY to the 24-bit BMP $1, or only its area $2
# (WIDTHxHEIGHT+X+Y), such as a monitor's.
take_x_screenshot() {
    /usr/bin/import -window root ${2:+-crop "$2"} +repage -type TrueColor "bmp3:$1"
}

# What start_display exports, and tools/virtual-display keeps for the tests
# of a fixture.
DISPLAY_VARIABLES=(DISPLAY DBUS_SESSION_BUS_ADDRESS DISPLAY_FOLDER DISPLAY_PIDS RAVLIN_DISPLAY_KIND)

# Starts the display named $1, with its processes' files in the folder $2:
#   WIDTHxHEIGHTxDEPTH  Xvfb of that geometry (which resets as its last client leaves)
#   x11                 Xvfb at 1024x768x24, with no window manager
#   openbox             the same with openbox
#   resizable           Xorg's dummy driver at 1920x1080, which xrandr -s can shrink
#   dummy-two           Xorg's dummy driver with two outputs: PRIMARY_MONITOR and OTHER_MONITOR
#   monitors            Xvfb at 3200x1080 with the RandR monitors PRIMARY_MONITOR and OTHER_MONITOR
#   monitors-openbox    the same with openbox
#   depth30             Xvfb at 1920x1080, depth 30
#   sway                sway in an Xvfb at 1024x768x24 (start_sway, in $2/sway)
#   kwin                kwin_wayland in an Xvfb at 1024x768x24 (start_kwin, in $2/kwin)
# Each has a D-Bus session bus. Exports DISPLAY_VARIABLES: the X server's
# DISPLAY, the bus, the folder ($2), the processes started (DISPLAY_PIDS, for
# stop_display) and the name ($1, RAVLIN_DISPLAY_KIND).
start_display() {
    export DISPLAY_FOLDER=$2 RAVLIN_DISPLAY_KIND=$1 DISPLAY_PIDS=""
    mkdir -p "$DISPLAY_FOLDER"
    case $1 in
    # A desktop's X server does not reset as a program, its last client,
    # leaves: a reset would forget the monitors declared and give the focus
    # back to PointerRoot.
    x11 | openbox | sway | kwin) start_virtual_display 1024x768x24 -noreset ;;
    resizable) start_resizable_display 1920x1080 "$DISPLAY_FOLDER" ;;
    dummy-two) start_resizable_display "${PRIMARY_MONITOR%%+*}" "$DISPLAY_FOLDER" "${OTHER_MONITOR%%+*}" ;;
    monitors | monitors-openbox) start_virtual_display 3200x1080x24 -noreset ;;
    depth30) start_virtual_display 1920x1080x30 -noreset ;;
    *x*x*) start_virtual_display "$1" ;;
    *) echo "start_display: no display called $1" >&2; return 1 ;;
    esac
    DISPLAY_PIDS=$VIRTUAL_DISPLAY_PID
    xdpyinfo >/dev/null 2>&1 || { echo "start_display: the X server of $1 did not start" >&2; return 1; }
    # sway's bus is the session user's.
    [ "$1" = sway ] || start_session_bus "$DISPLAY_FOLDER"
    case $1 in
    monitors) declare_monitors ;;
    monitors-openbox) declare_monitors && start_openbox "$DISPLAY_FOLDER" ;;
    openbox) start_openbox "$DISPLAY_FOLDER" ;;
    sway) start_sway "$DISPLAY_FOLDER/sway" ;;
    kwin) start_kwin "$DISPLAY_FOLDER/kwin" 1024x768 ;;
    esac
}

# Stops the processes of the display that start_display started, the last
# started first.
stop_display() {
    local pids=() i
    read -ra pids <<<"${DISPLAY_PIDS:-}"
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop_process "${pids[i]}"; done
    DISPLAY_PIDS=""
    [ -z "${DISPLAY_FOLDER:-}" ] || remove_sway_folder "$DISPLAY_FOLDER/sway"
}

# Removes the folder in /tmp that start_sway named by the link $1, and the link.
remove_sway_folder() {
    [ -L "$1" ] || return 0
    rm -rf "$(readlink "$1")" "$1"
}

build_preset() {
    local preset=$1
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
}

# Python with Pillow, from Debian: not a per-user interpreter that lacks it.
PYTHON=/usr/bin/python3
