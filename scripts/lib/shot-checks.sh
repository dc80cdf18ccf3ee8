# Sourced by scripts/tour --check: checks each step's dialog state (read from
# its windows by the probe) and, with OCR, what only the pixels show: the
# Japanese text rendered and the display's digits. Uses ok/bad/expect from
# the tour.

# The text of a screenshot, spaces removed (OCR spaces CJK text unevenly).
ocr_text() {
    local scaled
    scaled=$(mktemp --suffix=.png)
    convert "$1" -resize 300% -colorspace Gray "$scaled"
    tesseract "$scaled" - -l jpn+eng --psm 11 2>/dev/null | tr -d ' \r'
    rm -f "$scaled"
}

# The time the display shows, in ms; empty when no HH:MM:SS mmm is found.
display_ms() {
    local digits
    digits=$(ocr_text "$1" | grep -oE '[0-9]{2}:[0-9]{2}:[0-9]{2}[0-9]{3}' | head -n 1)
    [ -n "$digits" ] || return 0
    local h=${digits:0:2} m=${digits:3:2} s=${digits:6:2} ms=${digits:8:3}
    echo $(((10#$h * 3600 + 10#$m * 60 + 10#$s) * 1000 + 10#$ms))
}

has_text() { grep -qF -- "$2" <<<"$(ocr_text "$1")"; }
# in_state <name> <state>: the probe saw the dialog in this state at that step
# (Start caption, Start and Stop enabled, setting controls enabled or not).
in_state() { grep -qx "state=$2" "$dir/$1.state" 2>/dev/null; }
lacks_text() { ! grep -qF -- "$2" <<<"$(ocr_text "$1")"; }

check_shots() {
    local dir=$1
    local idle=$dir/01-idle.png
    expect "Japanese captions rendered (group box)" has_text "$idle" "カウント情報"
    expect "Japanese captions rendered (sound label)" has_text "$idle" "インターバル時間でのサウンド"
    expect "no unrenderable text boxes" lacks_text "$idle" "???"
    expect "idle display shows 00:00:00 000" test "$(display_ms "$idle")" = 0
    expect "idle: Start \"開始(&C)\", Stop disabled, settings enabled" in_state 01-idle idle
    expect "running: Start \"中断(&A)\", Stop enabled, settings disabled" in_state 03-running running

    local r1 r2 p1 p2
    r1=$(display_ms "$dir/03-running.png")
    r2=$(display_ms "$dir/03-running-later.png")
    echo "  running display: ${r1:-?} ms, then ${r2:-?} ms"
    expect "running display counts within the 3 s interval" \
        test -n "$r1" -a -n "$r2" -a "${r1:-0}" -gt 0 -a "${r1:-0}" -le 3000
    expect "running display counts down" test -n "$r1" -a -n "$r2" -a "${r2:-0}" -lt "${r1:-0}"

    p1=$(display_ms "$dir/04-paused.png")
    p2=$(display_ms "$dir/04-paused-later.png")
    echo "  paused display: ${p1:-?} ms, then ${p2:-?} ms"
    expect "paused display is frozen" test -n "$p1" -a "${p1:-x}" = "${p2:-y}" -a "${p1:-0}" -gt 0
    expect "paused: Start \"再開(&R)\", Stop enabled, settings disabled" in_state 04-paused paused

    local done=$dir/06-finished.png
    expect "finished display shows 00:00:00 000" test "$(display_ms "$done")" = 0
    expect "finished: back to idle (Start \"開始(&C)\", Stop disabled)" in_state 06-finished idle
}
