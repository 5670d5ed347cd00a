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
suite="update notice"
source "$(dirname "$0")/../support/standalone_window.sh"
require_tools

VERSION=9.9.9
SCALE=0.85 # a new window's scale
# The notice: 780 x 22 design units, its right edge 16 units inside the editor's.
NOTICE_W=$(awk -v s=$SCALE 'BEGIN { printf "%d\n", 780 * s + 0.5 }')
NOTICE_H=$(awk -v s=$SCALE 'BEGIN { printf "%d\n", 22 * s + 0.5 }')
NOTICE_RIGHT=$(awk -v s=$SCALE 'BEGIN { printf "%d\n", 16 * s + 0.5 }')

# A fresh home: no settings, so the daily check is due; nothing of the user's is read or written.
use_private_home
settings="$XDG_CONFIG_HOME/Quarrow/Tazzle/Settings.xml"

# --- The server, for at most 90 s. It prints its address, then "requests N" as they come.
"$server_program" "$VERSION" 90 >"$work/server.log" 2>&1 &
extra_pids+=($!)
if ! wait_for 50 grep -q '^http://127.0.0.1:' "$work/server.log"; then
    fail "the test server did not start: $(head -n 3 "$work/server.log")"
    finish
fi
TAZZLE_UPDATE_SERVER=$(head -n 1 "$work/server.log")
export TAZZLE_UPDATE_SERVER

# --- X server and the app's window.
start_display
open_window
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

check_termination_and_assertions
[ -n "${TAZZLE_NOTICE_SHOT:-}" ] && echo "      screenshot kept at $TAZZLE_NOTICE_SHOT"
finish
