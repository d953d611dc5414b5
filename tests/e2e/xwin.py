#!/usr/bin/python3
"""Small X11 helper for the end-to-end tests.

  xwin.py close TITLE        ask the window with this exact title to close, as
                             a window manager's close button does
  xwin.py wait TEXT [SECS]   wait until a window title contains TEXT; print it
  xwin.py pixel TITLE X Y    print "R G B" of the pixel at X, Y inside the
                             window whose title contains TITLE
"""
import sys
import time

from Xlib import X, display
from Xlib.protocol import event


def title_of(d, w):
    for atom in ("_NET_WM_NAME", "WM_NAME"):
        prop = w.get_full_property(d.intern_atom(atom), X.AnyPropertyType)
        if prop and prop.value:
            v = prop.value
            return v.decode("utf-8", "replace") if isinstance(v, bytes) else v
    return None


def windows(d):
    stack = [d.screen().root]
    while stack:
        w = stack.pop()
        yield w
        stack.extend(w.query_tree().children)


def find(d, match, missing=None):
    # Exits with "no window MISSING" when none matches and MISSING is given.
    for w in windows(d):
        t = title_of(d, w)
        if t is not None and match(t):
            return w, t
    if missing:
        sys.exit("no window " + missing)
    return None, None


def close(d, title):
    w, _ = find(d, lambda t: t == title, "titled %r" % title)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    w.send_event(event.ClientMessage(window=w, client_type=protocols,
                                     data=(32, [delete, X.CurrentTime, 0, 0, 0])))
    d.flush()


def wait(d, text, seconds):
    end = time.time() + seconds
    while time.time() < end:
        _, t = find(d, lambda t: text in t)
        if t is not None:
            print(t)
            return
        time.sleep(0.1)
    sys.exit("no window title containing %r" % text)


def pixel(d, title, x, y):
    w, _ = find(d, lambda t: title in t, "title containing %r" % title)
    root = d.screen().root
    at = root.translate_coords(w, x, y)
    raw = root.get_image(at.x, at.y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
    print(raw[2], raw[1], raw[0])


def main():
    args = sys.argv[1:]
    d = display.Display()
    if len(args) == 2 and args[0] == "close":
        close(d, args[1])
    elif len(args) in (2, 3) and args[0] == "wait":
        wait(d, args[1], float(args[2]) if len(args) == 3 else 20)
    elif len(args) == 4 and args[0] == "pixel":
        pixel(d, args[1], int(args[2]), int(args[3]))
    else:
        sys.exit(__doc__)


main()
