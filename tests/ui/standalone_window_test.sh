#!/usr/bin/env bash
# Opens the built Standalone in a real X window (Xvfb, no window manager), checks that the plug-in's own
# editor fills the window at its designed size and shows the colours its drawing rules give, that the keyboard
# closes a menu and draws the focus outline, then that the app ends promptly on SIGTERM.
#
# Usage: standalone_window_test.sh path/to/Standalone/Tazzle
# TAZZLE_WINDOW_SHOT=file.png keeps the screenshot for a person to look at (the menu's and the focused knob's
# beside it, as file-menu.png and file-focus.png).
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
suite=window
source "$(dirname "$0")/../support/standalone_window.sh"
require_tools

# The editor: design units drawn at this scale, so it covers EDITOR_W x EDITOR_H pixels.
SCALE=0.85
EDITOR_W=1360
EDITOR_H=697
TITLE_BAR=26
NOTIFICATION=30

use_private_home
# Nor the network: the window would check for updates a few seconds after it opens.
mkdir -p "$XDG_CONFIG_HOME/Quarrow/Tazzle"
echo '<TAZZLE_SETTINGS autoUpdateCheck="0"/>' >"$XDG_CONFIG_HOME/Quarrow/Tazzle/Settings.xml"
export TAZZLE_UPDATE_SERVER=none

start_display
open_window

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

