#!/usr/bin/env bash
# Opens the built Standalone in a real X window (Xvfb, no window manager), checks that the plug-in's own
# editor fills the window at its designed size and shows the colours its drawing rules give, then that the app
# ends promptly on SIGTERM.
#
# Usage: standalone_window_test.sh path/to/Standalone/Tazzle
# TAZZLE_WINDOW_SHOT=file.png keeps the screenshot for a person to look at.
#
# Window layout (JUCE 7.0.5's StandaloneFilterWindow, drawn by JUCE itself when there is no native title bar):
#   a frame of BORDER px all round (1 when the editor is fixed-size, 4 when it is resizable), a 26 px title
#   bar holding the "Options" button, then, when the processor has inputs and outputs and the input is muted
#   (the default on a first run), a 30 px "Audio input is muted" notification bar, then the editor.
set -euo pipefail

app=${1:?usage: $0 path/to/Standalone/Tazzle}
if [ ! -x "$app" ]; then
    echo "FAIL: no executable at $app"
    exit 1
fi
for tool in Xvfb xwininfo import convert; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (bash scripts/setup installs it)"; exit 1; }
done

# The editor: design units drawn at this scale, so it covers EDITOR_W x EDITOR_H pixels.
SCALE=0.85
EDITOR_W=1360
EDITOR_H=697
TITLE_BAR=26
NOTIFICATION=30

# Has a child ended? It stays a zombie until reaped, so kill -0 alone would say it still runs.
has_exited() {
    [ ! -e "/proc/$1" ] || [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = Z ]
}

