#!/usr/bin/env bash
# Start-up time of the program to its initiated flag, beside a bare Qt Widgets window's first
# show: starts zentrova RUNS times on a fresh temporary home (the first run also installs it),
# reads startup_ms from zentrova-device app, stops it; runs zentrova-bare-window as many times;
# prints every figure, the medians (the program's without its installing first run) and their
# ratio. Both count from the process's start as the kernel gives it (clock ticks of 10 ms).
# Usage: bench/startup_time.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-11}
bin=$(cd "$build/bin" && pwd)
home=$(mktemp -d /tmp/zentrova-startup-XXXXXX)
trap 'rm -rf "$home"' EXIT
export ZENTROVA_HOME=$home QT_QPA_PLATFORM=offscreen ZENTROVA_BOX_ANSWER=no
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
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
bare=()
for i in $(seq 1 "$runs"); do
    bare+=("$("$bin/zentrova-bare-window" 2>/dev/null | sed -n 's/^startup_ms=//p')")
done
program_median=$(printf '%s\n' "${figures[@]:1}" | median)
bare_median=$(printf '%s\n' "${bare[@]}" | median)
echo "startup_ms per run (first run installs the home): ${figures[*]}"
echo "bare window startup_ms per run: ${bare[*]}"
echo "median program (runs 2..$runs): $program_median ms; median bare window: $bare_median ms"
awk -v p="$program_median" -v b="$bare_median" 'BEGIN { if (b > 0) printf "ratio: %.2f\n", p / b }'
