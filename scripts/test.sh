#!/usr/bin/env bash
# Installs what is missing, builds Vantor, installs it (the player's test runs the installed game)
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo cmake --install build
ctest --test-dir build --output-on-failure
