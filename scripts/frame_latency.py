#!/usr/bin/env python3
"""Times a frame's enter actions on the real programs with the phone clock at its own speed: a
place whose all-day frame switches Bluetooth discoverable, the speaker to vibrate (level 2), the
band to 2G, forwarding to a number, the backlight to 5/3 and the infrared off, and sends an SMS and
a mail. From the moment zentrova-device cell moves the phone into the place until every effect
shows in zentrova-device status and outbox (polled every 10 ms), and until each effect showed.
Runs RUNS times (default 3), each on a fresh ZENTROVA_HOME; stops everything it started."""

import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "bin")
ACTIONS = [
    ["1", "2"], ["2", "1", "--level", "2"], ["5", "1"], ["51", "1", "--text", "+34600111222"],
    ["52", "196613"], ["50", "0"], ["14", "0", "--text", "+34600999888", "--text3", "At the client"],
    ["13", "0", "--text", "boss@example.org", "--text2", "Visit", "--text3", "Started"],
]
EFFECTS = ["bt=discoverable", "sound=vibrate", "band=2G", "forwarding=+34600111222", "backlight=5-3",
           "beam=off", "kind=sms", "kind=mail"]


def device(env, *args):
    return subprocess.run([os.path.join(BIN, "zentrova-device"), *args], env=env, capture_output=True,
                          text=True)


def once():
    home = tempfile.mkdtemp(prefix="zentrova-latency-")
    env = dict(os.environ, ZENTROVA_HOME=home, QT_QPA_PLATFORM="offscreen", ZENTROVA_BOX_ANSWER="no",
               ZENTROVA_CLOCK_SPEED="1")
    program = subprocess.Popen([os.path.join(BIN, "zentrova")], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while device(env, "app").returncode != 0:
            if time.monotonic() > deadline:
                raise RuntimeError("the program did not start")
            time.sleep(0.05)
        for step in (["place", "add", "Trip"], ["frame", "add", "Trip", "all", "00:00", "00:00", "--name", "Visit"],
                     *[["action", "add", "Trip", "Visit", "enter", *a] for a in ACTIONS],
                     ["cell", "assign", "4444", "Trip"]):
            if device(env, *step).returncode != 0:
                raise RuntimeError("failed: " + " ".join(step))
        time.sleep(1)  # the tables are read again, and the engine is idle
        start = time.monotonic()
        device(env, "cell", "4444", "44")
        seen = {}
        while len(seen) < len(EFFECTS) and time.monotonic() - start < 60:
            shown = device(env, "status").stdout.split("\n") + device(env, "outbox").stdout.split(" ")
            now = time.monotonic() - start
            for effect in EFFECTS:
                if effect not in seen and effect in shown:
                    seen[effect] = now
            time.sleep(0.01)
        if len(seen) < len(EFFECTS):
            raise RuntimeError("not seen: " + ", ".join(e for e in EFFECTS if e not in seen))
        return seen
    finally:
        program.send_signal(signal.SIGTERM)
        try:
            program.wait(timeout=20)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()
        shutil.rmtree(home, ignore_errors=True)


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    totals = []
    for i in range(runs):
        seen = once()
        totals.append(max(seen.values()))
        detail = ", ".join("%s %.2f" % (e, seen[e]) for e in EFFECTS)
        print("run %d: last effect after %.2f s (%s)" % (i + 1, totals[-1], detail), flush=True)
    print("median: %.2f s" % statistics.median(totals))


if __name__ == "__main__":
    main()
