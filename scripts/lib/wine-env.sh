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

# The dialog asks for the usual Japanese system fonts by name; map them to the
# IPA fonts so the text has the metrics the layout was made for.
tocklet_wine_fonts() {
    local key='HKCU\Software\Wine\Fonts\Replacements' face
    local -A fonts=(
        ["ＭＳ Ｐゴシック"]="IPAPGothic" ["ＭＳ ゴシック"]="IPAGothic"
        ["MS PGothic"]="IPAPGothic" ["MS Gothic"]="IPAGothic"
    )
    for face in "${!fonts[@]}"; do
        wine reg add "$key" /v "$face" /t REG_SZ /d "${fonts[$face]}" /f >/dev/null 2>&1
    done
}

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
        if [ ! -f "$WINEPREFIX/.tocklet-fonts" ]; then
            tocklet_wine_fonts
            wineserver -w
            touch "$WINEPREFIX/.tocklet-fonts"
        fi
    ) 9>"$WINEPREFIX.lock"
}
