# Shared by the README's commands: installing what is missing, configuring
# and building a preset.

# Installs the Debian packages that are not installed yet.
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building and testing need on Debian 12.
BUILD_PACKAGES=(cmake make g++ pkg-config clang-tidy libgtest-dev libgmock-dev libsdl2-dev g++-mingw-w64-i686 python3 python3-pil)

build_preset() {
    local preset=$1
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
}

# Python with Pillow, from Debian: not a per-user interpreter that lacks it.
PYTHON=/usr/bin/python3
