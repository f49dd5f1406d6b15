# Sourced by run.sh and test.sh: installs the Debian packages the project needs, then configures and
# builds it. Sets BUILD_DIR.

PACKAGES=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-qpa-plugins
    libcurl4-openssl-dev libcpp-httplib-dev libgtest-dev
    fonts-wqy-microhei
    xvfb xauth x11-utils imagemagick
    zbar-tools libasound2-dev
    desktop-file-utils appstream dpkg-dev xdotool
)

missing_packages() {
    local package
    for package in "$@"; do
        if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]; then
            echo "$package"
        fi
    done
}

install_packages() {
    local missing
    mapfile -t missing < <(missing_packages "$@")
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing Debian packages: ${missing[*]}"
    local apt=(apt-get)
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            apt=(sudo apt-get)
        elif command -v sudo >/dev/null && [ -t 0 ]; then
            apt=(sudo apt-get)
        else
            echo "These Debian packages are missing and I cannot install them (not root, no sudo):" >&2
            echo "    ${missing[*]}" >&2
            echo "Install them with: apt-get install ${missing[*]}" >&2
            return 1
        fi
    fi
    export DEBIAN_FRONTEND=noninteractive
    if ! "${apt[@]}" install -y --no-install-recommends "${missing[@]}"; then
        "${apt[@]}" update && "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
    fi
}

configure_and_build() {
    local build_dir=$1
    shift
    cmake -S "$PROJECT_DIR" -B "$build_dir" "$@" >/dev/null || return 1
    cmake --build "$build_dir" -j"$(nproc)"
}

PROJECT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$PROJECT_DIR/build}
