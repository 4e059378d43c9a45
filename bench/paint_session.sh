#!/usr/bin/env bash
# The panel's paint figures after a scripted session: starts zentrova at 480x640 on a fresh
# temporary home with the shipped theme, makes 100 state changes (battery level, power line and
# signal in turn, each repainting its part of the panel), then prints the window's paint count
# and its longest and shortest paint, as the program measures them, and stops the program.
# Usage: bench/paint_session.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
bin=$(cd "$build/bin" && pwd)
home=$(mktemp -d /tmp/zentrova-paint-XXXXXX)
pid=
cleanup() {
    if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$home"
}
trap cleanup EXIT
export ZENTROVA_HOME=$home QT_QPA_PLATFORM=offscreen ZENTROVA_BOX_ANSWER=no
"$bin/zentrova" --screen 480x640 >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 300); do
    "$bin/zentrova-device" app 2>/dev/null | grep -q '^initiated=1' && break
    sleep 0.1
done
for i in $(seq 1 100); do
    case $((i % 3)) in
        0) "$bin/zentrova-device" battery $((20 + i % 80)) >/dev/null ;;
        1) "$bin/zentrova-device" battery $((20 + i % 80)) $([ $((i % 2)) -eq 0 ] && echo --ac || echo --no-ac) >/dev/null ;;
        2) "$bin/zentrova-device" signal $((-110 + i % 60)) -110 -50 >/dev/null ;;
    esac
done
sleep 2
"$bin/zentrova-device" app | grep -E '^paint'
