#!/usr/bin/env bash
# Installs the Debian packages that are missing (the only use of sudo), builds what the game needs in
# build/ (the test command's folder, so each reuses the other's work) and starts it from there,
# installing nothing: in a window on a desktop, or served over VNC to this account only where there
# is no display (scripts/serve-headless.sh says how to connect).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh play

# Configured once; the build itself reruns CMake when a CMakeLists.txt changes.
[ -f build/CMakeCache.txt ] ||
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build --parallel "$(nproc)" --target game

game=build/bin/vantor
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$game" "$@"
fi
exec scripts/serve-headless.sh "$game" "$@"
