# Sourced by the scripts and tests: the one place that decides how Windows
# programs run on this host. For each machine (i686, x86_64) it names Wine's
# loader and server outright, never trusting /usr/bin/wine's choice (which
# takes the 32-bit loader whenever it is installed, even where the kernel
# cannot run it), and gives each machine a private prefix under build/.
# Also: the Japanese locale, no debug chatter, no Mono/Gecko prompts.
#
#   tocklet_wine_use MACHINE    i686 or x86_64; sourcing picks the preferred
#                               one (TOCKLET_WINE_MACHINE, else i686 where the
#                               host runs 32-bit programs, else x86_64)
#   tocklet_wine_sound MODE     null (default: a sink that swallows audio, for
#                               tests and the headless tour) or desktop (the
#                               user's own sound server or ALSA device)
#   tocklet_wine_sound pulse SOCKET   the PulseAudio server at SOCKET (a
#                               private one that scripts/audible records)
#   tocklet_wine_prefix         creates the machine's prefix once
TOCKLET_ROOT=${TOCKLET_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
source "$TOCKLET_ROOT/scripts/lib/host.sh"

tocklet_wine_use() {
    case $1 in
        i686)
            WINELOADER=/usr/lib/wine/wine
            # A 64-bit server serves 32-bit programs too (Debian's own choice
            # when both are there); the 32-bit one where it is alone.
            WINESERVER=/usr/lib/wine/wineserver64
            [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver32
            WINEARCH=win32
            ;;
        x86_64)
            WINELOADER=/usr/lib/wine/wine64
            WINESERVER=/usr/lib/wine/wineserver64
            WINEARCH=win64
            ;;
        *)
            echo "wine-env: unknown machine '$1' (i686 or x86_64)" >&2
            return 1
            ;;
    esac
    TOCKLET_WINE_MACHINE=$1
    WINEPREFIX=$TOCKLET_ROOT/build/wineprefix-$1
    export TOCKLET_WINE_MACHINE WINELOADER WINESERVER WINEARCH WINEPREFIX
}

# The Wine of the chosen machine first on PATH: `wine`, `wineserver`,
# `wineboot` and `winepath`, for these scripts, ctest's emulator and the tests.
case ":$PATH:" in
    *":$TOCKLET_ROOT/scripts/lib/winebin:"*) ;;
    *) export PATH="$TOCKLET_ROOT/scripts/lib/winebin:$PATH" ;;
esac
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8

tocklet_wine_sound() {
    case $1 in
        null)
            # Plays complete without a sound card, and no test sounds on a desk.
            export WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv=d"
            export ALSA_CONFIG_PATH=$TOCKLET_ROOT/scripts/lib/asound-null.conf
            ;;
        desktop)
            unset ALSA_CONFIG_PATH
            local info
            if command -v pactl >/dev/null 2>&1 && info=$(LC_ALL=C pactl info 2>/dev/null); then
                # PulseAudio, or PipeWire's pulse server: Wine's pulse driver.
                export WINEDLLOVERRIDES="mscoree,mshtml="
                TOCKLET_WINE_SOUND_OUT="the sound server ($(sed -n 's/^Server Name: //p' <<<"$info"))"
            else
                export WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv=d"
                TOCKLET_WINE_SOUND_OUT="ALSA's default device"
            fi
            ;;
        pulse)
            # A script sourcing this again below the caller keeps its server.
            local socket=${2:-${PULSE_SERVER:-}}
            socket=${socket#unix:}
            [ -S "$socket" ] || { echo "wine-env: no sound server socket '$socket'" >&2; return 1; }
            unset ALSA_CONFIG_PATH
            export WINEDLLOVERRIDES="mscoree,mshtml="
            export PULSE_SERVER=unix:$socket
            TOCKLET_WINE_SOUND_OUT="the sound server at $socket"
            ;;
        *)
            echo "wine-env: unknown sound mode '$1' (null, desktop or pulse SOCKET)" >&2
            return 1
            ;;
    esac
    TOCKLET_WINE_SOUND=$1
    export TOCKLET_WINE_SOUND TOCKLET_WINE_SOUND_OUT
}

# The Windows form of a Unix path. winepath can fail while a Wine session is
# ending (it then prints an error, not a path); the prefix maps / to Z:.
tocklet_winpath() { # tocklet_winpath UNIX_PATH
    local path
    path=$(winepath -w "$1" 2>/dev/null | tr -d '\r')
    if [[ ! $path =~ ^[A-Za-z]:\\ ]]; then
        path="Z:${1//\//\\}"
    fi
    printf '%s\n' "$path"
}

# The dialog asks for the usual Japanese system fonts by name, and the boxes
# and the chooser for the UI font; map them to the IPA fonts so the text has
# the metrics the layout was made for, under any locale.
tocklet_wine_fonts() {
    local key='HKCU\Software\Wine\Fonts\Replacements' face
    local -A fonts=(
        ["ＭＳ Ｐゴシック"]="IPAPGothic" ["ＭＳ ゴシック"]="IPAGothic"
        ["MS PGothic"]="IPAPGothic" ["MS Gothic"]="IPAGothic"
        ["MS UI Gothic"]="IPAPGothic"
    )
    for face in "${!fonts[@]}"; do
        wine reg add "$key" /v "$face" /t REG_SZ /d "${fonts[$face]}" /f >/dev/null 2>&1
    done
}

# Creates the prefix once (about 20 s); later calls return at once.
tocklet_wine_prefix() {
    if [ ! -x "$WINELOADER" ]; then
        echo "wine-env: $WINELOADER is missing (scripts/setup installs it)" >&2
        return 1
    fi
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tocklet-ready" ]; then
            rm -rf "$WINEPREFIX"
            # Marked ready only when whole: a broken prefix is made again by
            # the next caller, not kept for good.
            if ! wineboot --init >/dev/null 2>&1; then
                echo "wine-env: wineboot --init failed for $WINEPREFIX" >&2
                exit 1
            fi
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
            tocklet_wine_fonts
            if ! wineserver -w; then
                echo "wine-env: the Wine server of $WINEPREFIX failed" >&2
                exit 1
            fi
            touch "$WINEPREFIX/.tocklet-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}

if [ -z "${TOCKLET_WINE_MACHINE:-}" ]; then
    read -r TOCKLET_WINE_MACHINE _ <<<"$(tocklet_preferred_machine)"
fi
tocklet_wine_use "$TOCKLET_WINE_MACHINE"
tocklet_wine_sound "${TOCKLET_WINE_SOUND:-null}"
