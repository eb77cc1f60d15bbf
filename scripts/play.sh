#!/usr/bin/env bash
# Installs what is missing, builds and installs Vantor with its track previews, and starts it: in a
# window on a desktop, or served over VNC (port 5900) on a machine without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target vantor track_previews

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo cmake --install build >/dev/null
prefix="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' build/CMakeCache.txt)"
game="$prefix/bin/vantor"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$game"
fi

# No display: the VNC screen is exactly the game's window, scaled when asked to.
scale="${QT_SCALE_FACTOR:-1}"
[[ "$scale" =~ ^[1-9][0-9]*$ ]] || scale=1
echo "No display found: serving Vantor over VNC on port 5900."
echo "Connect a VNC viewer to $(hostname):5900 (or localhost:5900). Press Ctrl+C here to stop."
export QT_QPA_PLATFORM="vnc:size=$((240 * scale))x$((300 * scale)):port=5900"
exec "$game"
