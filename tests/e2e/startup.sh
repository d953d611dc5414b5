#!/usr/bin/env bash
# Starts the real program on an X server of the given colour depth and checks
# what appears there: the refusal for 8 and 16 bits, the main window at its
# stored place otherwise, and the position written when it is closed.
set -u
app=$1
depth=$2
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${DISPLAY:-}" ] || [ "${TSY_IN_XVFB:-}" != "$depth" ]; then
    # -a alone starts every search at :99, racing other X tests on the machine.
    exec env TSY_IN_XVFB="$depth" xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x$depth" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
settings=$XDG_CONFIG_HOME/Brannoc-Software.conf
caption="Brannoc Tessaly  v1.34   .:.   www.brannoc-software.com"

fail() { echo "FAIL: $*"; xwininfo -root -tree | grep '"' ; exit 1; }

# Waits until a window with this exact title is listed; prints its line.
wait_window() {
    /usr/bin/python3 "$here/xwin.py" wait "$1" 30 >/dev/null && xwininfo -root -tree | grep -F "\"$1\":"
}

# Waits up to 10 s for the program to end; gives its status.
wait_exit() {
    timeout 30 tail --pid="$1" -f /dev/null || { kill "$1"; return 124; }
    wait "$1"
}

run_and_close() {  # expected left and top
    "$app" &
    pid=$!
    line=$(wait_window "$caption") || fail "main window with caption '$caption' did not appear"
    case "$line" in
        *" +$1+$2") ;;
        *) fail "main window not at $1,$2: $line" ;;
    esac
    /usr/bin/python3 "$here/xwin.py" close "$caption" || fail "could not close the window"
    wait_exit "$pid" || fail "program did not end after closing its window"
    grep -qx "WinTop=$2" "$settings" || fail "WinTop not written: $(cat "$settings")"
    grep -qx "WinLeft=$1" "$settings" || fail "WinLeft not written: $(cat "$settings")"
}

case $depth in
8 | 16)
    "$app" &
    pid=$!
    wait_window " Tessaly Fehler:" >/dev/null || fail "no refusal message on a $depth-bit display"
    xwininfo -root -tree | grep -qF "Brannoc Tessaly" && fail "main window shown on a $depth-bit display"
    /usr/bin/python3 "$here/xwin.py" close " Tessaly Fehler:" || fail "could not close the message"
    wait_exit "$pid" || fail "program did not end after the message (status $?)"
    [ -e "$settings" ] && fail "settings written although the program was refused"
    ;;
*)
    run_and_close 16 16
    # The stored place is used as it is at the next start.
    printf '[Tessaly]\nWinTop=120\nWinLeft=250\n' > "$settings"
    run_and_close 250 120
    ;;
esac
echo "PASS: depth $depth"
