#!/usr/bin/env bash
# Installs the Debian packages that Vantor needs, when they are missing: "play" for building and
# playing it, "test" (the default) for building and running every test as well.
set -euo pipefail

# Building and playing; Xvnc serves the game where there is no display.
packages=(
    cmake g++ make ccache pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins
    libsdl2-dev                                     # sound and game controllers
    fonts-urw-base35
    tigervnc-standalone-server tigervnc-tools
)
if [ "${1:-test}" = test ]; then
    packages+=(
        clang libclang-rt-14-dev                    # the second compiler, with its sanitizers
        libbenchmark-dev libxcb-damage0-dev         # bench/
        xvfb xdotool x11-apps imagemagick           # playing the game with real keys
        vncsnapshot                                 # a real viewer of the headless game
        dpkg-dev file lintian desktop-file-utils appstream  # building and checking the package
    )
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
