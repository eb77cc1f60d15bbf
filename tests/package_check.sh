#!/usr/bin/env bash
# Checks the game as it leaves the build: the Debian package (its files, icons, menu entry,
# AppStream data, lintian) and a user install into a prefix of its own. As root it also installs the
# package, plays it and purges it again. Works in a temporary folder; the build keeps what it had.
#   package_check.sh <build folder>
set -euo pipefail
build=$(realpath "$1")
SKIP=77

missing=""
for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli file Xvfb xdotool import; do
    command -v "$tool" >/dev/null || missing+=" $tool"
done
if [ -n "$missing" ]; then
    echo "SKIPPED: the package check needs$missing"
    exit $SKIP
fi

work=$(mktemp -d)
chmod 755 "$work"
# Every install writes its list of files into the build folder, CPack's too; the player's own lists
# (for uninstalling) come back at the end.
manifest="$build/install_manifest_Unspecified.txt"
manifests=("$build/install_manifest.txt" "$manifest")
mkdir "$work/manifests"
for list in "${manifests[@]}"; do
    [ -e "$list" ] && cp -p "$list" "$work/manifests/"
done
installed=false
cleanup() {
    [ -n "${game:-}" ] && kill "$game" 2>/dev/null
    $installed && apt-get purge -y -q vantor >/dev/null 2>&1
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
    for list in "${manifests[@]}"; do
        rm -f "$list"
        [ -e "$work/manifests/${list##*/}" ] && cp -p "$work/manifests/${list##*/}" "$list"
    done
    rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/../scripts/xvfb.sh"

# Runs a command as a user: this one, or another when root.
as_user() {
    local user=$1
    shift
    if [ "$user" = "$(id -un)" ]; then
        "$@"
    else
        runuser -u "$user" -- "$@"
    fi
}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# What both installs hold, below the prefix; the game's folder differs.
metainfo=share/metainfo/io.github.vantor.Vantor.metainfo.xml
expected_data=(share/applications/vantor.desktop "$metainfo")
for n in $(seq 1 15); do
    expected_data+=("share/games/vantor/track_pics/TrackPix$n.png")
done
for sound in engine countdown_beep countdown_go crash_spin contact lap_player lap_computer \
    race_won race_lost menu_move menu_start; do
    expected_data+=("share/games/vantor/sounds/$sound.wav")
done
icon_sizes=(16 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
    expected_data+=("share/icons/hicolor/${size}x$size/apps/vantor.png")
done

# Each expected file below a root, and each icon of its size.
check_files() {
    local root=$1
    shift
    for path in "$@"; do
        [ -f "$root/$path" ] || fail "$path is missing"
    done
    for size in "${icon_sizes[@]}"; do
        local icon="$root/share/icons/hicolor/${size}x$size/apps/vantor.png"
        [[ "$(file -b "$icon")" == "PNG image data, $size x $size,"* ]] ||
            fail "icon ${size}x$size: $(file -b "$icon")"
    done
}

# Starts a game on a virtual screen and waits for the start menu with the first track's preview:
# the menu's highlighted row, and the preview's road grey (a missing preview shows a message box).
# The game must also find the library it loads after its first frame.
plays() {
    local user=$1 game_path=$2 shot="$work/menu.png"
    start_xvfb 640x480 "$work/display"
    mkdir -p "$work/home"
    chown "$user" "$work/home"
    as_user "$user" env DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb \
        HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" "$game_path" 2>"$work/game.err" &
    game=$!
    local highlight=0 road=0
    for _ in $(seq 20); do
        sleep 0.5
        DISPLAY=":$(cat "$work/display")" import -window root "$shot" 2>/dev/null || continue
        highlight=$(count_colour "$shot" "rgb(255,255,80)")
        road=$(count_colour "$shot" "rgb(128,128,128)")
        [ "$highlight" -gt 20 ] && [ "$road" -gt 1000 ] && break
    done
    kill "$game" "$xvfb" 2>/dev/null
    wait "$game" "$xvfb" 2>/dev/null || true
    game="" xvfb=""
    [ "$highlight" -gt 20 ] || fail "$game_path: no start menu ($highlight highlighted pixels)"
    [ "$road" -gt 1000 ] || fail "$game_path: no track preview ($road road pixels)"
    if grep libvantor_sdl "$work/game.err"; then
        fail "$game_path: its library did not load"
    fi
}

count_colour() {
    convert "$1" -fill white -opaque "$2" -fill black +opaque white \
        -format "%[fx:round(mean*w*h)]" info:
}

echo "== The Debian package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
package=$(ls "$work"/package/vantor_*.deb)
echo "$(basename "$package"): $(stat -c %s "$package") bytes"
dpkg-deb -c "$package" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
grep -E '^/(home|usr/local)(/|$)' "$work/files" && fail "files under /home or /usr/local"
dpkg-deb -x "$package" "$work/root"
check_files "$work/root/usr" games/vantor lib/games/vantor/libvantor_sdl.so share/doc/vantor/copyright \
    share/doc/vantor/changelog.Debian.gz share/man/man6/vantor.6.gz "${expected_data[@]}"
[ -e "$work/root/usr/bin" ] && fail "the package has /usr/bin"
# The sound and game controller library is found by shlibdeps, from the game itself.
[[ "$(dpkg-deb -f "$package" Depends)" == *libsdl2-2.0-0* ]] ||
    fail "no libsdl2 in Depends: $(dpkg-deb -f "$package" Depends)"
[[ "$(file -b "$work/root/usr/games/vantor")" == *", stripped" ]] || fail "the game is not stripped"
desktop-file-validate "$work/root/usr/share/applications/vantor.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$work/root/usr/$metainfo" || fail "AppStream metainfo"
lintian --fail-on error "$package" >"$work/lintian.log" 2>&1 || fail "lintian errors"
grep -v 'root privileges' "$work/lintian.log" || true

echo "== A user install into a prefix of its own"
installer=$(id -un)
# As root the install runs as nobody, so a write anywhere but the prefix fails.
if [ "$(id -u)" -eq 0 ] && runuser -u nobody -- test -r "$build/cmake_install.cmake"; then
    installer=nobody
    touch "$manifest"
    chown nobody "$manifest"
fi
mkdir "$work/prefix"
chown "$installer" "$work/prefix"
as_user "$installer" env -u DESTDIR \
    cmake --install "$build" --prefix "$work/prefix" --component Unspecified >"$work/install.log" ||
    { cat "$work/install.log"; fail "install as $installer"; }
sed -n 's/^-- \(Installing\|Up-to-date\): //p' "$work/install.log" | cat - "$manifest" |
    grep -v "^$work/prefix/" && fail "written outside the prefix"
check_files "$work/prefix" bin/vantor lib/games/vantor/libvantor_sdl.so share/man/man6/vantor.6 \
    "${expected_data[@]}"
plays "$installer" "$work/prefix/bin/vantor"
# Uninstalled as the README says: no file of the game's and none of its own folders stay.
own_folders=("$work/prefix/share/games/vantor" "$work/prefix/lib/games/vantor")
as_user "$installer" xargs -d '\n' rm -f <"$manifest"
as_user "$installer" find "${own_folders[@]}" -depth -type d -empty -delete
left=$(find "$work/prefix" -type f)
[ -z "$left" ] || fail "left after uninstalling: $left"
for folder in "${own_folders[@]}"; do
    [ -e "$folder" ] && fail "${folder#"$work/prefix/"} stays after uninstalling"
done

# A package that failed a check stays out of the system.
[ "$failures" -eq 0 ] || exit 1
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: installing and playing the package needs root"
    exit $SKIP
fi
if dpkg -s vantor >/dev/null 2>&1; then
    echo "SKIPPED: the vantor package is installed already; this check leaves it alone"
    exit $SKIP
fi
echo "== The package installed with apt, played and purged"
export DEBIAN_FRONTEND=noninteractive
installed=true
apt-get install -y -q "$package" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
plays nobody /usr/games/vantor
apt-get purge -y -q vantor >>"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
installed=false
[ -e /usr/games/vantor ] && fail "/usr/games/vantor stays after the purge"
[ -e /usr/share/games/vantor ] && fail "/usr/share/games/vantor stays after the purge"
[ "$failures" -eq 0 ]
