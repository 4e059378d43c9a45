#!/usr/bin/env bash
# Start-up time of the program to its initiated flag: starts zentrova RUNS times on a fresh
# temporary home (the first run also installs it), reads startup_ms from zentrova-device app,
# stops it, and prints every figure and the median of the runs after the first.
# Usage: bench/startup_time.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-11}
bin=$(cd "$build/bin" && pwd)
home=$(mktemp -d /tmp/zentrova-startup-XXXXXX)
trap 'rm -rf "$home"' EXIT
export ZENTROVA_HOME=$home QT_QPA_PLATFORM=offscreen ZENTROVA_BOX_ANSWER=no
figures=()
for i in $(seq 1 "$runs"); do
    "$bin/zentrova" >/dev/null 2>&1 &
    pid=$!
    ms=""
    for _ in $(seq 1 500); do
        out=$("$bin/zentrova-device" app 2>/dev/null || true)
        if grep -q '^initiated=1' <<<"$out"; then
            ms=$(sed -n 's/^startup_ms=//p' <<<"$out")
            break
        fi
        sleep 0.01
    done
    kill "$pid"; wait "$pid" || true
    [ -n "$ms" ] || { echo "run $i: the program did not start" >&2; exit 1; }
    figures+=("$ms")
done
echo "startup_ms per run (first run installs the home): ${figures[*]}"
printf '%s\n' "${figures[@]:1}" | sort -n | awk '{a[NR]=$1} END {print "median of runs 2.." NR+1 ": " a[int((NR+1)/2)] " ms"}'
