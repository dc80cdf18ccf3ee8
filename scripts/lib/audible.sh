# Sourced by scripts/audible and bench/audible/run: a private sound server
# that needs no sound card, a recorder of its sink, and the settings typed
# into tocklet.exe (scripts/lib/drive.sh drives it). Needs an X display and
# scripts/lib/wine-env.sh sourced with the exe's machine chosen. The caller
# calls audible_cleanup on every exit path (trap).

AUDIBLE_PULSE_PID=""
AUDIBLE_RECORDER_PID=""
AUDIBLE_RUNTIME=""
AUDIBLE_RAN_WINE=""

now_ms() { date +%s%3N; }
sleep_until() { # sleep_until EPOCH_MS
    local left=$(($1 - $(now_ms)))
    [ "$left" -le 0 ] || sleep "$(printf '%d.%03d' $((left / 1000)) $((left % 1000)))"
}

# Starts PulseAudio with a null sink "cap" and a socket of its own, in a
# temporary folder, and points Wine at it. Gives up after 15 s. Called again
# after audible_server_kill, it starts a new server on the same socket.
audible_server_start() {
    [ -n "$AUDIBLE_RUNTIME" ] || AUDIBLE_RUNTIME=$(mktemp -d /tmp/tocklet-audible.XXXXXX)
    local socket=$AUDIBLE_RUNTIME/native
    XDG_RUNTIME_DIR=$AUDIBLE_RUNTIME HOME=$AUDIBLE_RUNTIME pulseaudio -n --daemonize=no \
        --exit-idle-time=-1 --use-pid-file=false --realtime=false --high-priority=false \
        --load="module-null-sink sink_name=cap" \
        --load="module-native-protocol-unix socket=$socket auth-anonymous=1" \
        >>"$AUDIBLE_RUNTIME/server.log" 2>&1 </dev/null &
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

# The server dies at once, as in a crash: its clients see the connection drop.
audible_server_kill() {
    [ -n "$AUDIBLE_PULSE_PID" ] || return 0
    kill -KILL "$AUDIBLE_PULSE_PID" 2>/dev/null
    wait "$AUDIBLE_PULSE_PID" 2>/dev/null
    AUDIBLE_PULSE_PID=""
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

# Waits until the dialog is in STATE (idle, running, paused); 0 when it is.
audible_state() { drive_state "$@"; }

# Types the settings into a freshly opened dialog, as a person would.
audible_settings() { # audible_settings SECONDS MILLISECONDS COUNT SOUND_FILE
    local sound
    sound=$(tocklet_winpath "$4")
    drive_set_field 1005 0 field_1005=0 &&
        drive_set_field 1006 "$1" "field_1006=$1" &&
        drive_set_field 1007 "$2" "field_1007=$2" &&
        drive_set_field 1008 "$3" "field_1008=$3" &&
        drive_set_field 1009 "$sound" "sound=$sound"
}

# Everything this file started, last the server; then waits for Wine's own
# session (wineserver, services) to end, which it does a few s after the
# last program.
audible_cleanup() {
    drive_quit
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
