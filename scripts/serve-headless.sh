#!/usr/bin/env bash
# Serves the game given as the first argument (the rest are its arguments) on a machine without a
# display: through TigerVNC's X server Xvnc, reachable from this machine only and guarded by a
# password made for this session, on the first free display from :0 (port 5900) on. Stops Xvnc when
# the game quits, and both when this script is interrupted or terminated; exits with the game's status.
#
# VANTOR_VNC_SCALE (default 3) sets the screen to the game's window at that scale: 3 gives 720x900.
set -euo pipefail

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 GAME-EXECUTABLE [ARGUMENTS...]" >&2
    exit 2
fi
game=$1
shift
for tool in Xvnc:tigervnc-standalone-server vncpasswd:tigervnc-tools xauth:xauth; do
    if ! command -v "${tool%%:*}" >/dev/null; then
        echo "${tool%%:*} is missing: install the Debian package ${tool#*:}." >&2
        exit 1
    fi
done
scale=${VANTOR_VNC_SCALE:-3}
if ! [[ "$scale" =~ ^[1-9][0-9]?$ ]]; then
    echo "VANTOR_VNC_SCALE must be a whole number from 1 on, not '$scale'." >&2
    exit 2
fi
readonly game_width=240 game_height=300 first_port=5900 last_display=99

# Only this user can read the session's folder: its password file and X cookie.
session=$(mktemp -d "${TMPDIR:-/tmp}/vantor-vnc.XXXXXX")
game_pid="" xvnc_pid=""
stop() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; wait "$game_pid" || true; fi
    if [ -n "$xvnc_pid" ]; then kill "$xvnc_pid" 2>/dev/null || true; wait "$xvnc_pid" || true; fi
    rm -rf "$session"
}
trap stop EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Loopback alone would still let every other account on this machine watch and steer the game; the
# password keeps them out. Letters that cannot be mistaken for one another; VNC reads eight.
alphabet=abcdefghjkmnpqrstuvwxyz23456789
password=""
for byte in $(od -An -N8 -tu1 /dev/urandom); do
    password+=${alphabet:byte % ${#alphabet}:1}
done
vncpasswd -f <<<"$password" >"$session/passwd"
# The X display wants a cookie too, or any local program could reach the game on it.
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')

# Xvnc tells on descriptor 3 when it is ready, and fails when its display or port is taken: then
# the next display is tried. Servers started like this one leave no lock file, only their socket.
mkfifo "$session/ready"
: >"$session/Xauthority"
display=""
for ((n = 0; n <= last_display; n++)); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    xauth -q -f "$session/Xauthority" add ":$n" . "$cookie"
    Xvnc ":$n" -rfbport $((first_port + n)) -localhost -nolisten tcp \
        -SecurityTypes VncAuth -PasswordFile "$session/passwd" -auth "$session/Xauthority" \
        -geometry $((game_width * scale))x$((game_height * scale)) -depth 24 \
        -AcceptSetDesktopSize=0 -desktop Vantor -displayfd 3 \
        3>"$session/ready" 2>"$session/Xvnc.log" &
    xvnc_pid=$!
    if read -r -t 20 display <"$session/ready"; then
        break
    fi
    kill "$xvnc_pid" 2>/dev/null || true
    wait "$xvnc_pid" || true
    xvnc_pid="" display=""
done
if [ -z "$display" ]; then
    echo "Xvnc could not start on any display from :0 to :$last_display. Its last words:" >&2
    tail -n 5 "$session/Xvnc.log" >&2
    exit 1
fi
port=$((first_port + display))

env -u WAYLAND_DISPLAY DISPLAY=":$display" XAUTHORITY="$session/Xauthority" QT_QPA_PLATFORM=xcb \
    "$game" "$@" &
game_pid=$!

cat <<EOF
No display here: Vantor is served over VNC on display :$display (port $port), to this machine only.
Password: $password
  On this machine:       vncviewer localhost:$display
                         (or, without typing it: vncviewer -passwd $session/passwd localhost:$display)
  From another machine:  ssh -L 5900:localhost:$port $(id -un)@$HOSTNAME
                         then, on that machine: vncviewer localhost:0
The game stops when you press Ctrl+C here; this stops when the game quits.
EOF

wait "$game_pid" && status=0 || status=$?
game_pid=""
exit "$status"