work=$(mktemp -d)
xvfb_pid=
app_pid=
# Ends what this script started: the app at once, Xvfb politely first so it removes its lock file and socket.
stop() {
    local pid=$1 signal=$2
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    kill "-$signal" "$pid" 2>/dev/null || true
    for _ in $(seq 20); do
        has_exited "$pid" && break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
cleanup() {
    stop "$app_pid" KILL
    stop "$xvfb_pid" TERM
    rm -rf "$work"
}
trap cleanup EXIT

# Nothing may read or write the real user's settings, presets or caches.
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
# Nor the network: the window would check for updates a few seconds after it opens.
mkdir -p "$XDG_CONFIG_HOME/Quarrow/Tazzle"
echo '<TAZZLE_SETTINGS autoUpdateCheck="0"/>' >"$XDG_CONFIG_HOME/Quarrow/Tazzle/Settings.xml"
export TAZZLE_UPDATE_SERVER=none

passed=0
failed=0
pass() { echo "PASS  $*"; passed=$((passed + 1)); }
fail() { echo "FAIL  $*"; failed=$((failed + 1)); }
finish() {
    if [ "$failed" -gt 0 ] && [ -s "$work/app.log" ]; then
        echo "--- app output (last lines) ---"
        tail -n 20 "$work/app.log"
    fi
    echo "window: $passed passed, $failed failed"
    if [ "$failed" -eq 0 ]; then exit 0; fi
    exit 1
}

# --- X server: Xvfb picks a free display and writes its number once it accepts connections.
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
    finish
fi
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

# --- The app, and its top-level window. JUCE names it with a UTF8_STRING WM_NAME, which `xwininfo -name`
# does not match, so the window is found in the tree listing.
"$app" >"$work/app.log" 2>&1 &
app_pid=$!
window=
deadline=$((SECONDS + 30))
while [ "$SECONDS" -lt "$deadline" ]; do
    has_exited "$app_pid" && break
    for id in $(xwininfo -root -tree 2>/dev/null | awk '/ "Tazzle": / {print $1}'); do
        if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
            window=$id
        fi
    done
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    if has_exited "$app_pid"; then
        status=0
        wait "$app_pid" || status=$?
        app_pid=
        fail "the app exited (status $status) before mapping a window named Tazzle"
    else
        fail "no mapped window named Tazzle within 30 s"
    fi
    finish
fi
pass "window \"Tazzle\" mapped ($window)"

info=$(xwininfo -id "$window")
win_x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
win_y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
win_w=$(awk '/^ *Width:/ {print $2}' <<<"$info")
win_h=$(awk '/^ *Height:/ {print $2}' <<<"$info")

# --- Where the editor sits. Read down one column of the window, a quarter of the way across (clear of the
# Options button and the centred title): the title bar is the first run of one colour about TITLE_BAR rows
# long, and its top is the frame's width. Below it, the notification bar is light goldenrod yellow (fafad2).
# Mapping comes before the first paint, so the screenshot is retaken until the title bar shows.
shot=${TAZZLE_WINDOW_SHOT:-$work/shot.png}
border=
for _ in $(seq 20); do
    sleep 0.5
    import -window root "$shot"
    column=$(convert "$shot" -crop "1x$((win_h < 120 ? win_h : 120))+$((win_x + win_w / 4))+$win_y" +repage \
        -depth 8 txt:- | awk 'NR > 1 { split($1, c, /[,:]/)
            for (i = 2; i <= NF; i++) if ($i ~ /^#/) { print c[2], toupper(substr($i, 2, 6)); break } }')
    border=$(awk -v min=$((TITLE_BAR - 2)) -v max=$((TITLE_BAR + 2)) '
        $2 == last { run++; next }
        { if (run >= min && run <= max) { print start; exit } start = $1; last = $2; run = 1 }' <<<"$column")
    [ -n "$border" ] && [ "$border" -le 8 ] && break
    border=
done
if [ -z "$border" ]; then
    fail "no JUCE title bar found at the top of the window (window ${win_w}x${win_h})"
    finish
fi
note_colour=$(awk -v y=$((border + TITLE_BAR + 2)) '$1 == y {print $2}' <<<"$column")
notification=0
[ "${note_colour:0:6}" = FAFAD2 ] && notification=$NOTIFICATION
editor_x=$((win_x + border))
editor_y=$((win_y + border + TITLE_BAR + notification))
editor_w=$((win_w - 2 * border))
editor_h=$((win_h - 2 * border - TITLE_BAR - notification))
echo "      window ${win_w}x${win_h} at +${win_x}+${win_y}; frame ${border} px, title bar ${TITLE_BAR} px," \
     "notification bar ${notification} px; editor at +$((editor_x - win_x))+$((editor_y - win_y)) inside the window"
if [ "$editor_w" -eq "$EDITOR_W" ] && [ "$editor_h" -eq "$EDITOR_H" ]; then
    pass "editor area ${editor_w}x${editor_h}"
else
    fail "editor area ${editor_w}x${editor_h}, expected ${EDITOR_W}x${EDITOR_H} (the generic JUCE editor?)"
fi

# --- Colours.
hex_rgb() { printf '%d %d %d\n' "0x${1:0:2}" "0x${1:2:2}" "0x${1:4:2}"; }
# Linear vertical gradient from colour c0 at design y0 to c1 at y1, evaluated at design y.
gradient() {
    local c0 c1
    c0=$(hex_rgb "$1")
    c1=$(hex_rgb "$2")
    awk -v a="$c0" -v b="$c1" -v y0="$3" -v y1="$4" -v y="$5" 'BEGIN {
        split(a, p, " "); split(b, q, " "); t = (y - y0) / (y1 - y0)
        printf "%d %d %d\n", p[1] + (q[1] - p[1]) * t + 0.5, p[2] + (q[2] - p[2]) * t + 0.5, p[3] + (q[3] - p[3]) * t + 0.5 }'
}
# Design units to screen pixels: round(unit * SCALE) from the editor's top-left.
px() { awk -v u="$1" -v s="$SCALE" 'BEGIN { printf "%d\n", u * s + 0.5 }'; }
# Mean colour of a screen-pixel box.
mean_rgb() {
    convert "$shot" -crop "$1x$2+$3+$4" +repage \
        -format '%[fx:int(255*mean.r+0.5)] %[fx:int(255*mean.g+0.5)] %[fx:int(255*mean.b+0.5)]\n' info:
}

# check NAME X Y W H "R G B" TOLERANCE MODE: the design box's colour, within TOLERANCE on every channel.
# MODE mean: the box's mean. MODE brightest-row: the mean of its brightest pixel row, for lines too thin to
# land on whole pixels at this scale.
check() {
    local name=$1 x=$2 y=$3 w=$4 h=$5 expected=$6 tolerance=$7 mode=$8
    local x0 y0 x1 y1 measured row best=-1 sum
    x0=$(px "$x"); y0=$(px "$y"); x1=$(px "$((x + w))"); y1=$(px "$((y + h))")
    if [ "$mode" = mean ]; then
        measured=$(mean_rgb $((x1 - x0)) $((y1 - y0)) $((editor_x + x0)) $((editor_y + y0)))
    else
        for ((row = y0; row < y1; row++)); do
            local rgb
            rgb=$(mean_rgb $((x1 - x0)) 1 $((editor_x + x0)) $((editor_y + row)))
            sum=$(awk '{print $1 + $2 + $3}' <<<"$rgb")
            if [ "$sum" -gt "$best" ]; then best=$sum; measured=$rgb; fi
        done
    fi
    if awk -v m="$measured" -v e="$expected" -v t="$tolerance" 'BEGIN {
            split(m, a, " "); split(e, b, " ")
            for (i = 1; i <= 3; i++) { d = a[i] - b[i]; if (d < -t || d > t) exit 1 } }'; then
        pass "$name: measured $measured, expected $expected (±$tolerance)"
    else
        fail "$name: measured $measured, expected $expected (±$tolerance)"
    fi
}

if [ "$editor_w" -eq "$EDITOR_W" ] && [ "$editor_h" -eq "$EDITOR_H" ]; then
    #     name                  design box     expected, from the drawing rules         tol mode
    # Header plate: gradient 3a3a42 (y 6) -> 1d1d22 (y 56) at the box's middle row, y 15; its noise
    # (alpha <= 0.16) and sheen (alpha <= 0x12) stay within the tolerance.
    check "header plate"        480 12 80 6    "$(gradient 3a3a42 1d1d22 6 56 15)"      14 mean
    # RANDOM button body: gradient 34343b (y 19) -> 1c1c21 (y 43) at the box's middle, y 31; left of the caption.
    check "RANDOM button body"  1088 24 6 14   "$(gradient 34343b 1c1c21 19 43 31)"     14 mean
    # Panel under the header: background gradient 1d1d22 (y 0) -> 0e0e11 (y 820) at y 62, plus faint grain.
    check "panel background"    600 60 200 4   "$(gradient 1d1d22 0e0e11 0 820 62)"     12 mean
    # MASTER LED strip: the accent ff7a2f, 2 units high at y 428.5-430.5 with accent halos, centred on
    # (1528, 429.5); the brightest row of a 20-unit-wide box around it.
    check "MASTER LED strip"    1518 426 20 7  "$(hex_rgb ff7a2f)"                      40 brightest-row
else
    fail "colour checks skipped: the editor is not the expected size"
fi

# --- Quitting: SIGTERM must end the app within 5 s.
if has_exited "$app_pid"; then
    status=0
    wait "$app_pid" || status=$?
    app_pid=
    fail "the app exited by itself (status $status) while its window was being checked"
else
    kill -TERM "$app_pid"
    for _ in $(seq 50); do
        has_exited "$app_pid" && break
        sleep 0.1
    done
    if has_exited "$app_pid"; then
        status=0
        wait "$app_pid" || status=$?
        app_pid=
        pass "SIGTERM ended the app (exit status $status)"
    else
        fail "the app still runs 5 s after SIGTERM"
    fi
fi

# Builds with TAZZLE_ASSERTIONS log JUCE's assertions; one hit while opening the editor is a fault.
if grep -q "JUCE Assertion failure" "$work/app.log"; then
    fail "JUCE assertions while the window was open: $(grep -m 3 "JUCE Assertion failure" "$work/app.log" | tr '\n' ' ')"
else
    pass "no JUCE assertion in the app's output"
fi

if [ -n "${TAZZLE_WINDOW_SHOT:-}" ]; then
    echo "      screenshot kept at $TAZZLE_WINDOW_SHOT"
fi
finish
