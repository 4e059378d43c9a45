#!/usr/bin/env python3
"""Times the location upload on the real programs with the phone clock at its own speed: from the
moment zentrova-device cell moves the phone to a new cell until a web server on 127.0.0.1 (run by
this script) receives the upload. Runs RUNS moves (default 10) on one fresh ZENTROVA_HOME and
prints each figure and the median; stops everything it started."""

import http.server
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "bin")
KEY = "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova"
received = []
arrived = threading.Condition()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with arrived:
            received.append((time.monotonic(), self.path))
            arrived.notify_all()
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


def device(env, *args):
    r = subprocess.run([os.path.join(BIN, "zentrova-device"), *args], env=env, capture_output=True, text=True)
    if r.returncode != 0:
        raise RuntimeError("failed: %s: %s" % (" ".join(args), r.stdout + r.stderr))
    return r.stdout


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    home = tempfile.mkdtemp(prefix="zentrova-upload-")
    env = dict(os.environ, ZENTROVA_HOME=home, QT_QPA_PLATFORM="offscreen", ZENTROVA_BOX_ANSWER="no",
               ZENTROVA_CLOCK_SPEED="1")
    device(env, "connection", "add", "GPRS")
    device(env, "reg", "set", KEY, "upload_enabled", "dword", "1")
    device(env, "reg", "set", KEY, "url_upload_location", "sz",
           "http://127.0.0.1:%d/where" % server.server_address[1])
    program = subprocess.Popen([os.path.join(BIN, "zentrova")], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while subprocess.run([os.path.join(BIN, "zentrova-device"), "app"], env=env,
                             capture_output=True).returncode != 0:
            if time.monotonic() > deadline:
                raise RuntimeError("the program did not start")
            time.sleep(0.05)
        time.sleep(2)  # the attempt at start is over
        figures = []
        for i in range(runs):
            with arrived:
                before = len(received)
            start = time.monotonic()
            device(env, "cell", str(5000 + i), "50")
            with arrived:
                if not arrived.wait_for(lambda: len(received) > before, timeout=30):
                    raise RuntimeError("no upload for the move to cell %d" % (5000 + i))
                figures.append((received[before][0] - start) * 1000)
            print("move %d: %.0f ms" % (i + 1, figures[-1]), flush=True)
            time.sleep(0.5)
        print("median: %.0f ms" % statistics.median(figures))
    finally:
        program.send_signal(signal.SIGTERM)
        try:
            program.wait(timeout=20)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()
        server.shutdown()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
