#!/usr/bin/env bash
# Opens the built Standalone in a real X window (Xvfb) with the daily update check due and TAZZLE_UPDATE_SERVER
# pointing at a server on 127.0.0.1 that announces a newer release. Checks that the window asks once, remembers the
# answer in Settings.xml and shows the update notice at its designed size, then that the app still ends promptly.
#
# Usage: standalone_notice_test.sh path/to/Standalone/Tazzle path/to/tazzle_update_test_server
# TAZZLE_NOTICE_SHOT=file.png keeps the screenshot with the notice for a person to look at.
set -euo pipefail

app=${1:?usage: $0 path/to/Standalone/Tazzle path/to/tazzle_update_test_server}
server_program=${2:?usage: $0 path/to/Standalone/Tazzle path/to/tazzle_update_test_server}
for program in "$app" "$server_program"; do
    [ -x "$program" ] || { echo "FAIL: no executable at $program"; exit 1; }
done
for tool in Xvfb xwininfo import convert; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (bash scripts/setup installs it)"; exit 1; }
done

VERSION=9.9.9
SCALE=0.85 # a new window's scale
# The notice: 780 x 22 design units, its right edge 16 units inside the editor's.
NOTICE_W=$(awk -v s=$SCALE 'BEGIN { printf "%d\n", 780 * s + 0.5 }')
NOTICE_H=$(awk -v s=$SCALE 'BEGIN { printf "%d\n", 22 * s + 0.5 }')
NOTICE_RIGHT=$(awk -v s=$SCALE 'BEGIN { printf "%d\n", 16 * s + 0.5 }')

has_exited() {
    [ ! -e "/proc/$1" ] || [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = Z ]
}

work=$(mktemp -d)
xvfb_pid=
app_pid=
server_pid=
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
    stop "$server_pid" TERM
    stop "$xvfb_pid" TERM
    rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() { echo "PASS  $*"; passed=$((passed + 1)); }
fail() { echo "FAIL  $*"; failed=$((failed + 1)); }
finish() {
    if [ "$failed" -gt 0 ] && [ -s "$work/app.log" ]; then
        echo "--- app output (last lines) ---"
        tail -n 20 "$work/app.log"
    fi
    echo "update notice: $passed passed, $failed failed"
    if [ "$failed" -eq 0 ]; then exit 0; fi
    exit 1
}
# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# A fresh home: no settings, so the daily check is due; nothing of the user's is read or written.
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
settings="$XDG_CONFIG_HOME/Quarrow/Tazzle/Settings.xml"

# --- The server, for at most 90 s. It prints its address, then "requests N" as they come.
"$server_program" "$VERSION" 90 >"$work/server.log" 2>&1 &
server_pid=$!
if ! wait_for 50 grep -q '^http://127.0.0.1:' "$work/server.log"; then
    fail "the test server did not start: $(head -n 3 "$work/server.log")"
    finish
fi
TAZZLE_UPDATE_SERVER=$(head -n 1 "$work/server.log")
export TAZZLE_UPDATE_SERVER

# --- X server and the app's window, as in the window test.
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
if ! wait_for 100 test -s "$work/display"; then
    fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
    finish
fi
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

"$app" >"$work/app.log" 2>&1 &
app_pid=$!
window=
find_window() {
    for id in $(xwininfo -root -tree 2>/dev/null | awk '/ "Tazzle": / {print $1}'); do
        if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
            window=$id
            return 0
        fi
    done
    has_exited "$app_pid" && return 0
    return 1
}
wait_for 300 find_window || true
if [ -z "$window" ]; then
    fail "no mapped window named Tazzle within 30 s"
    finish
fi
pass "window \"Tazzle\" mapped ($window)"
info=$(xwininfo -id "$window")
win_x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
win_y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
win_w=$(awk '/^ *Width:/ {print $2}' <<<"$info")
win_h=$(awk '/^ *Height:/ {print $2}' <<<"$info")
shoot() { import -window root -crop "${win_w}x${win_h}+${win_x}+${win_y}" +repage "$1"; }

# --- Before the check, which starts 3 s after the window opens: the window without the notice.
sleep 1
shoot "$work/before.png"
if grep -q '^requests' "$work/server.log"; then
    fail "the check came before the first picture; the notice cannot be told from the rest"
    finish
fi

# --- The check: one request, the answer remembered, the notice drawn.
if wait_for 150 grep -q '^requests 1$' "$work/server.log"; then
    pass "the window asked the server once it was on screen"
else
    fail "no request within 15 s of the window opening"
    finish
fi
if wait_for 50 grep -q "latestVersion=\"$VERSION\"" "$settings"; then
    pass "Settings.xml remembers version $VERSION and the time of the check"
else
    fail "Settings.xml does not hold the answer: $(cat "$settings" 2>/dev/null)"
fi
sleep 1
shot=${TAZZLE_NOTICE_SHOT:-$work/after.png}
shoot "$shot"

# Where the pictures differ should be the notice: its box, right-aligned under the header. Modulated knobs move a
# few thin pixels meanwhile; an opening with a 5-pixel square wipes those out and keeps the notice's filled box.
read -r box_w box_h box_x box_y < <(convert "$work/before.png" "$shot" -compose difference -composite \
    -colorspace gray -threshold 3% -morphology Open Square:2 -trim -format '%w %h %X %Y\n' info: | tr -d '+')
right_gap=$((win_w - box_x - box_w))
echo "      changed area ${box_w}x${box_h} at +${box_x}+${box_y} in the window, ${right_gap} px from its right edge"
if [ $((box_w - NOTICE_W)) -ge -4 ] && [ $((box_w - NOTICE_W)) -le 4 ] \
    && [ $((box_h - NOTICE_H)) -ge -2 ] && [ $((box_h - NOTICE_H)) -le 3 ] \
    && [ "$right_gap" -ge "$NOTICE_RIGHT" ] && [ "$right_gap" -le $((NOTICE_RIGHT + 6)) ]; then
    pass "the notice appeared: ${box_w}x${box_h}, expected about ${NOTICE_W}x${NOTICE_H}"
else
    fail "the change is not the notice: ${box_w}x${box_h}, expected about ${NOTICE_W}x${NOTICE_H}," \
         "${NOTICE_RIGHT} to $((NOTICE_RIGHT + 6)) px from the right"
fi

# --- Quitting still ends the app promptly.
kill -TERM "$app_pid"
if wait_for 50 has_exited "$app_pid"; then
    wait "$app_pid" 2>/dev/null || true
    app_pid=
    pass "SIGTERM ended the app"
else
    fail "the app still runs 5 s after SIGTERM"
fi
if grep -q "JUCE Assertion failure" "$work/app.log"; then
    fail "JUCE assertions: $(grep -m 3 "JUCE Assertion failure" "$work/app.log" | tr '\n' ' ')"
else
    pass "no JUCE assertion in the app's output"
fi
[ -n "${TAZZLE_NOTICE_SHOT:-}" ] && echo "      screenshot kept at $TAZZLE_NOTICE_SHOT"
finish
