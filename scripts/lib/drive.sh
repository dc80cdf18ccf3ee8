# Sourced: drives tocklet.exe as a person would, with the mouse and keyboard
# of the current X display, and reads back from the dialog's own windows
# (tocklet_probe.exe, DRIVE_PROBE) that each step took effect: on a loaded
# machine without a window manager a key or click is now and then lost.
# Needs wine-env.sh sourced. DRIVE_LOG, when set, gets each action, timed.
#
#   drive_start EXE                 starts it, waits for the idle dialog;
#                                   its stderr (Wine's trace) goes to
#                                   DRIVE_STDERR when set
#   drive_set_field ID VALUE LINE   types VALUE into control ID until the
#                                   probe prints LINE
#   drive_press ID FROM TO          clicks button ID until the dialog is in
#                                   state TO (idle, running, paused)
#   drive_state STATE MS            waits until the dialog is in STATE
#   drive_exe_pid                   the program's Linux process id
#   drive_quit                      Quit; DRIVE_EXIT is the exit code (124
#                                   when it had to be killed)
# DRIVE_CLICKED_AT: when the last click was sent, in ms since the epoch.

# Its own pipefail: a failed probe fails whatever the caller's options.
drive_probe() { (set -o pipefail && wine "$DRIVE_PROBE" "$@" 2>/dev/null | tr -d '\r'); }
drive_note() { [ -z "${DRIVE_LOG:-}" ] || echo "$(date +%T.%3N) $*" >>"$DRIVE_LOG"; }
drive_state() { drive_probe --wait "$1" "$2" >/dev/null; }

# The Linux process of the program: the loader drive_start ran execs into
# it (or, with another loader, starts it as a child).
drive_exe_pid() {
    local pid
    for pid in "$DRIVE_APP_PID" $(pgrep -P "$DRIVE_APP_PID" 2>/dev/null); do
        if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qi 'tocklet\.exe'; then
            echo "$pid"
            return 0
        fi
    done
    return 1
}

drive_start() { # drive_start EXE
    wine "$1" >/dev/null 2>"${DRIVE_STDERR:-/dev/null}" &
    DRIVE_APP_PID=$!
    DRIVE_WINDOW=""
    DRIVE_EXIT=""
    local deadline=$((SECONDS + 30))
    while [ -z "$DRIVE_WINDOW" ] && [ "$SECONDS" -lt "$deadline" ]; do
        DRIVE_WINDOW=$(xdotool search --name '^Tocklet Version 0\.01$' 2>/dev/null | head -n 1)
        [ -n "$DRIVE_WINDOW" ] || sleep 0.1
    done
    [ -n "$DRIVE_WINDOW" ] || return 1
    # Where a person would click: the control centres, in screen pixels.
    DRIVE_LAYOUT=$(drive_probe --wait idle 20000) || return 1
    drive_note "dialog idle"
}

drive_click() { # drive_click ID
    local at
    at=$(sed -n "s/^center_$1=//p" <<<"$DRIVE_LAYOUT")
    drive_note "click $1"
    # No --sync: it waits for a motion that never comes when the pointer is
    # already there (Start and Pause are one button).
    # shellcheck disable=SC2086
    xdotool mousemove $at
    sleep 0.2
    DRIVE_CLICKED_AT=$(date +%s%3N)
    xdotool click 1
    sleep 0.2
}

# Clicks into the field, selects its text and types over it.
drive_set_field() { # drive_set_field ID VALUE LINE
    for _ in 1 2 3; do
        drive_click "$1"
        xdotool key --clearmodifiers End shift+Home
        xdotool type --delay 30 "$2"
        # A loaded machine may take a while to deliver the keys.
        for _ in 1 2 3 4 5 6 7 8; do
            sleep 0.2
            if drive_probe | grep -qxF -- "$3"; then
                drive_note "typed $2"
                return 0
            fi
        done
        drive_note "not typed: $2 ($(drive_probe | grep -F "${3%%=*}="))"
    done
    return 1
}

# Clicks again only while the dialog still shows the state it was in, so a
# slow dialog is never toggled back.
drive_press() { # drive_press ID FROM TO
    for _ in 1 2 3; do
        drive_click "$1"
        if drive_state "$3" 3000; then
            drive_note "now $3"
            return 0
        fi
        if ! drive_probe | grep -qx "state=$2"; then
            drive_note "neither $2 nor $3"
            return 1
        fi
        drive_note "still $2"
    done
    return 1
}

# Quit, clicked again only while the dialog is still there.
drive_quit() {
    [ -n "${DRIVE_APP_PID:-}" ] || return 0
    DRIVE_EXIT=124
    for _ in 1 2 3; do
        drive_click 1001
        for _ in $(seq 1 100); do
            if ! kill -0 "$DRIVE_APP_PID" 2>/dev/null; then
                wait "$DRIVE_APP_PID"
                DRIVE_EXIT=$?
                break 2
            fi
            sleep 0.1
        done
        drive_probe | grep -q '^state=none' && break
    done
    if [ "$DRIVE_EXIT" -eq 124 ]; then
        kill "$DRIVE_APP_PID" 2>/dev/null
        wait "$DRIVE_APP_PID" 2>/dev/null
    fi
    drive_note "exit code $DRIVE_EXIT"
    DRIVE_APP_PID=""
    DRIVE_WINDOW=""
}