# --- The SETTINGS menu: drawn in the editor's look (panel background, its text colour, the embedded face), not
# JUCE's stock colours and the system font. It opens under the button, its top-left at the button's bottom-left.
if command -v xdotool >/dev/null && [ "$editor_w" -eq "$EDITOR_W" ]; then
    xdotool mousemove $((editor_x + $(px 1518))) $((editor_y + $(px 31))) click 1
    menu_shot=$work/menu.png
    menu_x=$((editor_x + $(px 1476)))
    menu_y=$((editor_y + $(px 43)))
    background=
    for _ in $(seq 10); do
        sleep 0.3
        import -window root "$menu_shot"
        # Right of the short "Show presets folder" row: nothing but the menu's background.
        background=$(convert "$menu_shot" -crop "40x8+$((menu_x + 150))+$((menu_y + 46))" +repage \
            -format '%[fx:int(255*mean.r+0.5)] %[fx:int(255*mean.g+0.5)] %[fx:int(255*mean.b+0.5)]\n' info:)
        awk -v m="$background" 'BEGIN { split(m, a, " "); exit !(a[1] < 80 && a[2] < 80 && a[3] < 80) }' && break
    done
    within() {
        awk -v m="$1" -v e="$2" -v t="$3" 'BEGIN { split(m, a, " "); split(e, b, " ")
            for (i = 1; i <= 3; i++) { d = a[i] - b[i]; if (d < -t || d > t) exit 1 } }'
    }
    if within "$background" "$(hex_rgb 222228)" 4; then
        pass "SETTINGS menu background: measured $background, expected the panel colour $(hex_rgb 222228)"
    else
        fail "SETTINGS menu background: measured $background, expected the panel colour $(hex_rgb 222228) (±4)"
    fi
    # The brightest pixel of the "Install preset pack..." row is the text colour where a stroke covers it fully.
    text=$(convert "$menu_shot" -crop "110x14+$((menu_x + 8))+$((menu_y + 30))" +repage -depth 8 txt:- |
        sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' |
        awk '{ s = $1 + $2 + $3; if (s > best) { best = s; rgb = $1 " " $2 " " $3 } } END { print rgb }')
    if within "$text" "$(hex_rgb e8e4dc)" 12; then
        pass "SETTINGS menu text: measured $text, expected the text colour $(hex_rgb e8e4dc)"
    else
        fail "SETTINGS menu text: measured $text, expected the text colour $(hex_rgb e8e4dc) (±12)"
    fi
    [ -n "${TAZZLE_WINDOW_SHOT:-}" ] && cp "$menu_shot" "${TAZZLE_WINDOW_SHOT%.png}-menu.png"

    # --- The keyboard. Escape closes the menu and leaves the focus on SETTINGS: Shift+Tab from there outlines
    # MUTATE. A click on the MASTER pedal's INPUT knob focuses it without an outline; Tab moves on to MIX and
    # outlines it in the accent colour. Counted as accent pixels (ff7a2f, each channel within 40) in the box
    # around the control, before and after: the knobs' own arcs are accent too, the outline adds its ring.
    accent_pixels() {
        local x0 y0 x1 y1
        x0=$(px "$2"); y0=$(px "$3"); x1=$(px "$(($2 + $4))"); y1=$(px "$(($3 + $5))")
        convert "$1" -crop "$((x1 - x0))x$((y1 - y0))+$((editor_x + x0))+$((editor_y + y0))" +repage -depth 8 txt:- |
            sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' |
            awk '{ if ($1 > 215 && $2 > 82 && $2 < 162 && $3 < 87) n++ } END { print n + 0 }'
    }
    # outlined NAME X Y W H SHOT_BEFORE SHOT_AFTER: the ring adds at least a perimeter's worth of accent pixels.
    outlined() {
        local before after ring
        before=$(accent_pixels "$6" "$2" "$3" "$4" "$5")
        after=$(accent_pixels "$7" "$2" "$3" "$4" "$5")
        ring=$(awk -v w="$4" -v h="$5" -v s="$SCALE" 'BEGIN { printf "%d\n", (w + h) * s }')
        if [ $((after - before)) -ge "$ring" ]; then
            pass "$1: $((after - before)) accent pixels more around it (at least $ring)"
        else
            fail "$1: $((after - before)) accent pixels more around it, expected at least $ring ($before before)"
        fi
    }
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    header_before=$work/header-before.png
    xdotool key Escape
    closed=
    for _ in $(seq 10); do
        sleep 0.3
        import -window root "$work/escaped.png"
        background=$(convert "$work/escaped.png" -crop "40x8+$((menu_x + 150))+$((menu_y + 46))" +repage \
            -format '%[fx:int(255*mean.r+0.5)] %[fx:int(255*mean.g+0.5)] %[fx:int(255*mean.b+0.5)]\n' info:)
        within "$background" "$(hex_rgb 222228)" 4 || { closed=1; break; }
    done
    if [ -n "$closed" ]; then
        pass "Escape closed the SETTINGS menu"
    else
        fail "the SETTINGS menu is still open after Escape"
    fi
    import -window root "$header_before"
    xdotool key shift+Tab
    sleep 0.5
    import -window root "$work/header-after.png"
    outlined "focus back on SETTINGS: Shift+Tab outlines MUTATE" 1170 13 96 36 "$header_before" "$work/header-after.png"

    xdotool mousemove $((editor_x + $(px 1528))) $((editor_y + $(px 525))) click 1
    sleep 0.5
    import -window root "$work/knob-before.png"
    xdotool key Tab
    focus_shot=$work/focus.png
    sleep 0.5
    import -window root "$focus_shot"
    outlined "Tab from INPUT outlines MIX" 1480 566 96 116 "$work/knob-before.png" "$focus_shot"
    if [ -n "${TAZZLE_WINDOW_SHOT:-}" ]; then
        convert "$focus_shot" -crop "${editor_w}x${editor_h}+${editor_x}+${editor_y}" +repage \
            "${TAZZLE_WINDOW_SHOT%.png}-focus.png"
    fi

    # Left open: the app closes with the menu showing, and its look and feel must not go while the menu uses it.
    xdotool mousemove $((editor_x + $(px 1518))) $((editor_y + $(px 31))) click 1
    sleep 0.3
else
    fail "SETTINGS menu not checked: xdotool missing (bash scripts/setup installs it) or the editor has the wrong size"
fi

check_termination_and_assertions

if [ -n "${TAZZLE_WINDOW_SHOT:-}" ]; then
    echo "      screenshot kept at $TAZZLE_WINDOW_SHOT"
fi
finish
