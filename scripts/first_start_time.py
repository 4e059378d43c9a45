#!/usr/bin/env python3
"""Times the first start of the program on a new home: from starting build/bin/zentrova until
build/bin/zentrova-device app answers. Runs it RUNS times (default 10), each on a fresh
ZENTROVA_HOME, stops every program it started and prints each time and the median."""

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


def stop_left_behind(home):
    """Stops what the run left running on its home (a detached notification runner)."""
    mark = ("ZENTROVA_HOME=" + home).encode()
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if mark in f.read().split(b"\0"):
                    os.kill(int(pid), signal.SIGTERM)
        except (OSError, ProcessLookupError):
            pass


def once():
    home = tempfile.mkdtemp(prefix="zentrova-first-start-")
    env = dict(os.environ, ZENTROVA_HOME=home, QT_QPA_PLATFORM="offscreen", ZENTROVA_BOX_ANSWER="no")
    program = None
    try:
        start = time.monotonic()
        program = subprocess.Popen([os.path.join(BIN, "zentrova")], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        while time.monotonic() - start < 60:
            answer = subprocess.run([os.path.join(BIN, "zentrova-device"), "app"], env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if answer.returncode == 0:
                return time.monotonic() - start
            if program.poll() is not None:
                raise RuntimeError("zentrova ended with %d" % program.returncode)
            time.sleep(0.02)
        raise RuntimeError("no answer within 60 s")
    finally:
        if program is not None and program.poll() is None:
            program.send_signal(signal.SIGTERM)
            try:
                program.wait(timeout=20)
            except subprocess.TimeoutExpired:
                program.kill()
                program.wait()
        stop_left_behind(home)
        shutil.rmtree(home, ignore_errors=True)


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    times = []
    for i in range(runs):
        t = once()
        times.append(t)
        print("run %d: %.3f s" % (i + 1, t), flush=True)
    print("median: %.3f s" % statistics.median(times))


if __name__ == "__main__":
    main()
