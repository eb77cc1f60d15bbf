#!/usr/bin/env bash
# Serves the game given as the first argument (the rest are its arguments) on a machine without a
# display: through TigerVNC's X server Xvnc, on the first free display from :0, guarded by a password
# made for this session. VNC is served on a Unix socket in a folder only this account can open, so
# no TCP port is opened at all; viewers on this machine open the socket, viewers elsewhere reach it
# through SSH. Stops Xvnc when the game quits, and both when this script is interrupted, hung up on,
# terminated or even killed outright; exits with the game's status.
#
# VANTOR_VNC_SCALE (default 3) sets the screen to the game's window at that scale: 3 gives 720x900.
# VANTOR_VNC_TIMEOUT (default 30) is how many seconds Xvnc may take to get ready, across all the
# displays tried.
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
timeout=${VANTOR_VNC_TIMEOUT:-30}
if ! [[ "$timeout" =~ ^[1-9][0-9]{0,3}$ ]]; then
    echo "VANTOR_VNC_TIMEOUT must be a whole number of seconds from 1 on, not '$timeout'." >&2
    exit 2
fi
readonly game_width=240 game_height=300 last_display=99 grace_ticks=40 tick=0.05

# True while the process runs; one that has ended but not been waited for yet no longer does.
running() {
    local stat
    { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
    [[ "${stat##*) }" != Z* ]]
}

# Asks a process to end, and makes it end when it has not after a grace period of two seconds.
end() {
    local ticks
    kill "$1" 2>/dev/null || return 0
    for ((ticks = 0; ticks < grace_ticks; ticks++)); do
        running "$1" || break
        sleep "$tick"
    done
    kill -KILL "$1" 2>/dev/null || true
}

# The traps come before anything is created, so that a signal at any moment finds all there is to
# remove. A KILL cannot be trapped: the watcher below answers that one.
session="" game_pid="" xvnc_pid="" watcher=""
stop() {
    for pid in "$game_pid" "$xvnc_pid"; do
        [ -z "$pid" ] || { end "$pid" && wait "$pid"; } || true
    done
    [ -z "$session" ] || rm -rf "$session"
    [ -z "$watcher" ] || echo clean >&"$watcher"
}
trap stop EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Only this account can open the session's folder: its password file, X cookie and VNC socket.
umask 077
session=$(mktemp -d "${TMPDIR:-/tmp}/vantor-vnc.XXXXXX")

# Outlives this script for as long as it takes to clean up after it: learns the processes to stop
# through a pipe that only this script holds open, and when the pipe closes without the word that
# all is clean, this script was killed outright, so it stops them and removes the folder. Signals
# meant for the whole terminal leave it to this script's own clean-up.
watch() {
    trap '' HUP INT TERM
    local role pid xvnc="" game=""
    while read -r role pid; do
        case $role in
            clean) return ;;
            xvnc) xvnc=$pid ;;
            game) game=$pid ;;
        esac
    done
    # The game before its display, as this script stops them.
    for pid in $game $xvnc; do end "$pid"; done
    rm -rf "$session"
}
exec {watcher}> >(watch >/dev/null)

# Loopback alone would still let every other account on this machine watch and steer the game; the
# socket's folder keeps them out here, the password wherever the socket is forwarded. Letters that
# cannot be mistaken for one another; VNC reads eight. Secrets go through pipes and files only: a
# command line is readable by every account.
alphabet=abcdefghjkmnpqrstuvwxyz23456789
password=""
for byte in $(od -An -N8 -tu1 /dev/urandom); do
    password+=${alphabet:byte % ${#alphabet}:1}
done
vncpasswd -f <<<"$password" >"$session/passwd"
# The X display wants a cookie too, or any local program could reach the game on it: one for every
# display this script may take.
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')

# Xvnc tells on descriptor 3 when it is ready, and fails when its display is taken: then the next
# display is tried, within one deadline for them all. Servers started like this one leave no lock
# file, only their socket. Xvnc's end of the watcher's pipe is closed first: opening the FIFO waits
# for this script to read it, which a KILL may keep from ever happening. Every connection through
# the VNC socket, SSH's forwarded ones included, comes from the same address, so Xvnc's blacklist
# would let anyone who reaches a forwarded port lock the player out with a few wrong passwords. It
# is off: guessing one of 31^8 passwords at the few hundred a second Xvnc answers takes years.
socket=$session/vnc
mkfifo "$session/ready"
: >"$session/Xauthority"
for ((n = 0; n <= last_display; n++)); do
    printf 'add :%d . %s\n' "$n" "$cookie"
done | xauth -q -f "$session/Xauthority" source -
display=""
deadline=$((SECONDS + timeout))
for ((n = 0; n <= last_display; n++)); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    patience=$((deadline - SECONDS))
    ((patience > 0)) || break
    Xvnc ":$n" -rfbport -1 -rfbunixpath "$socket" -nolisten tcp -UseBlacklist=0 \
        -SecurityTypes VncAuth -PasswordFile "$session/passwd" -auth "$session/Xauthority" \
        -geometry $((game_width * scale))x$((game_height * scale)) -depth 24 \
        -AcceptSetDesktopSize=0 -desktop Vantor -displayfd 3 \
        {watcher}>&- 3>"$session/ready" 2>"$session/Xvnc.log" &
    xvnc_pid=$!
    echo "xvnc $xvnc_pid" >&"$watcher"
    if read -r -t "$patience" display <"$session/ready"; then
        break
    fi
    end "$xvnc_pid"
    wait "$xvnc_pid" || true
    echo xvnc >&"$watcher"
    xvnc_pid="" display=""
done
if [ -z "$display" ]; then
    if ((SECONDS >= deadline)); then
        echo "Xvnc did not get ready within $timeout s (VANTOR_VNC_TIMEOUT). Its last words:" >&2
    else
        echo "Xvnc could not start on any display from :0 to :$last_display. Its last words:" >&2
    fi
    [ ! -e "$session/Xvnc.log" ] || tail -n 5 "$session/Xvnc.log" >&2
    exit 1
fi

# Without a runtime folder of the account's own, Qt and the sound library would make theirs in
# TMPDIR and leave them there; the session's folder goes with the session.
runtime=${XDG_RUNTIME_DIR:-$session/runtime}
mkdir -p -m 700 "$runtime"
env -u WAYLAND_DISPLAY DISPLAY=":$display" XAUTHORITY="$session/Xauthority" QT_QPA_PLATFORM=xcb \
    XDG_RUNTIME_DIR="$runtime" "$game" "$@" {watcher}>&- &
game_pid=$!
echo "game $game_pid" >&"$watcher"

user=$(id -un)
cat <<EOF
No display here: Vantor is served over VNC on display :$display, through a socket only $user can open:
  $socket
Password: $password
  On this machine:       vncviewer $socket
                         (or, without typing it: vncviewer -passwd $session/passwd $socket)
  From another machine:  ssh -L 5900:$socket $user@$HOSTNAME
                         then, on that machine: vncviewer localhost:0
TigerVNC's vncviewer opens the socket itself; other viewers need a bridge to it, such as
socat TCP-LISTEN:5900,bind=localhost,fork UNIX-CONNECT:$socket (which other accounts can reach too).
The game stops when you press Ctrl+C here; this stops when the game quits.
EOF

wait "$game_pid" && status=0 || status=$?
echo game >&"$watcher"
game_pid=""
exit "$status"
