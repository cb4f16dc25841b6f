#!/usr/bin/env python3
"""Screen readers see a note window as a frame and can name the find field's clear button.

Runs the app on an Xvfb of its own (tests/support/with-xvfb.sh) inside a session bus of its own, with the
accessibility bus started here, and reads the tree with pyatspi. Exits 77 (skipped) with the reason when that bus cannot start.
"""
import os
import subprocess
import sys
import tempfile
import time

SKIP = 77
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(SKIP)


def until(condition, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    return None


def descendants(node):
    if node is not None:
        yield node
        for i in range(node.childCount):
            yield from descendants(node.getChildAtIndex(i))


def main():
    if not os.path.exists(LAUNCHER):
        skip(LAUNCHER + " is missing (package at-spi2-core)")
    try:
        import pyatspi
    except ImportError:
        skip("pyatspi is missing (package python3-pyatspi)")
    bus = subprocess.Popen([LAUNCHER, "--launch-immediately"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    home = tempfile.mkdtemp()
    note = os.path.join(home, "note.txt")
    open(note, "w").close()
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    app = subprocess.Popen([sys.argv[1], note], env=env)
    try:
        # The registry is asked only once the window is there: on a busy machine the app starts slowly, and an
        # early look may not see it join the bus later.
        subprocess.run(["xdotool", "search", "--sync", "--name", "note"], check=False, timeout=60,
                       stdout=subprocess.DEVNULL)
        def find_app():
            try:
                desktop = pyatspi.Registry.getDesktop(0)
                return next((a for a in desktop if a is not None and a.name == "Nolt Nolt"), None)
            except Exception:
                return None
        accessible = until(find_app, 60)
        if accessible is None:
            if bus.poll() is not None:
                skip("the accessibility bus did not start")
            print("FAIL: the app never appeared on the accessibility bus")
            return 1
        roles = [accessible.getChildAtIndex(i).getRoleName() for i in range(accessible.childCount)]
        if "frame" not in roles:
            print("FAIL: the note window is %s, not a frame" % roles)
            return 1
        # Open the find bar and give it text, so its clear button shows.
        subprocess.run(["xdotool", "search", "--sync", "--name", "note", "windowfocus", "--sync", "key", "ctrl+f",
                        "type", "ab"], check=False, timeout=30)

        def clear_button():
            return next((n for n in descendants(accessible)
                         if n.getRoleName() == "push button" and n.name == "Clear"), None)
        if not until(clear_button):
            print("FAIL: no push button named Clear")
            return 1
        print("PASS: note window is a frame; find field's clear button is named")
        return 0
    finally:
        app.terminate()
        app.wait(30)
        bus.terminate()


if __name__ == "__main__":
    sys.exit(main())
