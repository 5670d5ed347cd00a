# Shared by the tests that open the built Standalone in a real X window under Xvfb (no window manager): process
# control, the PASS/FAIL tally, a private home and display, the app's top-level window and its ending on SIGTERM.
# Sourced by a test script that sets `app` and `suite` first; extra processes go in `extra_pids`.

work=$(mktemp -d)
xvfb_pid=
app_pid=
extra_pids=()
passed=0
failed=0

# Has a child ended? It stays a zombie until reaped, so kill -0 alone would say it still runs.
has_exited() {
    [ ! -e "/proc/$1" ] || [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = Z ]
}

# Ends a process: `signal` first, then KILL after 2 s.
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

# The app at once, the extra processes and Xvfb politely, so Xvfb removes its lock file and socket.
cleanup() {
    stop "$app_pid" KILL
    for pid in "${extra_pids[@]}"; do
        stop "$pid" TERM
    done
    stop "$xvfb_pid" TERM
    rm -rf "$work"
}
trap cleanup EXIT

pass() { echo "PASS  $*"; passed=$((passed + 1)); }
fail() { echo "FAIL  $*"; failed=$((failed + 1)); }
finish() {
    if [ "$failed" -gt 0 ] && [ -s "$work/app.log" ]; then
        echo "--- app output (last lines) ---"
        tail -n 20 "$work/app.log"
    fi
    echo "$suite: $passed passed, $failed failed"
    [ "$failed" -eq 0 ] && exit 0
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

require_tools() {
    for tool in Xvfb xwininfo import convert; do
        command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (bash scripts/setup installs it)"; exit 1; }
    done
}

# A fresh home: nothing of the user's settings, presets or caches is read or written.
use_private_home() {
    export HOME="$work/home"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
}

# Xvfb picks a free display and writes its number once it accepts connections.
start_display() {
    Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    if ! wait_for 100 test -s "$work/display"; then
        fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
        finish
    fi
    DISPLAY=":$(head -n 1 "$work/display")"
    export DISPLAY
}

# Starts the app and waits up to 30 s for its window; sets window, win_x, win_y, win_w and win_h. JUCE names the
# window with a UTF8_STRING WM_NAME, which `xwininfo -name` does not match, so it is found in the tree listing.
open_window() {
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
        if has_exited "$app_pid"; then
            local status=0
            wait "$app_pid" || status=$?
            app_pid=
            fail "the app exited (status $status) before mapping a window named Tazzle"
        else
            fail "no mapped window named Tazzle within 30 s"
        fi
        finish
    fi
    pass "window \"Tazzle\" mapped ($window)"

    local info
    info=$(xwininfo -id "$window")
    win_x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
    win_y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
    win_w=$(awk '/^ *Width:/ {print $2}' <<<"$info")
    win_h=$(awk '/^ *Height:/ {print $2}' <<<"$info")
}

# SIGTERM must end the app within 5 s, and a build that logs JUCE's assertions must not have logged one.
check_termination_and_assertions() {
    if has_exited "$app_pid"; then
        local status=0
        wait "$app_pid" || status=$?
        app_pid=
        fail "the app exited by itself (status $status) while its window was being checked"
    else
        kill -TERM "$app_pid"
        if wait_for 50 has_exited "$app_pid"; then
            local status=0
            wait "$app_pid" || status=$?
            app_pid=
            pass "SIGTERM ended the app (exit status $status)"
        else
            fail "the app still runs 5 s after SIGTERM"
        fi
    fi

    if grep -q "JUCE Assertion failure" "$work/app.log"; then
        fail "JUCE assertions while the window was open: $(grep -m 3 "JUCE Assertion failure" "$work/app.log" | tr '\n' ' ')"
    else
        pass "no JUCE assertion in the app's output"
    fi
}
