#!/usr/bin/env bash
# Start-up of the game against a bare Qt window of the same size, side by side on one X server of
# their own (Xvfb, 1920 x 1080, where the game opens at 720 x 900): the time from starting the
# program to its first picture, and the peak memory after it has run for two seconds (the
# services started after the first picture included). The programs take turns, so a machine that
# gets busier slows all alike. Other builds of the game given after the number of runs (their
# programs' paths) take their turns too, for comparisons.
#   bench/startup.sh [build folder] [runs] [other game...]
# Needs the build's game target, its bench targets bare_window and startup_probe, and Xvfb.
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-20}
games=("$build/bin/vantor" "${@:3}")
settle_ms=2000

work=$(mktemp -d)
# The server is gone when this ends: one started next may take its display number.
cleanup() {
    if [ -n "${xvfb:-}" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/../scripts/xvfb.sh"
start_xvfb 1920x1080 "$work/display"
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work"
export XDG_RUNTIME_DIR="$work"

probe() {
    "$build/bench/startup_probe" "$settle_ms" "$@"
}
for _ in $(seq "$runs"); do
    for game in "${!games[@]}"; do
        probe "${games[$game]}" >>"$work/game$game"
    done
    probe "$build/bench/bare_window" 720 900 >>"$work/bare"
done

# The median and the smallest value of a column of a file.
median() {
    sort -n -k "$2" "$1" | awk -v column="$2" '{ values[NR] = $column }
        END { print (NR % 2 ? values[(NR + 1) / 2] : (values[NR / 2] + values[NR / 2 + 1]) / 2) }'
}
smallest() {
    sort -n -k "$2" "$1" | awk -v column="$2" 'NR == 1 { print $column }'
}
row() {
    printf '%-40s %8.1f ms %8.1f ms %8.2f x %8d kB\n' "$1" "$(median "$2" 1)" "$(smallest "$2" 1)" \
        "$(awk -v it="$(median "$2" 1)" -v bare="$(median "$work/bare" 1)" \
            'BEGIN { print it / bare }')" "$(median "$2" 2)"
}
printf '%-40s %11s %11s %10s %11s\n' "$runs runs each, medians" "1st picture" fastest \
    "/ bare" "peak memory"
for game in "${!games[@]}"; do
    row "${games[$game]}" "$work/game$game"
done
row "bare Qt window" "$work/bare"
