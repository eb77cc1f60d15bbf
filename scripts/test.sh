#!/usr/bin/env bash
# Installs what is missing, then builds and tests Vantor twice, warnings as errors both times: with
# g++ as a player gets it, and with clang++ under AddressSanitizer and UndefinedBehaviorSanitizer
# with leak detection on. Works in the build folders only: nothing is installed into the system but
# Debian packages (and, as root, the package check's own .deb, which it removes again).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# A build folder, then its CMake settings.
build_and_test() {
    local build=$1
    shift
    cmake -S . -B "$build" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@"
    cmake --build "$build" --parallel "$(nproc)"
    ctest --test-dir "$build" --output-on-failure
}

build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++

# The sanitizers watch the build too: the track previews are rendered by a program of the build.
# Leaks inside system libraries are suppressed by name in tests/lsan.supp, never by switching leak
# detection off.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
build_and_test build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
