# Sourced by the scripts and tests: a private Wine prefix under build/, the
# Japanese locale, no debug chatter, no Mono/Gecko prompts, and a null ALSA
# output so that plays complete on machines without a sound card.
TOCKLET_ROOT=${TOCKLET_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$TOCKLET_ROOT/build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv=d"
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
export ALSA_CONFIG_PATH=$TOCKLET_ROOT/scripts/lib/asound-null.conf

# Creates the prefix once (about 20 s); later calls return at once.
tocklet_wine_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tocklet-ready" ]; then
            rm -rf "$WINEPREFIX"
            wineboot --init >/dev/null 2>&1
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
            wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d alsa /f >/dev/null 2>&1
            wineserver -w
            touch "$WINEPREFIX/.tocklet-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}
