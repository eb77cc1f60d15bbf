# Sourced by the scripts that play the game on a virtual screen of their own (the package check,
# the start-up benchmark).
#   start_xvfb <width>x<height> <file>
# starts Xvfb on a free display, writes the display's number to <file> and sets xvfb to the
# server's process for the caller to stop; fails with a message when no display comes in 20 s.
start_xvfb() {
    local size=$1 file=$2
    rm -f "$file"
    Xvfb -displayfd 9 -screen 0 "${size}x24" -nolisten tcp 9>"$file" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 200); do
        [ -s "$file" ] && return 0
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}
