# Sourced by scripts/audible and bench/audible/run: a private sound server
# that needs no sound card, a recorder of its sink, and tocklet.exe driven
# with xdotool as a person would (see scripts/tour). Needs an X display and
# scripts/lib/wine-env.sh sourced with the exe's machine chosen. The caller
# calls audible_cleanup on every exit path (trap).

AUDIBLE_PULSE_PID=""
AUDIBLE_RECORDER_PID=""
AUDIBLE_APP_PID=""
AUDIBLE_RUNTIME=""
AUDIBLE_WINDOW=""
AUDIBLE_RAN_WINE=""

now_ms() { date +%s%3N; }

# Starts PulseAudio with a null sink "cap" and a socket of its own, in a
# temporary folder, and points Wine at it. Gives up after 15 s.
audible_server_start() {
    AUDIBLE_RUNTIME=$(mktemp -d /tmp/tocklet-audible.XXXXXX)
    local socket=$AUDIBLE_RUNTIME/native
    XDG_RUNTIME_DIR=$AUDIBLE_RUNTIME HOME=$AUDIBLE_RUNTIME pulseaudio -n --daemonize=no \
        --exit-idle-time=-1 --use-pid-file=false --realtime=false --high-priority=false \
        --load="module-null-sink sink_name=cap" \
        --load="module-native-protocol-unix socket=$socket auth-anonymous=1" \
        >"$AUDIBLE_RUNTIME/server.log" 2>&1 </dev/null &
    AUDIBLE_PULSE_PID=$!
    local deadline=$((SECONDS + 15))
    while [ "$SECONDS" -lt "$deadline" ] && kill -0 "$AUDIBLE_PULSE_PID" 2>/dev/null; do
        if HOME=$AUDIBLE_RUNTIME PULSE_SERVER=unix:$socket pactl list short sinks 2>/dev/null |
            grep -q '^[0-9]*[[:space:]]cap[[:space:]]'; then
            tocklet_wine_sound pulse "$socket"
            return 0
        fi
        sleep 0.2
    done
    echo "  the sound server did not start (pulseaudio exited, or no sink on $socket within 15 s); its log:"
    tail -n 20 "$AUDIBLE_RUNTIME/server.log" | sed 's/^/    /'
    return 1
}

# Records the sink into RAW (see scripts/lib/tones.py); returns once sound
# data arrives.
audible_record_start() { # audible_record_start RAW
    rm -f "$1" "$1".ready "$1".t0
    HOME=$AUDIBLE_RUNTIME python3 "$TOCKLET_ROOT/scripts/lib/tones.py" record "$1" cap.monitor &
    AUDIBLE_RECORDER_PID=$!
    local deadline=$((SECONDS + 10))
    while [ ! -e "$1.ready" ]; do
        if [ "$SECONDS" -ge "$deadline" ] || ! kill -0 "$AUDIBLE_RECORDER_PID" 2>/dev/null; then
            echo "the recorder got no sound data from the server" >&2
            return 1
        fi
        sleep 0.05
    done
}

audible_record_stop() {
    [ -n "$AUDIBLE_RECORDER_PID" ] || return 0
    kill -TERM "$AUDIBLE_RECORDER_PID" 2>/dev/null
    wait "$AUDIBLE_RECORDER_PID" 2>/dev/null
    AUDIBLE_RECORDER_PID=""
}

# Starts the program and waits for its dialog, idle (probe: AUDIBLE_PROBE).
audible_app_start() { # audible_app_start EXE
    AUDIBLE_RAN_WINE=1
    wine "$1" >/dev/null 2>&1 &
    AUDIBLE_APP_PID=$!
    AUDIBLE_WINDOW=""
    local deadline=$((SECONDS + 30))
    while [ -z "$AUDIBLE_WINDOW" ] && [ "$SECONDS" -lt "$deadline" ]; do
        AUDIBLE_WINDOW=$(xdotool search --name '^Tocklet Version 0\.01$' 2>/dev/null | head -n 1)
        [ -n "$AUDIBLE_WINDOW" ] || sleep 0.1
    done
    [ -n "$AUDIBLE_WINDOW" ] && audible_state idle 20000
}

# Waits until the dialog is in STATE (idle, running, paused); 0 when it is.
audible_state() { # audible_state STATE MS
    wine "$AUDIBLE_PROBE" --wait "$1" "$2" >/dev/null 2>&1
}

audible_keys() {
    xdotool windowactivate --sync "$AUDIBLE_WINDOW" 2>/dev/null ||
        xdotool windowfocus --sync "$AUDIBLE_WINDOW"
    xdotool key --window "$AUDIBLE_WINDOW" --clearmodifiers "$@"
}

# Types the settings into a freshly opened dialog (focus in the hours field;
# Tab selects a field's text, so typing replaces it).
audible_settings() { # audible_settings SECONDS MILLISECONDS COUNT SOUND_FILE
    local value
    for value in 0 "$1" "$2" "$3" "$(winepath -w "$4" 2>/dev/null)"; do
        audible_keys Tab
        xdotool type --window "$AUDIBLE_WINDOW" --delay 20 "$value"
    done
    sleep 0.2
}

# Quits the program (Quit, then a kill if it does not go within 10 s).
audible_app_quit() {
    [ -n "$AUDIBLE_APP_PID" ] || return 0
    if [ -n "$AUDIBLE_WINDOW" ]; then
        audible_keys alt+x 2>/dev/null
        local deadline=$((SECONDS + 10))
        while kill -0 "$AUDIBLE_APP_PID" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
            sleep 0.1
        done
    fi
    kill "$AUDIBLE_APP_PID" 2>/dev/null
    wait "$AUDIBLE_APP_PID" 2>/dev/null
    AUDIBLE_APP_PID=""
    AUDIBLE_WINDOW=""
}

# Everything this file started, last the server; then waits for Wine's own
# session (wineserver, services) to end, which it does a few s after the
# last program.
audible_cleanup() {
    audible_app_quit
    audible_record_stop
    if [ -n "$AUDIBLE_PULSE_PID" ]; then
        kill "$AUDIBLE_PULSE_PID" 2>/dev/null
        local deadline=$((SECONDS + 5))
        while kill -0 "$AUDIBLE_PULSE_PID" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
            sleep 0.1
        done
        kill -KILL "$AUDIBLE_PULSE_PID" 2>/dev/null
        wait "$AUDIBLE_PULSE_PID" 2>/dev/null
        AUDIBLE_PULSE_PID=""
    fi
    [ -n "$AUDIBLE_RUNTIME" ] && rm -rf "$AUDIBLE_RUNTIME"
    AUDIBLE_RUNTIME=""
    [ -z "$AUDIBLE_RAN_WINE" ] || timeout 30 wineserver -w 2>/dev/null
}
