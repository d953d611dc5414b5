#!/usr/bin/env bash
# Starts the real program with files on its command line and reads the
# thumbnails off the screen: one picture, a pair, an MPO file filling both
# views, and a camera picture held upright (Exif orientation 6).
set -u
app=$1
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${DISPLAY:-}" ] || [ "${TSY_IN_XVFB:-}" != open ]; then
    # -a alone starts every search at :99, racing other X tests on the machine.
    exec env TSY_IN_XVFB=open xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
title="Brannoc Tessaly"

/usr/bin/python3 - "$work" <<'PY'
import sys
from PIL import Image
work = sys.argv[1]
for name, rgb in (("red", (230, 0, 0)), ("blue", (0, 0, 230))):
    for kind in ("png", "jpg"):
        Image.new("RGB", (120, 80), rgb).save(work + "/" + name + "." + kind, quality=95)
# Two JPEG streams back to back: the reader finds the second one.
with open(work + "/pair.mpo", "wb") as f:
    for name in ("red.jpg", "blue.jpg"):
        f.write(open(work + "/" + name, "rb").read())
# Stored lying on its side: red on the left, blue on the right; turned a
# quarter clockwise it stands upright, red on top.
side = Image.new("RGB", (120, 60), (0, 0, 230))
side.paste((230, 0, 0), (0, 0, 60, 60))
exif = Image.Exif()
exif[0x0112] = 6
side.save(work + "/portrait.jpg", quality=95, exif=exif)
PY

fail() { echo "FAIL: $*"; exit 1; }

# colour X Y: "red", "blue" or "other" at window point X, Y.
colour() {
    read -r r g b < <(/usr/bin/python3 "$here/xwin.py" pixel "$title" "$1" "$2")
    if [ "$r" -gt 150 ] && [ "$g" -lt 80 ] && [ "$b" -lt 80 ]; then echo red
    elif [ "$b" -gt 150 ] && [ "$r" -lt 80 ] && [ "$g" -lt 80 ]; then echo blue
    else echo "other($r,$g,$b)"; fi
}

# check NAME FILE... -- X Y COLOUR...: after starting with the files, each point shows
# its colour. Image 1's thumbnail is centred at 113,130, image 2's at 113,300.
check() {
    local name=$1; shift
    local files=()
    while [ "$1" != -- ]; do files+=("$1"); shift; done
    shift
    "$app" "${files[@]}" &
    local pid=$!
    /usr/bin/python3 "$here/xwin.py" wait "Ready!" 20 >/dev/null || fail "$name: no load finished"
    while [ $# -gt 0 ]; do
        got=$(colour "$1" "$2")
        case $got in "$3"*) ;; *) fail "$name: $3 expected at $1,$2, found $got" ;; esac
        shift 3
    done
    kill "$pid"
    wait "$pid" 2>/dev/null
    echo "ok: $name"
}

check "one file" "$work/red.png" -- 113 130 red 113 300 other
check "pair" "$work/red.png" "$work/blue.png" -- 113 130 red 113 300 blue
check "mpo" "$work/pair.mpo" -- 113 130 red 113 300 blue
check "orientation" "$work/portrait.jpg" -- 113 60 red 113 200 blue
echo "PASS: command-line opening"
